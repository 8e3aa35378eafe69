#include "platform/concurrency/Wakeup.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace quorvin {

Wakeup::Wakeup()
    : m_state(std::make_shared<detail::WakeupState>())
{
}

void Wakeup::fire() const
{
    if (m_state->fired) {
        return;
    }
    m_state->fired = true;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [state = m_state] {
            if (auto handle = state->waiter) {
                state->waiter = nullptr;
                handle.resume();
            }
        },
        Qt::QueuedConnection);
}

} // namespace quorvin
