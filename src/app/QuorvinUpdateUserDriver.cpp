#include "app/QuorvinUpdateUserDriver.h"

#include "app/QuorvinWindowUpdateAnnouncer.h"
#include "app/Strings.h"
#include "platform/shell/AppcastItem.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>

namespace quorvin {

namespace {

QMessageBox *makeAlert(QMessageBox::Icon icon, const QString &text, const QString &informative)
{
    auto *alert = new QMessageBox;
    alert->setObjectName(QStringLiteral("quorvinUpdateCheck"));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setIcon(icon);
    alert->setWindowTitle(AppText::appName);
    alert->setText(text);
    alert->setInformativeText(informative);
    return alert;
}

} // namespace

QuorvinUpdateUserDriver::QuorvinUpdateUserDriver(std::function<bool(const QUrl &)> openUrl)
    : m_openUrl(openUrl ? std::move(openUrl) : [](const QUrl &url) { return QDesktopServices::openUrl(url); })
{
}

void QuorvinUpdateUserDriver::showUpdateFound(const AppcastItem &item)
{
    auto *alert = makeAlert(QMessageBox::Information, AppText::updateAnnouncementMessage,
        QuorvinWindowUpdateAnnouncer::informativeText(item.displayVersionString));
    auto *now = QuorvinWindowUpdateAnnouncer::addUpdateChoice(*alert);
    QObject::connect(alert, &QMessageBox::buttonClicked, alert,
        [now, page = item.downloadPage(), open = m_openUrl](QAbstractButton *button) {
            if (button == now && page.isValid()) {
                open(page);
            }
        });
    alert->show();
}

void QuorvinUpdateUserDriver::showUpToDate()
{
    auto *alert = makeAlert(QMessageBox::Information, AppText::updateUpToDateMessage, QString());
    alert->addButton(AppText::updateOk, QMessageBox::AcceptRole);
    alert->show();
}

void QuorvinUpdateUserDriver::showUpdateCheckFailed(const QString &reason)
{
    auto *alert = makeAlert(QMessageBox::Warning, AppText::updateCheckFailedMessage, reason);
    alert->addButton(AppText::updateOk, QMessageBox::AcceptRole);
    alert->show();
}

} // namespace quorvin
