#include "ui/QuorvinMainWindowTitle.h"

#include "app/QuorvinUpdateController.h"
#include "app/Strings.h"
#include "ui/QuorvinFilledButton.h"
#include "ui/QuorvinMacTheme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>

namespace quorvin {

QuorvinMainWindowTitle::QuorvinMainWindowTitle(QuorvinUpdateController &updates, QWidget *parent)
    : QWidget(parent)
    , m_updates(updates)
    , m_title(new QLabel(AppText::appName, this))
    , m_update(new QuorvinFilledButton(AppText::updateTitleButton, QuorvinMacTheme::accentBlue, 22, 11, 11, this))
{
    QFont headline = m_title->font();
    headline.setPixelSize(13);
    headline.setWeight(QFont::DemiBold);
    m_title->setFont(headline);
    QFont small = m_update->font();
    small.setWeight(QFont::DemiBold);
    m_update->setFont(small);
    m_update->setObjectName(QStringLiteral("titleUpdate"));
    m_update->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_update->setFixedWidth(QFontMetrics(small).horizontalAdvance(AppText::updateTitleButton) + 20);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(m_title);
    row->addWidget(m_update);
    connect(m_update, &QAbstractButton::clicked, &m_updates, &QuorvinUpdateController::checkForUpdates);
    connect(&m_updates, &QuorvinUpdateController::availableUpdateChanged, this, &QuorvinMainWindowTitle::render);
    render();
}

QWidget *QuorvinMainWindowTitle::updateButton() const
{
    return m_update;
}

void QuorvinMainWindowTitle::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (QuorvinDynamicColor::isAppearanceChange(event)) {
        render();
    }
}

void QuorvinMainWindowTitle::render()
{
    QPalette palette = m_title->palette();
    const QColor text = QuorvinMacTheme::primaryText.resolve();
    if (palette.color(QPalette::WindowText) != text) {
        palette.setColor(QPalette::WindowText, text);
        m_title->setPalette(palette);
    }
    const auto &update = m_updates.availableUpdate();
    m_update->setVisible(update.has_value());
    if (update) {
        m_update->setToolTip(AppText::updateTitleButtonHelp + update->version);
        m_update->setAccessibleName(AppText::updateTitleButtonAccessibility + update->version);
    }
}

} // namespace quorvin
