#pragma once

class QObject;

namespace quorvin {

class DockIconPolicy;

// The "showDockIcon" setting as the application's presence: a regular application with a
// taskbar entry, or an accessory that lives in the status area only.
class AppVisibility {
public:
    explicit AppVisibility(DockIconPolicy &policy)
        : m_policy(policy)
    {
    }

    // Nothing happens when the policy already is the wanted one. With `preserveFocus`, the window
    // that was active before the change (the application being active) is brought forward again
    // afterwards, since a change of presence can leave it behind other applications' windows.
    void apply(bool showDockIcon, bool preserveFocus);

    // apply() with no focus to keep, on the next turn of the event loop, unless `context` (the
    // owner of this object) is gone by then.
    void applyAfterLaunch(bool showDockIcon, QObject *context);

private:
    DockIconPolicy &m_policy;
};

} // namespace quorvin
