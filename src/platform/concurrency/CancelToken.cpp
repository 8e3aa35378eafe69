#include "platform/concurrency/CancelToken.h"

#include <vector>

namespace quorvin {

CancelledError::CancelledError()
    : Error(QStringLiteral("Quorvin.Cancelled"), 0, QStringLiteral("The operation was cancelled"))
{
}

CancelSubscription::CancelSubscription(std::weak_ptr<detail::CancelState> state, int id)
    : m_state(std::move(state))
    , m_id(id)
{
}

CancelSubscription::CancelSubscription(CancelSubscription &&other) noexcept
    : m_state(std::move(other.m_state))
    , m_id(other.m_id)
{
    other.m_id = -1;
}

CancelSubscription &CancelSubscription::operator=(CancelSubscription &&other) noexcept
{
    if (this != &other) {
        reset();
        m_state = std::move(other.m_state);
        m_id = other.m_id;
        other.m_id = -1;
    }
    return *this;
}

CancelSubscription::~CancelSubscription()
{
    reset();
}

void CancelSubscription::reset()
{
    if (auto state = m_state.lock(); state && m_id >= 0) {
        state->callbacks.erase(m_id);
    }
    m_state.reset();
    m_id = -1;
}

void CancelToken::throwIfCancelled() const
{
    if (isCancelled()) {
        throw CancelledError();
    }
}

CancelSubscription CancelToken::onCancel(std::function<void()> callback) const
{
    if (!m_state) {
        return {};
    }
    if (m_state->cancelled) {
        callback();
        return {};
    }
    const int id = m_state->nextId++;
    m_state->callbacks.emplace(id, std::move(callback));
    return CancelSubscription(m_state, id);
}

CancelSource::CancelSource()
    : m_state(std::make_shared<detail::CancelState>())
{
}

void CancelSource::cancel()
{
    if (m_state->cancelled) {
        return;
    }
    m_state->cancelled = true;
    // A callback may drop other registrations, so take them all out first.
    std::vector<std::function<void()>> callbacks;
    for (auto &[id, callback] : m_state->callbacks) {
        callbacks.push_back(std::move(callback));
    }
    m_state->callbacks.clear();
    for (auto &callback : callbacks) {
        callback();
    }
}

} // namespace quorvin
