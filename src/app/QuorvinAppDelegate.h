#pragma once

#include "app/AppVisibility.h"
#include "app/QuorvinAppContext.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace quorvin {

class DockIconPolicy;
class GlobalHotKeys;
class LoginItem;
class MainWindowShortcutController;
class QuorvinAppearanceController;
class QuorvinMacService;
class QuorvinMainWindowController;
class QuorvinStatusBarController;
class QuorvinUpdateController;
class StatusBar;
class SystemAppearance;
class UserDefaults;

// The application's start-up order and its answers to the desktop, in one place: once launching
// has finished (this process being the one copy), the taskbar presence, the system-appearance
// observer, the main-window controller, the status item, the global shortcut and the appearance
// mode are set up in that order, then the sync service starts and the main window opens. From then
// on the stored settings those pieces follow are forwarded to them as they change.
//
// Each controller is created once, on first need, and kept for the life of the application; the
// install operations can be called again without effect.
class QuorvinAppDelegate : public QObject {
    Q_OBJECT
public:
    // The desktop services the controllers drive.
    struct Shell {
        StatusBar &statusBar;
        GlobalHotKeys &hotKeys;
        DockIconPolicy &dockIconPolicy;
        SystemAppearance &systemAppearance;
        LoginItem &loginItem;
    };
    // Builds the main window's content (the main view) for the views' context.
    using MainWindowContent = std::function<QWidget *(const QuorvinAppContext &)>;

    QuorvinAppDelegate(QuorvinMacService &service, UserDefaults &defaults, QuorvinUpdateController &updates,
        Shell shell, MainWindowContent content, std::function<void()> terminate, QObject *parent = nullptr);
    ~QuorvinAppDelegate() override;

    void applicationDidFinishLaunching();
    // Brings the status item back (it is rebuilt from scratch) unless the setting hides it.
    void applicationDidBecomeActive();
    // A later launch asked this copy to come forward: the main window opens or comes to the front.
    void applicationShouldHandleReopen();

    // The one action behind "打开 Quorvin", the global shortcut and a reopen.
    void openMainWindow();

    void installSystemAppearanceObserverIfNeeded();
    void installMainWindowControllerIfNeeded();
    void installStatusBarControllerIfNeeded();
    void installShortcutIfNeeded();
    // Installs the shortcut when needed; registers or unregisters only when `enabled` is new.
    void setMainWindowShortcutEnabled(bool enabled);

    // What the views reach; valid once the appearance observer is installed.
    const QuorvinAppContext &context();

    QuorvinAppearanceController *appearanceController() const { return m_appearance.get(); }
    QuorvinMainWindowController *mainWindowController() const { return m_mainWindowController.get(); }
    QuorvinStatusBarController *statusBarController() const { return m_statusBarController.get(); }
    MainWindowShortcutController *shortcutController() const { return m_shortcutController.get(); }

private:
    bool showDockIconSetting() const;
    QString appearanceModeSetting() const;
    void forwardSettingChange(const QString &key);

    QuorvinMacService &m_service;
    UserDefaults &m_defaults;
    QuorvinUpdateController &m_updates;
    Shell m_shell;
    MainWindowContent m_content;
    std::function<void()> m_terminate;
    AppVisibility m_visibility;

    std::unique_ptr<QuorvinAppearanceController> m_appearance;
    std::unique_ptr<QuorvinStatusBarController> m_statusBarController;
    std::unique_ptr<MainWindowShortcutController> m_shortcutController;
    std::unique_ptr<QuorvinMainWindowController> m_mainWindowController;
    std::optional<QuorvinAppContext> m_context;
    bool m_launched = false;
};

} // namespace quorvin
