#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <optional>

namespace quorvin {

// Keeps the window that shows a view in line with the sign-in state: the view tells it the state,
// and on the next turn of the event loop (when the window exists and has laid itself out) the
// window's chrome, size limits and frame are applied, once per window and state.
class QuorvinWindowPresentation : public QObject {
    Q_OBJECT
public:
    QuorvinWindowPresentation(QWidget *view, bool isAuthenticated);

    bool isAuthenticated() const { return m_isAuthenticated; }
    void setAuthenticated(bool isAuthenticated);

Q_SIGNALS:
    // The window was just configured for `isAuthenticated`.
    void applied(bool isAuthenticated);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void scheduleWindowUpdate();
    void updateWindow();

    QWidget *m_view;
    bool m_isAuthenticated;
    bool m_scheduled = false;
    QPointer<QWidget> m_lastConfiguredWindow;
    std::optional<bool> m_lastConfiguredAuthenticationState;
};

} // namespace quorvin
