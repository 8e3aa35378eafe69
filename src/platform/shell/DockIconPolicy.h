#pragma once

namespace quorvin {

// How the application presents itself besides its status item: as a regular application with a
// taskbar entry for its windows, or as an accessory that lives in the status area only.
enum class ActivationPolicy { Regular, Accessory };

class DockIconPolicy {
public:
    virtual ~DockIconPolicy() = default;

    virtual ActivationPolicy activationPolicy() const = 0;
    // False when the desktop refused the change; the policy then stays as it was.
    virtual bool setActivationPolicy(ActivationPolicy policy) = 0;
};

} // namespace quorvin
