#pragma once

#include "platform/shell/LoginItem.h"

#include <QObject>
#include <QString>

#include <optional>

namespace quorvin {

class UserDefaults;

class LaunchAtLoginController {
public:
    // Registers or unregisters the login item; a refusal is thrown to the caller unchanged.
    static void setEnabled(LoginItem &item, bool enabled);
};

// The state behind the "开机自启动" switch. The login item's status is the truth; the stored
// "launchAtLoginEnabled" mirrors it so other views can read it without asking the desktop.
class LaunchAtLoginSettingsModel : public QObject {
    Q_OBJECT
public:
    LaunchAtLoginSettingsModel(LoginItem &item, UserDefaults &defaults, QObject *parent = nullptr);

    // The switch's position: the stored flag (false when never stored).
    bool launchAtLoginEnabled() const;
    // The explanation under the switch, absent when the status needs none.
    const std::optional<QString> &detailText() const { return m_detailText; }
    const QString &errorMessage() const { return m_errorMessage; }
    bool showingError() const { return m_showingError; }
    void dismissError();

    // Reads the status and shows it: on for Enabled and RequiresApproval, off otherwise.
    void refreshFromSystem();
    // The switch moved: it takes the new position at once; on success it then shows what the
    // desktop really did, on failure it moves back and the error is shown.
    void apply(bool enabled);

    static bool isOn(LoginItemStatus status);
    static std::optional<QString> detailText(LoginItemStatus status);

Q_SIGNALS:
    void changed();

private:
    void setEnabledFlag(bool enabled);

    LoginItem &m_item;
    UserDefaults &m_defaults;
    std::optional<QString> m_detailText;
    QString m_errorMessage;
    bool m_showingError = false;
};

} // namespace quorvin
