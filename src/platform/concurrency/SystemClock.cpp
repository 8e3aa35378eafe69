#include "platform/concurrency/SystemClock.h"

#include "platform/concurrency/BackgroundWork.h"
#include "platform/concurrency/Wakeup.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

#include <memory>

namespace quorvin {

QCoro::Task<void> Clock::yield()
{
    // Fired from the loop, not here: a wakeup that has already fired does not suspend its waiter.
    Wakeup wakeup;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [wakeup] { wakeup.fire(); }, Qt::QueuedConnection);
    co_await wakeup;
}

QCoro::Task<void> Clock::runOffMainThread(std::function<void()> work)
{
    work();
    co_return;
}

std::chrono::milliseconds Clock::monotonicNow() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

Clock &Clock::system()
{
    static SystemClock clock;
    return clock;
}

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTimeUtc();
}

QCoro::Task<void> SystemClock::sleep(std::chrono::milliseconds duration, CancelToken token)
{
    token.throwIfCancelled();
    Wakeup wakeup;
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer.get(), &QTimer::timeout, [wakeup] { wakeup.fire(); });
    timer->start(std::max<std::chrono::milliseconds>(duration, std::chrono::milliseconds(0)));
    auto subscription = token.onCancel([wakeup] { wakeup.fire(); });
    co_await wakeup;
    token.throwIfCancelled();
}

QCoro::Task<void> SystemClock::runOffMainThread(std::function<void()> work)
{
    Wakeup wakeup;
    // The wakeup is fired from the main thread's loop, the only place its waiter is touched; a
    // caller gone by then is simply not resumed.
    startInBackground([work = std::move(work), wakeup] {
        work();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [wakeup] { wakeup.fire(); }, Qt::QueuedConnection);
    });
    co_await wakeup;
}

} // namespace quorvin
