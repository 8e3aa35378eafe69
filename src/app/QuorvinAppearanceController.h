#pragma once

#include "platform/shell/ColorScheme.h"

#include <QObject>
#include <QString>

namespace quorvin {

class SystemAppearance;
class UserDefaults;

// Gives the application the look its stored mode asks for, and follows the system's look while
// the mode is "system". The look reaches every widget through the application palette (Fusion
// style), so stock widgets and the theme's colours change together.
class QuorvinAppearanceController : public QObject {
    Q_OBJECT
public:
    // Follows `system`'s changes from the start; its first reading only applies the look.
    QuorvinAppearanceController(UserDefaults &defaults, SystemAppearance &system, QObject *parent = nullptr);

    ColorScheme currentSystemAppearance() const;

    // Applies a stored mode text: "light", "dark", anything else as the system's look.
    void apply(const QString &mode);

    // A change of the system's look: ignored under a fixed mode; otherwise the stored revision
    // counter goes up by one and the look is applied again.
    void handleSystemAppearanceChange();

    // The scheme last applied.
    ColorScheme appliedScheme() const { return m_applied; }

Q_SIGNALS:
    void applied(quorvin::ColorScheme scheme);

private:
    bool followsFixedMode() const;

    UserDefaults &m_defaults;
    SystemAppearance &m_system;
    ColorScheme m_applied = ColorScheme::Light;
};

} // namespace quorvin
