#pragma once

#include "platform/concurrency/Clock.h"
#include "platform/concurrency/Wakeup.h"

#include <QDateTime>

#include <functional>
#include <optional>
#include <vector>

namespace quorvin {

// Virtual time for tests. Time stands still until advance() or runUntil() moves it; sleepers wake
// in deadline order (ties in the order they started), each at its own deadline, and everything
// they queue runs before the next one wakes. Deadlines are kept on the monotonic time, as real
// timers are, so setting the wall clock moves no deadline.
class ManualClock final : public Clock {
public:
    explicit ManualClock(
        QDateTime start = QDateTime::fromString(QStringLiteral("2026-01-05T09:00:00.000Z"), Qt::ISODateWithMs));

    QDateTime now() const override { return m_now; }
    // Sets the wall clock alone, as a user changing the system time would: sleepers and the
    // monotonic time keep their own course.
    void setNow(QDateTime now) { m_now = std::move(now); }

    // Moves with advance() and runUntil(), and with every yield() by the work set below.
    std::chrono::milliseconds monotonicNow() const override { return m_monotonic; }

    // Each yield() first moves time by `duration`, as the work done between two yields would take
    // that long for real; zero (the default) keeps time still there.
    void setWorkBetweenYields(std::chrono::milliseconds duration) { m_workBetweenYields = duration; }
    QCoro::Task<void> yield() override;

    QCoro::Task<void> sleep(std::chrono::milliseconds duration, CancelToken token = {}) override;

    // Moves time forward by `duration`, waking every sleeper whose deadline falls inside it.
    void advance(std::chrono::milliseconds duration);

    // Runs queued events and then jumps from deadline to deadline until `done` holds or the virtual
    // time spent exceeds `limit`. Returns whether `done` held.
    bool runUntil(const std::function<bool()> &done, std::chrono::milliseconds limit);

    // Runs every event queued on the loop, and what they queue in turn.
    static void drainEvents();

    int pendingSleepers() const;

    // Work sent away from the main thread runs in place, at once; while held, it waits until
    // released, as slow work on another thread would, while virtual time goes on.
    QCoro::Task<void> runOffMainThread(std::function<void()> work) override;
    void holdOffMainThreadWork() { m_holdingWork = true; }
    void releaseOffMainThreadWork();
    int heldOffMainThreadWork() const { return int(m_heldWork.size()); }
    std::optional<QDateTime> nextDeadline() const;

private:
    struct Sleeper {
        std::chrono::milliseconds deadline;
        quint64 order;
        Wakeup wakeup;
    };
    bool wakeNextUntil(std::chrono::milliseconds limit);
    void moveTo(std::chrono::milliseconds monotonic);

    QDateTime m_now;
    std::chrono::milliseconds m_monotonic {0};
    quint64 m_nextOrder = 0;
    std::vector<Sleeper> m_sleepers;
    bool m_holdingWork = false;
    std::chrono::milliseconds m_workBetweenYields {0};
    std::vector<Wakeup> m_heldWork;
};

// Drives `task` to completion on the virtual clock (at most `limit` of virtual time) and returns
// its result; rethrows what it threw. Fails the calling test when it does not finish.
template <typename T>
T runInVirtualTime(ManualClock &clock, QCoro::Task<T> task, std::chrono::milliseconds limit = std::chrono::hours(24));

} // namespace quorvin

#include "platform/concurrency/ManualClock_impl.h"
