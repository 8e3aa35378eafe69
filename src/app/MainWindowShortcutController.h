#pragma once

#include <QKeyCombination>
#include <QMetaObject>
#include <QObject>

#include <functional>

namespace quorvin {

class GlobalHotKeys;
class UserDefaults;

// The optional system-wide Alt+Shift+L that opens the main window. It is registered only while
// enabled; a registration the session refuses (another program owns the keys, or the session has
// no global keys) stays silent, and the next change of the setting tries again.
class MainWindowShortcutController : public QObject {
    Q_OBJECT
public:
    static constexpr quint32 hotKeyId = 1;
    static QKeyCombination hotKey() { return QKeyCombination(Qt::AltModifier | Qt::ShiftModifier, Qt::Key_L); }

    MainWindowShortcutController(GlobalHotKeys &hotKeys, UserDefaults &defaults, std::function<void()> openMainWindow,
        QObject *parent = nullptr);
    ~MainWindowShortcutController() override;

    // (Re)connects to the key presses and brings isEnabled in line with "mainWindowShortcutEnabled".
    void install();
    // Registers or unregisters the key according to isEnabled.
    void refreshRegistration();
    // A new value of the setting: registers or unregisters only when it differs from isEnabled.
    void applySetting(bool enabled);

    bool isEnabled() const { return m_isEnabled; }
    void setEnabled(bool enabled) { m_isEnabled = enabled; }
    bool isRegistered() const { return m_registered; }

private:
    void handlePress(quint32 id);

    GlobalHotKeys &m_hotKeys;
    UserDefaults &m_defaults;
    std::function<void()> m_openMainWindow;
    QMetaObject::Connection m_handler;
    bool m_isEnabled = false;
    bool m_registered = false;
};

} // namespace quorvin
