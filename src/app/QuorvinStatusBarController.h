#pragma once

#include "platform/shell/StatusItemDescription.h"

#include <QObject>

#include <functional>
#include <memory>

namespace quorvin {

class StatusBar;
class StatusItem;
class UserDefaults;

// The application's status item and its menu (open, check for updates, quit). The item follows
// the "showMenuBarIcon" setting live (only a stored false hides it) and is rebuilt from scratch
// whenever the application becomes active, which brings it back after the desktop dropped it.
class QuorvinStatusBarController : public QObject {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> openMainWindow;
        std::function<void()> checkForUpdates;
        // Asks the user; the quit confirmation unless a test stands in.
        std::function<bool()> confirmQuit;
        // Ends the application.
        std::function<void()> terminate;
    };

    // Installs the item at once unless the setting hides it.
    QuorvinStatusBarController(
        StatusBar &statusBar, UserDefaults &defaults, Actions actions, QObject *parent = nullptr);
    ~QuorvinStatusBarController() override;

    void synchronizeVisibility();
    void restoreMenuBarItemIfNeeded();
    void installStatusItemIfNeeded();

    QList<StatusMenuEntry> makeStatusMenu();
    // The bundled picture when there is one, else a drawn 16-pixel checklist.
    static QIcon makeMenuBarIcon();

    bool hasStatusItem() const { return m_statusItem != nullptr; }

private:
    bool hiddenBySetting() const;
    void removeStatusItem();
    void quitQuorvin();

    StatusBar &m_statusBar;
    UserDefaults &m_defaults;
    Actions m_actions;
    std::unique_ptr<StatusItem> m_statusItem;
    bool m_isInstallingStatusItem = false;
};

} // namespace quorvin
