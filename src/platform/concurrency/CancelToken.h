#pragma once

#include "platform/core/Error.h"

#include <functional>
#include <map>
#include <memory>

namespace quorvin {

// Thrown by cancellable waits (Clock::sleep, CancelToken::throwIfCancelled) once their token is
// cancelled.
class CancelledError : public Error {
public:
    CancelledError();
};

namespace detail {
struct CancelState {
    bool cancelled = false;
    int nextId = 0;
    std::map<int, std::function<void()>> callbacks;
};
} // namespace detail

// Keeps a cancellation callback registered for as long as it lives.
class CancelSubscription {
public:
    CancelSubscription() = default;
    CancelSubscription(std::weak_ptr<detail::CancelState> state, int id);
    CancelSubscription(CancelSubscription &&other) noexcept;
    CancelSubscription &operator=(CancelSubscription &&other) noexcept;
    CancelSubscription(const CancelSubscription &) = delete;
    CancelSubscription &operator=(const CancelSubscription &) = delete;
    ~CancelSubscription();

    void reset();

private:
    std::weak_ptr<detail::CancelState> m_state;
    int m_id = -1;
};

// The observing side of a cancellation. A default-constructed token is never cancelled. Copies
// share their source's state.
class CancelToken {
public:
    CancelToken() = default;

    bool isCancelled() const noexcept { return m_state && m_state->cancelled; }
    bool canBeCancelled() const noexcept { return static_cast<bool>(m_state); }
    void throwIfCancelled() const;

    // Runs `callback` once, synchronously, when the source is cancelled; at once if it already is.
    // The registration ends with the returned subscription.
    [[nodiscard]] CancelSubscription onCancel(std::function<void()> callback) const;

private:
    friend class CancelSource;
    explicit CancelToken(std::shared_ptr<detail::CancelState> state)
        : m_state(std::move(state))
    {
    }
    std::shared_ptr<detail::CancelState> m_state;
};

// The owning side: cancel() flips every token handed out and runs their callbacks.
class CancelSource {
public:
    CancelSource();

    CancelToken token() const { return CancelToken(m_state); }
    void cancel();
    bool isCancelled() const noexcept { return m_state->cancelled; }

private:
    std::shared_ptr<detail::CancelState> m_state;
};

} // namespace quorvin
