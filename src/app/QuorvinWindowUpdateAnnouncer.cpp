#include "app/QuorvinWindowUpdateAnnouncer.h"

#include "app/QuorvinUpdateController.h"
#include "app/Strings.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace quorvin {

QuorvinWindowUpdateAnnouncer::QuorvinWindowUpdateAnnouncer(QWidget *mainWindow, QuorvinUpdateController &controller)
    : QObject(mainWindow)
    , m_window(mainWindow)
    , m_controller(controller)
{
    mainWindow->installEventFilter(this);
    m_controller.setAnnouncer(this);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive) {
            m_controller.applicationBecameActive();
        }
    });
    QTimer::singleShot(0, this, [this] {
        m_controller.refreshAvailability();
        m_controller.showAnnouncementIfNeeded();
    });
}

QuorvinWindowUpdateAnnouncer::~QuorvinWindowUpdateAnnouncer()
{
    m_controller.setAnnouncer(nullptr);
}

bool QuorvinWindowUpdateAnnouncer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::WindowActivate) {
        m_controller.windowBecameKey();
    }
    return QObject::eventFilter(watched, event);
}

bool QuorvinWindowUpdateAnnouncer::canAnnounce() const
{
    if (!m_window || QGuiApplication::applicationState() != Qt::ApplicationActive || !m_window->isVisible()
        || !m_window->isActiveWindow() || m_window->isMinimized()) {
        return false;
    }
    // A sheet is a window-modal dialog of this window.
    const auto dialogs = m_window->findChildren<QDialog *>(QString(), Qt::FindDirectChildrenOnly);
    return std::none_of(dialogs.cbegin(), dialogs.cend(),
        [](const QDialog *dialog) { return dialog->isVisible() && dialog->windowModality() == Qt::WindowModal; });
}

QString QuorvinWindowUpdateAnnouncer::informativeText(const QString &version)
{
    return AppText::updateAnnouncementInformativePrefix + version + AppText::updateAnnouncementInformativeSuffix;
}

QAbstractButton *QuorvinWindowUpdateAnnouncer::addUpdateChoice(QMessageBox &alert)
{
    auto *now = alert.addButton(AppText::updateNow, QMessageBox::AcceptRole);
    auto *later = alert.addButton(AppText::updateLater, QMessageBox::RejectRole);
    now->setObjectName(QStringLiteral("updateNow"));
    later->setObjectName(QStringLiteral("updateLater"));
    alert.setDefaultButton(now);
    alert.setEscapeButton(later);
    return now;
}

void QuorvinWindowUpdateAnnouncer::announce(const QuorvinAvailableUpdate &update, std::function<void()> updateNow)
{
    if (!m_window) {
        return;
    }
    auto *alert = new QMessageBox(m_window);
    alert->setObjectName(QStringLiteral("quorvinUpdateAnnouncement"));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    alert->setIcon(QMessageBox::Information);
    alert->setText(AppText::updateAnnouncementMessage);
    alert->setInformativeText(informativeText(update.version));
    auto *now = addUpdateChoice(*alert);
    connect(alert, &QMessageBox::buttonClicked, this, [now, updateNow = std::move(updateNow)](QAbstractButton *button) {
        if (button == now && updateNow) {
            updateNow();
        }
    });
    alert->open();
}

} // namespace quorvin
