#include "app/QuorvinWindowPresentation.h"

#include "app/QuorvinWindowController.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace quorvin {

QuorvinWindowPresentation::QuorvinWindowPresentation(QWidget *view, bool isAuthenticated)
    : QObject(view)
    , m_view(view)
    , m_isAuthenticated(isAuthenticated)
{
    view->installEventFilter(this);
    scheduleWindowUpdate();
}

void QuorvinWindowPresentation::setAuthenticated(bool isAuthenticated)
{
    m_isAuthenticated = isAuthenticated;
    scheduleWindowUpdate();
}

bool QuorvinWindowPresentation::eventFilter(QObject *watched, QEvent *event)
{
    // A view that moves to another window configures that window.
    if (watched == m_view && (event->type() == QEvent::ParentChange || event->type() == QEvent::Show)) {
        scheduleWindowUpdate();
    }
    return QObject::eventFilter(watched, event);
}

void QuorvinWindowPresentation::scheduleWindowUpdate()
{
    if (m_scheduled) {
        return;
    }
    m_scheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_scheduled = false;
        updateWindow();
    });
}

void QuorvinWindowPresentation::updateWindow()
{
    QWidget *window = m_view->window();
    if (!window) {
        return;
    }
    if (m_lastConfiguredWindow == window && m_lastConfiguredAuthenticationState == m_isAuthenticated) {
        return;
    }
    m_lastConfiguredWindow = window;
    m_lastConfiguredAuthenticationState = m_isAuthenticated;
    QuorvinWindowController::apply(m_isAuthenticated, window);
    Q_EMIT applied(m_isAuthenticated);
}

} // namespace quorvin
