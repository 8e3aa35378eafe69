#include "ui/LaunchAtLoginSettingsToggle.h"

#include "app/Strings.h"
#include "platform/defaults/UserDefaults.h"
#include "ui/QuorvinBehaviorToggle.h"
#include "ui/QuorvinLabel.h"
#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinSwitch.h"
#include "ui/QuorvinTextStyle.h"

#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvin {

LaunchAtLoginSettingsToggle::LaunchAtLoginSettingsToggle(LoginItem &loginItem, UserDefaults &defaults, QWidget *parent)
    : QWidget(parent)
    , m_model(loginItem, defaults)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    m_toggle = new QuorvinBehaviorToggle(
        AppText::launchAtLoginLabel, QuorvinSymbol::Power, 12, QuorvinMacTheme::danger, this);
    m_toggle->toggle()->setObjectName(QStringLiteral("launchAtLoginSwitch"));
    column->addWidget(m_toggle);
    m_detail
        = new QuorvinLabel(QString(), QuorvinTextStyle::footnote, QFont::Normal, QuorvinMacTheme::secondaryText, this);
    m_detail->setObjectName(QStringLiteral("launchAtLoginDetail"));
    m_detail->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    column->addWidget(m_detail);

    connect(m_toggle->toggle(), &QAbstractButton::clicked, this, [this](bool on) { m_model.apply(on); });
    connect(&m_model, &LaunchAtLoginSettingsModel::changed, this, &LaunchAtLoginSettingsToggle::render);
    // The stored flag may also change from the main window's prompt.
    connect(&defaults, &UserDefaults::changed, this, [this](const QString &key) {
        if (key == AppText::launchAtLoginEnabledKey) {
            render();
        }
    });
    render();
}

void LaunchAtLoginSettingsToggle::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_model.refreshFromSystem();
}

void LaunchAtLoginSettingsToggle::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    showDetail();
}

void LaunchAtLoginSettingsToggle::render()
{
    m_toggle->toggle()->setChecked(m_model.launchAtLoginEnabled());
    showDetail();
    if (m_model.showingError() && !m_alert) {
        auto *alert = new QMessageBox(
            QMessageBox::Warning, AppText::appName, AppText::launchAtLoginFailedTitle, QMessageBox::NoButton, window());
        alert->setObjectName(QStringLiteral("launchAtLoginToggleError"));
        alert->setInformativeText(m_model.errorMessage());
        auto *close = alert->addButton(AppText::launchAtLoginFailedClose, QMessageBox::RejectRole);
        close->setObjectName(QStringLiteral("launchAtLoginToggleErrorClose"));
        alert->setEscapeButton(close);
        alert->setAttribute(Qt::WA_DeleteOnClose);
        connect(alert, &QDialog::finished, this, [this] { m_model.dismissError(); });
        m_alert = alert;
        alert->open();
    }
}

void LaunchAtLoginSettingsToggle::showDetail()
{
    // One line under the switch; the whole text is in the tooltip when it does not fit.
    const QString detail = m_model.detailText().value_or(QString());
    m_detail->setVisible(!detail.isEmpty());
    m_detail->setToolTip(detail);
    m_detail->setTextIfChanged(m_detail->fontMetrics().elidedText(detail, Qt::ElideRight, std::max(width(), 1)));
}

} // namespace quorvin
