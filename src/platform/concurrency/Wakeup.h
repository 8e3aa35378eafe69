#pragma once

#include <coroutine>
#include <memory>

namespace quorvin {

namespace detail {
struct WakeupState {
    std::coroutine_handle<> waiter;
    bool fired = false;
};
} // namespace detail

// A one-shot event a coroutine can co_await. fire() never resumes the waiter inside the caller's
// stack: the resumption is queued on the Qt event loop, so whoever fires (a timer, a cancel, the
// virtual clock) cannot be re-entered by the woken coroutine. A waiter whose frame is destroyed
// before the queued resumption is simply forgotten.
class Wakeup {
public:
    Wakeup();

    void fire() const;
    bool hasFired() const noexcept { return m_state->fired; }

    struct Awaiter {
        std::shared_ptr<detail::WakeupState> state;
        bool await_ready() const noexcept { return state->fired; }
        void await_suspend(std::coroutine_handle<> handle) noexcept { state->waiter = handle; }
        void await_resume() const noexcept { }
        ~Awaiter()
        {
            if (state) {
                state->waiter = nullptr;
            }
        }
    };

    Awaiter operator co_await() const noexcept { return Awaiter {m_state}; }

private:
    std::shared_ptr<detail::WakeupState> m_state;
};

} // namespace quorvin
