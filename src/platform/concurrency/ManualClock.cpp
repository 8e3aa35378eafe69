#include "platform/concurrency/ManualClock.h"

#include "platform/concurrency/QueuedEvents.h"

#include <algorithm>
#include <utility>

namespace quorvin {

ManualClock::ManualClock(QDateTime start)
    : m_now(std::move(start))
{
    m_now = m_now.toUTC();
}

QCoro::Task<void> ManualClock::sleep(std::chrono::milliseconds duration, CancelToken token)
{
    token.throwIfCancelled();
    Wakeup wakeup;
    const auto deadline = m_monotonic + std::max(duration, std::chrono::milliseconds(0));
    m_sleepers.push_back(Sleeper {deadline, m_nextOrder++, wakeup});
    auto subscription = token.onCancel([this, wakeup] {
        wakeup.fire();
        std::erase_if(m_sleepers, [](const Sleeper &s) { return s.wakeup.hasFired(); });
    });
    co_await wakeup;
    token.throwIfCancelled();
}

void ManualClock::drainEvents()
{
    runQueuedEvents();
}

bool ManualClock::wakeNextUntil(std::chrono::milliseconds limit)
{
    std::erase_if(m_sleepers, [](const Sleeper &s) { return s.wakeup.hasFired(); });
    auto next = std::min_element(m_sleepers.begin(), m_sleepers.end(), [](const Sleeper &a, const Sleeper &b) {
        return a.deadline < b.deadline || (a.deadline == b.deadline && a.order < b.order);
    });
    if (next == m_sleepers.end() || next->deadline > limit) {
        return false;
    }
    moveTo(next->deadline);
    Wakeup wakeup = next->wakeup;
    m_sleepers.erase(next);
    wakeup.fire();
    drainEvents();
    return true;
}

void ManualClock::moveTo(std::chrono::milliseconds monotonic)
{
    if (monotonic > m_monotonic) {
        m_now = m_now.addMSecs((monotonic - m_monotonic).count());
        m_monotonic = monotonic;
    }
}

QCoro::Task<void> ManualClock::yield()
{
    // Sleepers that fall due meanwhile wake at the next step of advance() or runUntil().
    moveTo(m_monotonic + m_workBetweenYields);
    co_await Clock::yield();
}

QCoro::Task<void> ManualClock::runOffMainThread(std::function<void()> work)
{
    if (m_holdingWork) {
        const Wakeup wakeup;
        m_heldWork.push_back(wakeup);
        co_await wakeup;
    }
    work();
}

void ManualClock::releaseOffMainThreadWork()
{
    m_holdingWork = false;
    for (auto &wakeup : std::exchange(m_heldWork, {})) {
        wakeup.fire();
    }
}

void ManualClock::advance(std::chrono::milliseconds duration)
{
    drainEvents();
    const auto target = m_monotonic + duration;
    while (wakeNextUntil(target)) { }
    moveTo(target);
    drainEvents();
}

bool ManualClock::runUntil(const std::function<bool()> &done, std::chrono::milliseconds limit)
{
    const auto end = m_monotonic + limit;
    drainEvents();
    while (!done()) {
        if (!wakeNextUntil(end)) {
            return done();
        }
    }
    return true;
}

int ManualClock::pendingSleepers() const
{
    return static_cast<int>(
        std::count_if(m_sleepers.begin(), m_sleepers.end(), [](const Sleeper &s) { return !s.wakeup.hasFired(); }));
}

std::optional<QDateTime> ManualClock::nextDeadline() const
{
    std::optional<std::chrono::milliseconds> best;
    for (const auto &s : m_sleepers) {
        if (!s.wakeup.hasFired() && (!best || s.deadline < *best)) {
            best = s.deadline;
        }
    }
    if (!best) {
        return std::nullopt;
    }
    return m_now.addMSecs((*best - m_monotonic).count());
}

} // namespace quorvin
