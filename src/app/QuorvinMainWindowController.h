#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace quorvin {

class QuorvinMacService;

// Opens the main window for the status menu, the global shortcut and a later launch: fronts the
// one there is (restoring it when minimized), or builds one. A window it built goes away when
// closed; the next open builds a new one.
class QuorvinMainWindowController : public QObject {
    Q_OBJECT
public:
    // Builds the window's content (the main view); it becomes the top-level window.
    using ContentFactory = std::function<QWidget *()>;

    QuorvinMainWindowController(QuorvinMacService &service, ContentFactory content, QObject *parent = nullptr);
    ~QuorvinMainWindowController() override;

    void openMainWindow();

    // The main window while there is one.
    QWidget *mainWindow() const { return m_window; }

Q_SIGNALS:
    // A new main window was built (before it is shown).
    void mainWindowBuilt(QWidget *window);

private:
    void front(QWidget *window);

    QuorvinMacService &m_service;
    ContentFactory m_content;
    QPointer<QWidget> m_window;
};

} // namespace quorvin
