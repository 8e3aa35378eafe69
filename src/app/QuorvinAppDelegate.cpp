#include "app/QuorvinAppDelegate.h"

#include "app/MainWindowShortcutController.h"
#include "app/QuorvinAppearanceController.h"
#include "app/QuorvinAppearanceMode.h"
#include "app/QuorvinMainWindowController.h"
#include "app/QuorvinStatusBarController.h"
#include "app/QuorvinUpdateController.h"
#include "app/QuorvinWindowUpdateAnnouncer.h"
#include "app/Strings.h"
#include "platform/concurrency/Spawn.h"
#include "platform/defaults/UserDefaults.h"
#include "sync/QuorvinMacService.h"

#include <QPointer>
#include <QWidget>

namespace quorvin {

QuorvinAppDelegate::QuorvinAppDelegate(QuorvinMacService &service, UserDefaults &defaults,
    QuorvinUpdateController &updates, Shell shell, MainWindowContent content, std::function<void()> terminate,
    QObject *parent)
    : QObject(parent)
    , m_service(service)
    , m_defaults(defaults)
    , m_updates(updates)
    , m_shell(shell)
    , m_content(std::move(content))
    , m_terminate(std::move(terminate))
    , m_visibility(shell.dockIconPolicy)
{
}

QuorvinAppDelegate::~QuorvinAppDelegate() = default;

bool QuorvinAppDelegate::showDockIconSetting() const
{
    // Missing, or stored as anything but a Bool, means shown.
    return m_defaults.boolean(AppText::showDockIconKey).value_or(true);
}

QString QuorvinAppDelegate::appearanceModeSetting() const
{
    return m_defaults.string(AppText::appearanceModeKey)
        .value_or(QuorvinAppearanceModes::rawValue(QuorvinAppearanceMode::System));
}

void QuorvinAppDelegate::applicationDidFinishLaunching()
{
    if (m_launched) {
        return;
    }
    m_launched = true;
    m_visibility.apply(showDockIconSetting(), false);
    installSystemAppearanceObserverIfNeeded();
    installMainWindowControllerIfNeeded();
    installStatusBarControllerIfNeeded();
    installShortcutIfNeeded();
    setMainWindowShortcutEnabled(m_defaults.boolean(AppText::mainWindowShortcutEnabledKey).value_or(false));
    m_appearance->apply(appearanceModeSetting());
    // Start-up failures are reported by the service itself; launching goes on regardless.
    spawn(m_service.startIfNeeded(), QStringLiteral("startIfNeeded"));

    // From here on, a change of a setting (from the views, or from the settings tool) reaches the
    // piece that follows it; the status item follows its own setting.
    connect(&m_defaults, &UserDefaults::changed, this, &QuorvinAppDelegate::forwardSettingChange);

    // The main window opens at launch.
    m_mainWindowController->openMainWindow();
}

void QuorvinAppDelegate::forwardSettingChange(const QString &key)
{
    if (key == AppText::showDockIconKey) {
        // The window the user is in stays in front when the taskbar entry goes.
        m_visibility.apply(showDockIconSetting(), true);
    } else if (key == AppText::mainWindowShortcutEnabledKey) {
        setMainWindowShortcutEnabled(m_defaults.boolean(AppText::mainWindowShortcutEnabledKey).value_or(false));
    } else if (key == AppText::appearanceModeKey) {
        m_appearance->apply(appearanceModeSetting());
    }
}

void QuorvinAppDelegate::applicationDidBecomeActive()
{
    installStatusBarControllerIfNeeded();
    m_statusBarController->restoreMenuBarItemIfNeeded();
}

void QuorvinAppDelegate::applicationShouldHandleReopen()
{
    openMainWindow();
}

void QuorvinAppDelegate::openMainWindow()
{
    installMainWindowControllerIfNeeded();
    applicationDidBecomeActive();
    m_mainWindowController->openMainWindow();
}

void QuorvinAppDelegate::installSystemAppearanceObserverIfNeeded()
{
    if (!m_appearance) {
        m_appearance = std::make_unique<QuorvinAppearanceController>(m_defaults, m_shell.systemAppearance);
    }
}

const QuorvinAppContext &QuorvinAppDelegate::context()
{
    installSystemAppearanceObserverIfNeeded();
    if (!m_context) {
        m_context.emplace(QuorvinAppContext {
            m_service, m_defaults, m_updates, *m_appearance, m_visibility, m_shell.loginItem, m_terminate});
    }
    return *m_context;
}

void QuorvinAppDelegate::installMainWindowControllerIfNeeded()
{
    if (m_mainWindowController) {
        return;
    }
    m_mainWindowController
        = std::make_unique<QuorvinMainWindowController>(m_service, [this] { return m_content(context()); });
    connect(m_mainWindowController.get(), &QuorvinMainWindowController::mainWindowBuilt, this, [this](QWidget *window) {
        // What the window does each time it appears: its presence after launch, its look, and
        // the update notices that wait for it.
        m_visibility.applyAfterLaunch(showDockIconSetting(), this);
        m_appearance->apply(appearanceModeSetting());
        new QuorvinWindowUpdateAnnouncer(window, m_updates);
    });
}

void QuorvinAppDelegate::installStatusBarControllerIfNeeded()
{
    if (m_statusBarController) {
        return;
    }
    QPointer<QuorvinAppDelegate> self(this);
    QuorvinStatusBarController::Actions actions;
    actions.openMainWindow = [self] {
        if (self) {
            self->openMainWindow();
        }
    };
    actions.checkForUpdates = [self] {
        if (self) {
            self->m_updates.checkForUpdates();
        }
    };
    actions.terminate = m_terminate;
    m_statusBarController = std::make_unique<QuorvinStatusBarController>(m_shell.statusBar, m_defaults, actions);
}

void QuorvinAppDelegate::installShortcutIfNeeded()
{
    if (m_shortcutController) {
        return;
    }
    QPointer<QuorvinAppDelegate> self(this);
    m_shortcutController = std::make_unique<MainWindowShortcutController>(m_shell.hotKeys, m_defaults, [self] {
        if (self) {
            self->openMainWindow();
        }
    });
    m_shortcutController->install();
}

void QuorvinAppDelegate::setMainWindowShortcutEnabled(bool enabled)
{
    installShortcutIfNeeded();
    m_shortcutController->applySetting(enabled);
}

} // namespace quorvin
