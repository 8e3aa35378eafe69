#include "app/QuorvinAppearanceController.h"

#include "app/QuorvinAppearanceMode.h"
#include "app/Strings.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/shell/FusionPalette.h"
#include "platform/shell/SystemAppearance.h"

#include <QApplication>
#include <QStyle>
#include <QWidget>

namespace quorvin {

QuorvinAppearanceController::QuorvinAppearanceController(
    UserDefaults &defaults, SystemAppearance &system, QObject *parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_system(system)
{
    connect(&m_system, &SystemAppearance::colorSchemeChanged, this,
        &QuorvinAppearanceController::handleSystemAppearanceChange);
    // The desktop's answer at start-up: the look it should have had from the start, nothing the
    // user changed, so no revision and no write of the settings.
    connect(&m_system, &SystemAppearance::colorSchemeRead, this, [this] {
        if (!followsFixedMode()) {
            apply(QuorvinAppearanceModes::rawValue(QuorvinAppearanceMode::System));
        }
    });
}

bool QuorvinAppearanceController::followsFixedMode() const
{
    const QString mode = m_defaults.string(AppText::appearanceModeKey).value_or(QString());
    return mode == QStringLiteral("light") || mode == QStringLiteral("dark");
}

ColorScheme QuorvinAppearanceController::currentSystemAppearance() const
{
    return m_system.colorScheme();
}

void QuorvinAppearanceController::apply(const QString &mode)
{
    m_applied = quorvinPreferredColorScheme(mode, 0, m_system);
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        if (QApplication::style()->name().compare(QStringLiteral("fusion"), Qt::CaseInsensitive) != 0) {
            FusionPalette::installStyle();
        }
        QApplication::setPalette(FusionPalette::palette(m_applied));
        for (auto *window : QApplication::topLevelWidgets()) {
            window->update();
        }
    }
    Q_EMIT applied(m_applied);
}

void QuorvinAppearanceController::handleSystemAppearanceChange()
{
    if (followsFixedMode()) {
        return;
    }
    m_defaults.setInteger(
        AppText::systemAppearanceRevisionKey, m_defaults.integer(AppText::systemAppearanceRevisionKey).value_or(0) + 1);
    apply(QuorvinAppearanceModes::rawValue(QuorvinAppearanceMode::System));
}

} // namespace quorvin
