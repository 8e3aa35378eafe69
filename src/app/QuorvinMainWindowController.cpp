#include "app/QuorvinMainWindowController.h"

#include "account/CloudAccount.h"
#include "app/QuorvinWindowController.h"
#include "app/Strings.h"
#include "sync/QuorvinMacService.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace quorvin {

QuorvinMainWindowController::QuorvinMainWindowController(
    QuorvinMacService &service, ContentFactory content, QObject *parent)
    : QObject(parent)
    , m_service(service)
    , m_content(std::move(content))
{
}

QuorvinMainWindowController::~QuorvinMainWindowController()
{
    delete m_window.data();
}

void QuorvinMainWindowController::front(QWidget *window)
{
    if (window->isMinimized()) {
        window->showNormal();
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void QuorvinMainWindowController::openMainWindow()
{
    if (m_window) {
        front(m_window);
        return;
    }
    QWidget *window = m_content();
    window->setParent(nullptr, Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(AppText::appName);
    // The chrome of the sign-in state from the start, so the window is not shown once with the
    // wrong frame; the view keeps it in line from then on.
    const bool isAuthenticated = !m_service.account().cloudAuthToken().trimmed().isEmpty();
    QuorvinWindowController::apply(isAuthenticated, window);
    if (auto *screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), window->size());
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    m_window = window;
    Q_EMIT mainWindowBuilt(window);
    front(window);
}

} // namespace quorvin
