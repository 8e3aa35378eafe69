#include "app/MainWindowShortcutController.h"

#include "app/Strings.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/shell/GlobalHotKeys.h"

#include <QPointer>

namespace quorvin {

MainWindowShortcutController::MainWindowShortcutController(
    GlobalHotKeys &hotKeys, UserDefaults &defaults, std::function<void()> openMainWindow, QObject *parent)
    : QObject(parent)
    , m_hotKeys(hotKeys)
    , m_defaults(defaults)
    , m_openMainWindow(std::move(openMainWindow))
{
}

MainWindowShortcutController::~MainWindowShortcutController()
{
    if (m_registered) {
        m_hotKeys.unregisterHotKey(hotKeyId);
    }
}

void MainWindowShortcutController::install()
{
    if (m_registered) {
        m_hotKeys.unregisterHotKey(hotKeyId);
        m_registered = false;
    }
    disconnect(m_handler);
    m_handler = connect(&m_hotKeys, &GlobalHotKeys::pressed, this, &MainWindowShortcutController::handlePress);
    m_isEnabled = m_defaults.boolean(AppText::mainWindowShortcutEnabledKey).value_or(false);
    // The key was let go above, so an enabled shortcut registers again even when the setting
    // did not change.
    refreshRegistration();
}

void MainWindowShortcutController::applySetting(bool enabled)
{
    if (enabled != m_isEnabled) {
        m_isEnabled = enabled;
        refreshRegistration();
    }
}

void MainWindowShortcutController::refreshRegistration()
{
    if (m_registered) {
        m_hotKeys.unregisterHotKey(hotKeyId);
        m_registered = false;
    }
    if (m_isEnabled) {
        m_registered = m_hotKeys.registerHotKey(hotKeyId, hotKey());
    }
}

void MainWindowShortcutController::handlePress(quint32 id)
{
    if (id != hotKeyId) {
        return;
    }
    // Acted on from the event loop, and only if the shortcut is still on by then.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_isEnabled && m_openMainWindow) {
                m_openMainWindow();
            }
        },
        Qt::QueuedConnection);
}

} // namespace quorvin
