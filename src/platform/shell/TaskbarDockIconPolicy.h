#pragma once

#include "platform/shell/DockIconPolicy.h"

#include <QObject>

class QWindow;

namespace quorvin {

// The accessory policy as the "skip taskbar" state of every top-level window, present and
// future, on X11. Best effort: the window manager decides whether to honour it, and other
// platforms keep their taskbar entries.
class TaskbarDockIconPolicy final : public QObject, public DockIconPolicy {
    Q_OBJECT
public:
    explicit TaskbarDockIconPolicy(QObject *parent = nullptr);
    ~TaskbarDockIconPolicy() override;

    ActivationPolicy activationPolicy() const override { return m_policy; }
    bool setActivationPolicy(ActivationPolicy policy) override;

    // Sets or clears the skip-taskbar state of one X11 window: through the window manager while
    // the window is mapped, on the window's own state property while it is not (the window
    // manager reads it when the window is mapped). Returns false without an X11 connection.
    static bool setSkipTaskbar(void *xcbConnection, quint32 window, bool skip, bool mapped);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void apply(QWindow *window, bool mapped);

    ActivationPolicy m_policy = ActivationPolicy::Regular;
};

} // namespace quorvin
