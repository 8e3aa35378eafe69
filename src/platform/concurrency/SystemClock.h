#pragma once

#include "platform/concurrency/Clock.h"

namespace quorvin {

// Real time on QTimer.
class SystemClock final : public Clock {
public:
    QDateTime now() const override;
    QCoro::Task<void> sleep(std::chrono::milliseconds duration, CancelToken token = {}) override;
    // On a thread of the global thread pool.
    QCoro::Task<void> runOffMainThread(std::function<void()> work) override;
    bool runsWorkInPlace() const override { return false; }
};

} // namespace quorvin
