#pragma once

#include "platform/concurrency/CancelToken.h"

#include <QDateTime>
#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>

namespace quorvin {

// The wall clock and every wait of the system. Production code gets the SystemClock; tests hand
// in a ManualClock and move time themselves, so no test waits for real.
class Clock {
public:
    virtual ~Clock() = default;

    // The current instant, in UTC with millisecond precision.
    virtual QDateTime now() const = 0;

    // Time since an arbitrary fixed origin that only ever moves forward: a wall clock set back
    // or forward does not move it. For measuring intervals, never for display.
    virtual std::chrono::milliseconds monotonicNow() const;

    // Waits `duration` (a zero or negative one still yields once). Throws CancelledError when the
    // token is cancelled before or during the wait; the wait then ends at once.
    virtual QCoro::Task<void> sleep(std::chrono::milliseconds duration, CancelToken token = {}) = 0;

    // Lets every event already queued on the loop run before continuing.
    virtual QCoro::Task<void> yield();

    // Runs `work` away from the main thread and resumes the caller on it once the work is done,
    // so a long pure computation (decoding a large answer) does not stall the event loop. `work`
    // must own what it touches and reach no Qt object or shared state, and must not throw. A
    // virtual clock runs it in place, keeping tests deterministic.
    virtual QCoro::Task<void> runOffMainThread(std::function<void()> work);
    // Whether runOffMainThread() runs its work in place. Others that move work off the main
    // thread (the settings file's writer) do it in place too on such a clock.
    virtual bool runsWorkInPlace() const { return true; }

    // The process-wide real clock.
    static Clock &system();
};

} // namespace quorvin
