#include "platform/concurrency/CancelToken.h"
#include "platform/concurrency/ManualClock.h"
#include "platform/concurrency/Spawn.h"
#include "platform/concurrency/SystemClock.h"

#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

#include <QStringList>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "support/WaitFor.h"

using namespace quorvin;
using namespace std::chrono_literals;

namespace {
QCoro::Task<void> sleeper(
    Clock &clock, std::chrono::milliseconds d, QString name, QStringList &log, CancelToken token = {})
{
    try {
        co_await clock.sleep(d, token);
        log << name + QStringLiteral("@") + QString::number(clock.now().toMSecsSinceEpoch() % 100000);
    } catch (const CancelledError &) {
        log << name + QStringLiteral(" cancelled@") + QString::number(clock.now().toMSecsSinceEpoch() % 100000);
    }
}
} // namespace

TEST(ManualClock, SleepersWakeInDeadlineOrderAtTheirOwnDeadline)
{
    ManualClock clock(QDateTime::fromMSecsSinceEpoch(0, Qt::UTC));
    QStringList log;
    sleeper(clock, 3000ms, QStringLiteral("c"), log);
    sleeper(clock, 1000ms, QStringLiteral("a"), log);
    sleeper(clock, 2000ms, QStringLiteral("b1"), log);
    sleeper(clock, 2000ms, QStringLiteral("b2"), log);
    clock.advance(999ms);
    EXPECT_TRUE(log.isEmpty());
    clock.advance(1500ms);
    EXPECT_EQ(log, (QStringList {QStringLiteral("a@1000"), QStringLiteral("b1@2000"), QStringLiteral("b2@2000")}));
    EXPECT_EQ(clock.now().toMSecsSinceEpoch(), 2499);
    clock.advance(10s);
    EXPECT_EQ(log.last(), QStringLiteral("c@3000"));
    EXPECT_EQ(clock.pendingSleepers(), 0);
}

TEST(ManualClock, CancellationWakesAtOnceAndChainedSleepsRunWithinOneAdvance)
{
    ManualClock clock(QDateTime::fromMSecsSinceEpoch(0, Qt::UTC));
    QStringList log;
    CancelSource source;
    sleeper(clock, 60s, QStringLiteral("long"), log, source.token());
    clock.advance(5s);
    source.cancel();
    ManualClock::drainEvents();
    EXPECT_EQ(log, QStringList {QStringLiteral("long cancelled@5000")});
    EXPECT_EQ(clock.pendingSleepers(), 0);

    // A loop that sleeps again after each wake must see every one of its deadlines.
    int ticks = 0;
    auto loop = [&]() -> QCoro::Task<void> {
        for (int i = 0; i < 5; ++i) {
            co_await clock.sleep(1s);
            ++ticks;
        }
    };
    loop();
    clock.advance(3500ms);
    EXPECT_EQ(ticks, 3);
    clock.advance(10s);
    EXPECT_EQ(ticks, 5);

    // An already-cancelled token fails the sleep before it waits.
    QStringList early;
    sleeper(clock, 1s, QStringLiteral("early"), early, source.token());
    ManualClock::drainEvents();
    EXPECT_EQ(early.size(), 1);
    EXPECT_TRUE(early.first().startsWith(QStringLiteral("early cancelled")));
}

TEST(ManualClock, RunInVirtualTimeReturnsValuesAndRethrows)
{
    ManualClock clock;
    const auto start = clock.now();
    auto task = [&]() -> QCoro::Task<int> {
        co_await clock.sleep(90s);
        co_return 42;
    };
    EXPECT_EQ(runInVirtualTime(clock, task()), 42);
    EXPECT_EQ(start.msecsTo(clock.now()), 90000);

    auto failing = [&]() -> QCoro::Task<void> {
        co_await clock.sleep(1s);
        throw Error(QStringLiteral("d"), 7, QStringLiteral("boom"));
    };
    try {
        runInVirtualTime(clock, failing());
        FAIL() << "expected an error";
    } catch (const Error &error) {
        EXPECT_EQ(error.code(), 7);
    }

    CancelSource abandon;
    auto never = [&]() -> QCoro::Task<void> { co_await clock.sleep(48h, abandon.token()); };
    EXPECT_THROW(runInVirtualTime(clock, never(), 1h), std::runtime_error);
    // The task given up on still waits; cancelled, it ends and frees its frames.
    abandon.cancel();
    ManualClock::drainEvents();
}

TEST(ManualClock, MonotonicTimeAndSleepersIgnoreAWallClockSetBack)
{
    ManualClock clock(QDateTime::fromMSecsSinceEpoch(100000, Qt::UTC));
    const auto start = clock.monotonicNow();
    QStringList log;
    sleeper(clock, 2s, QStringLiteral("a"), log);
    sleeper(clock, 7s, QStringLiteral("b"), log);
    clock.advance(5s);
    EXPECT_EQ(clock.monotonicNow() - start, 5s);
    clock.setNow(QDateTime::fromMSecsSinceEpoch(0, Qt::UTC));
    EXPECT_EQ(clock.monotonicNow() - start, 5s);
    EXPECT_EQ(clock.nextDeadline(), QDateTime::fromMSecsSinceEpoch(2000, Qt::UTC));
    clock.advance(2s);
    EXPECT_EQ(clock.monotonicNow() - start, 7s);
    EXPECT_EQ(log, (QStringList {QStringLiteral("a@2000"), QStringLiteral("b@2000")}));

    SystemClock real;
    const auto first = real.monotonicNow();
    EXPECT_GE(real.monotonicNow(), first);
}

TEST(SystemClock, ShortSleepAndCancel)
{
    SystemClock clock;
    const auto before = clock.now();
    test::waitFor(clock.sleep(20ms));
    EXPECT_GE(before.msecsTo(clock.now()), 15);

    CancelSource source;
    auto task = clock.sleep(10min, source.token());
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { source.cancel(); }, Qt::QueuedConnection);
    EXPECT_THROW(test::waitFor(std::move(task)), CancelledError);

    // The closure must outlive the coroutine it starts, so it is named here rather than a temporary.
    bool ran = false;
    auto escaping = [&]() -> QCoro::Task<void> {
        co_await Clock::system().yield();
        ran = true;
        throw std::runtime_error("escaped");
    };
    spawn(escaping(), QStringLiteral("test"));
    ManualClock::drainEvents();
    EXPECT_TRUE(ran);
}

// Work sent off the main thread runs at a lower priority than the window's thread, which keeps
// its own.
TEST(SystemClock, WorkOffTheMainThreadGivesWayToTheWindow)
{
    SystemClock clock;
    const auto niceness = [] { return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid))); };
    const int mainBefore = niceness();
    int worker = mainBefore;
    test::waitFor(clock.runOffMainThread([&] { worker = niceness(); }));
    EXPECT_GE(worker, 10);
    EXPECT_GT(worker, mainBefore);
    EXPECT_EQ(niceness(), mainBefore);
}
