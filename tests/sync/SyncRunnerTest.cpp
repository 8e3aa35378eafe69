#include "SyncHarness.h"

#include "account/CloudAccount.h"
#include "activity/ActivityLog.h"
#include "matching/CloudSyncState.h"
#include "platform/defaults/FileUserDefaults.h"
#include "platform/reminderstore/JsonFileReminderStore.h"
#include "support/FullDisk.h"
#include "support/cloudserver/CloudFault.h"
#include "support/cloudserver/InProcessHttpSession.h"
#include "support/cloudserver/Phone.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;

namespace quorvin::test {

namespace {
CloudFault delayed(std::chrono::milliseconds delay)
{
    CloudFault fault;
    fault.delay = delay;
    return fault;
}

CloudFault status(int code, QByteArray body = R"({"error":"failure"})")
{
    CloudFault fault;
    fault.status = code;
    fault.body = std::move(body);
    return fault;
}
} // namespace

// Requests made while a pass runs fold into one further pass carrying the latest trigger and the
// latest count-verification request.
TEST(SyncRunnerTest, CoalescesTriggersIntoOneFurtherPass)
{
    SyncHarness h;
    h.addLocalReminder(u"Buy milk"_s);
    auto &service = h.start();
    ASSERT_TRUE(h.settle());
    const int passesBefore = h.logCount(u"云同步开始 ["_s);

    // Slow down the next pull so the next pass is still running while requests arrive.
    h.server.addFault(u"GET"_s, u"/sync"_s, delayed(10s));
    service.scheduleCloudSync(u"first"_s);
    h.clock.advance(1s);
    ASSERT_TRUE(service.isCloudSyncRunnerActive());
    service.scheduleCloudSync(u"a"_s);
    service.scheduleCloudSync(u"b"_s, SyncCountVerificationRequestSignal {u"req-1"_s, u"c1"_s, u"t"_s});
    service.scheduleCloudSync(u"c"_s, SyncCountVerificationRequestSignal {u"req-2"_s, u"c2"_s, u"t"_s});
    ASSERT_TRUE(h.settle());

    EXPECT_EQ(h.logCount(u"云同步开始 ["_s), passesBefore + 2);
    EXPECT_EQ(h.logCount(u"云同步开始 [c]"_s), 1);
    EXPECT_EQ(h.logCount(u"云同步开始 [a]"_s) + h.logCount(u"云同步开始 [b]"_s), 0);
    // Only the latest request was answered, by the one further pass.
    const auto reports = h.server.journalFor(u"/sync/count-verification"_s);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports.front().request.body.contains("req-2"));

    // Idle again: the next request starts a new runner at once.
    EXPECT_FALSE(service.isCloudSyncRunnerActive());
    service.scheduleCloudSync(u"later"_s);
    EXPECT_TRUE(service.isCloudSyncRunnerActive());
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.logCount(u"云同步开始 [later]"_s), 1);
}

// Without a token the pass records its pause once per reason; start-up, a failed monitor and a
// missing base URL start no pass at all.
TEST(SyncRunnerTest, PausesAndStartConditions)
{
    {
        SyncHarness h;
        h.defaults.remove(u"Quorvin.CloudAuthToken"_s);
        auto &service = h.start();
        ASSERT_TRUE(h.settle());
        service.scheduleCloudSync(u"again"_s);
        ASSERT_TRUE(h.settle());
        EXPECT_EQ(service.lastSyncAttemptStatus(), u"失败（缺少云同步令牌）"_s);
        EXPECT_EQ(h.logCount(u"云同步已暂停：缺少登录令牌，本地提醒事项已保留"_s), 1);
        ASSERT_FALSE(service.activityLog().activityLogs().isEmpty());
        EXPECT_EQ(service.activityLog().activityLogs().front().summary, u"云同步已暂停"_s);
        EXPECT_EQ(service.activityLog().activityLogs().front().details,
            QStringList({u"缺少云同步令牌"_s, u"本机任务已保留"_s}));
        EXPECT_EQ(service.activityLog().activityLogs().size(), 1);
        EXPECT_EQ(h.requestCount(u"/sync"_s), 0);
        EXPECT_EQ(service.syncState().cloudCursorSummary(), u"push=- / pull=-"_s);
    }
    {
        SyncHarness h;
        h.store.setAccessStatus(ReminderStore::AccessStatus::Denied);
        h.store.setAccessRequestAnswer(false);
        auto &service = h.start();
        EXPECT_FALSE(service.isRunning());
        EXPECT_EQ(service.lastSyncAttemptStatus(), u"失败（启动失败）"_s);
        service.scheduleCloudSync(u"manual"_s);
        h.settle();
        h.clock.runUntil([] { return false; }, 3min);
        EXPECT_EQ(h.requestCount(u"/sync"_s), 0);
        EXPECT_EQ(h.requestCount(u"/sync/wait"_s), 0);
        EXPECT_FALSE(service.isCloudRealtimeWaitRunning());
    }
}

// The long-poll: at most one round per second against a server that answers at once, a 5 s
// back-off after errors, and the health poll's fallback pass once it has been silent 90 s.
TEST(SyncRunnerTest, RealtimeLoopsKeepTheirPace)
{
    SyncHarness h;
    h.addLocalReminder(u"Call mum"_s);
    auto &service = h.start();
    ASSERT_TRUE(h.settle());
    ASSERT_FALSE(service.syncState().cloudPullCursor().isEmpty());

    // A server that answers every wait at once with nothing new.
    h.server.addFault(
        u"GET"_s, u"/sync/wait"_s, status(200, R"({"changed":false,"current_cursor":"x","generated_at":"y"})"), -1);
    h.server.clearJournal();
    h.clock.advance(10s);
    const int quickRounds = h.requestCount(u"/sync/wait"_s);
    EXPECT_GE(quickRounds, 9);
    EXPECT_LE(quickRounds, 11);

    // Errors: one retry every 5 s.
    h.server.clearFaults();
    h.server.addFault(u"GET"_s, u"/sync/wait"_s, status(503), -1);
    h.clock.advance(1s);
    h.server.clearJournal();
    h.clock.advance(30s);
    const int errorRounds = h.requestCount(u"/sync/wait"_s);
    EXPECT_GE(errorRounds, 5);
    EXPECT_LE(errorRounds, 7);

    // 90 s after the last answer a health tick schedules the fallback pass.
    const int fallbacksBefore = h.logCount(u"云同步开始 [realtime-health-fallback]"_s);
    h.clock.advance(120s);
    ASSERT_TRUE(h.settle());
    EXPECT_GE(h.logCount(u"云同步开始 [realtime-health-fallback]"_s), fallbacksBefore + 1);
    EXPECT_TRUE(service.lastSyncAttemptStatus().startsWith(u"成功"_s));
}

// A change reported by the long-poll pulls it into the local store; a count-verification request
// in the same answer takes precedence and is answered once the pass has nothing left to upload.
TEST(SyncRunnerTest, LongPollDrivesPassesAndCountVerification)
{
    SyncHarness h;
    h.addLocalReminder(u"Water plants"_s);
    auto &service = h.start();
    ASSERT_TRUE(h.settle());

    Phone phone(h.server, h.userId);
    phone.createReminder(Phone::Reminder {.title = u"From the phone"_s});
    ASSERT_TRUE(h.clock.runUntil(
        [&] {
            for (const auto &reminder : h.store.reminders()) {
                if (reminder.title == u"From the phone"_s) {
                    return !service.isCloudSyncRunnerActive();
                }
            }
            return false;
        },
        2min));
    EXPECT_EQ(h.logCount(u"云同步开始 [realtime-wait]"_s), 1);

    const auto requestId = h.model().requestCountVerification(h.userId);
    ASSERT_TRUE(h.clock.runUntil(
        [&] { return !h.model().countReports(h.userId).isEmpty() && !service.isCloudSyncRunnerActive(); }, 2min));
    EXPECT_EQ(service.observedCountVerificationRequestID(), requestId);
    EXPECT_EQ(service.lastSyncAttemptStatus(), u"成功（云端同步完成，条数一致）"_s);
    EXPECT_EQ(h.model().countReports(h.userId).size(), 1);
}

// A pass that ends because the token changed under it drops the count verification it carried,
// so the long-poll no longer tells the server it has seen the request and the server can ask again.
TEST(SyncRunnerTest, AFencedPassDropsItsCountVerification)
{
    SyncHarness h;
    h.addLocalReminder(u"Counted"_s);
    auto &service = h.start();
    ASSERT_TRUE(h.settle());

    h.server.addFault(u"GET"_s, u"/sync"_s, delayed(5s));
    const auto requestId = h.model().requestCountVerification(h.userId);
    ASSERT_TRUE(h.clock.runUntil(
        [&] { return service.observedCountVerificationRequestID() == requestId && service.isCloudSyncRunnerActive(); },
        2min));
    service.account().applyCloudAuthToken(u"qvk_other-token"_s, u"token replaced during the pass"_s);
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.logCount(u"Cloud sync pass ended after sync state reset [count-verification-request]"_s), 1);
    EXPECT_TRUE(service.observedCountVerificationRequestID().isEmpty());
    EXPECT_TRUE(h.model().countReports(h.userId).isEmpty());
}

// Once stopped for a quit, the service starts nothing more: no pass for any trigger, no loop that
// an account operation would start again.
TEST(SyncRunnerTest, AStoppedServiceStartsNothing)
{
    SyncHarness h;
    h.addLocalReminder(u"Quiet"_s);
    auto &service = h.start();
    ASSERT_TRUE(h.settle());
    ASSERT_TRUE(service.isCloudRealtimeWaitRunning());

    bool stopped = false;
    QObject::connect(&service, &QuorvinMacService::stopped, [&] { stopped = true; });
    runInVirtualTime(h.clock, service.stop());
    EXPECT_TRUE(stopped);
    EXPECT_FALSE(service.isCloudRealtimeWaitRunning());
    service.startCloudRealtimeWaitIfNeeded();
    service.scheduleCloudSync(u"manual"_s);
    h.addLocalReminder(u"After the stop"_s);
    h.clock.advance(10s);
    EXPECT_FALSE(service.isCloudRealtimeWaitRunning());
    EXPECT_FALSE(service.isCloudSyncRunnerActive());
    EXPECT_EQ(h.logCount(u"云同步开始 [manual]"_s), 0);
    EXPECT_EQ(h.logCount(u"Refresh [eventkit-change]"_s), 0) << "the store is no longer observed";
}

// A failed pass is tried again on its own: 5 s later, then twice as late after each further
// failure, at most 5 minutes apart, and from 5 s again once a pass went through. Other triggers
// still run at once. While a retry waits, no long-poll runs: with the pull cursor behind the
// server every wait would answer at once and restart the failing pass about once a second. The
// same holds when the local store is what fails.
TEST(SyncRunnerTest, FailedPassesRetryWithBackOff)
{
    SyncHarness h;
    h.addLocalReminder(u"Steady"_s);
    auto &service = h.start();
    ASSERT_TRUE(h.settle());
    Phone phone(h.server, h.userId);
    const auto gapsInSeconds = [&](qsizetype from) {
        QList<qint64> gaps;
        const auto pulls = h.server.journalFor(u"/sync"_s);
        for (qsizetype i = from + 1; i < pulls.size(); ++i) {
            gaps.append(qRound64(pulls[i - 1].request.receivedAt.msecsTo(pulls[i].request.receivedAt) / 1000.0));
        }
        return gaps;
    };
    const auto hasLocal = [&](const QString &title) {
        for (const auto &reminder : h.store.reminders()) {
            if (reminder.title == title) {
                return true;
            }
        }
        return false;
    };

    // The server fails every pull; news on the phone wakes the long-poll, whose pass fails.
    h.server.addFault(u"GET"_s, u"/sync"_s, status(503), -1);
    h.server.clearJournal();
    phone.createReminder(Phone::Reminder {.title = u"While the server fails"_s});
    h.clock.advance(11min);
    EXPECT_EQ(gapsInSeconds(0), QList<qint64>({5, 10, 20, 40, 80, 160, 300}));
    EXPECT_EQ(h.requestCount(u"/sync/wait"_s), 1) << "only the wait that brought the news";
    EXPECT_TRUE(service.isCloudSyncRetryPending());

    const int pulls = h.requestCount(u"/sync"_s);
    service.scheduleCloudSync(u"manual"_s);
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.requestCount(u"/sync"_s), pulls + 1) << "another trigger runs at once";

    h.server.clearFaults();
    ASSERT_TRUE(h.clock.runUntil([&] { return hasLocal(u"While the server fails"_s); }, 301s));
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(service.lastSyncAttemptStatus(), u"成功（云端同步完成）"_s);
    EXPECT_FALSE(service.isCloudSyncRetryPending());

    // The local store cannot be read: the same back-off, from 5 s again.
    h.store.setAccessStatus(ReminderStore::AccessStatus::Denied);
    const auto from = h.server.journalFor(u"/sync"_s).size();
    const int waits = h.requestCount(u"/sync/wait"_s);
    phone.createReminder(Phone::Reminder {.title = u"While the store fails"_s});
    h.clock.advance(80s);
    EXPECT_EQ(gapsInSeconds(from), QList<qint64>({5, 10, 20, 40}));
    EXPECT_EQ(h.requestCount(u"/sync/wait"_s), waits + 1);
    h.store.setAccessStatus(ReminderStore::AccessStatus::FullAccess);
    ASSERT_TRUE(h.clock.runUntil([&] { return hasLocal(u"While the store fails"_s); }, 81s));
}

// Settings that cannot be written fail every pass the same way: the failed passes keep the
// back-off although each one's own writes would start the next at once, and once the disk is free
// again the retry succeeds without any change to carry it.
TEST(SyncRunnerTest, AnUnwritableSettingsFileKeepsTheBackOff)
{
    ManualClock clock;
    CloudServer server(clock);
    InProcessHttpSession http(server, clock);
    const auto userId = server.createUser(u"+8613800138000"_s);
    Phone phone(server, userId);
    const auto listId = phone.createList(u"Inbox"_s);
    QTemporaryDir dir;
    FileUserDefaults defaults(dir.filePath(u"settings.json"_s), clock);
    defaults.setString(u"Quorvin.CloudBaseURL"_s, InProcessHttpSession::baseUrl());
    defaults.setString(u"Quorvin.CloudAuthToken"_s, server.createSession(userId, u"mqv"_s));
    JsonFileReminderStore store(dir.filePath(u"reminders.json"_s), clock);
    QuorvinMacService service(defaults, http, clock, store);
    runInVirtualTime(clock, service.startIfNeeded());
    ASSERT_TRUE(clock.runUntil([&] { return !service.isCloudSyncRunnerActive(); }, 1min));

    defaults.fileWriter().setSystemCalls(diskWithRoom(0));
    server.clearJournal();
    // The phone goes on making reminders. Each pass fails right after the store committed them,
    // when the mappings are folded into the settings and before the apply's own refresh: the
    // store's news of those writes then comes as changes of this machine's, which must not start
    // another pass while the back-off runs.
    for (int i = 0; i < 15; ++i) {
        phone.createReminder({.title = u"While the disk is full %1"_s.arg(i), .listId = listId});
        clock.advance(4s);
    }
    EXPECT_LE(server.journalFor(u"/sync"_s).size(), 4) << "the pass of the news and its retries after 5, 10 and 20 s";
    EXPECT_TRUE(service.isCloudSyncRetryPending());

    defaults.fileWriter().setSystemCalls(AtomicFileWriter::realSystemCalls());
    EXPECT_TRUE(clock.runUntil([&] { return service.lastSyncAttemptStatus() == u"成功（云端同步完成）"_s; }, 41s))
        << service.lastSyncAttemptStatus().toStdString();
    EXPECT_FALSE(service.isCloudSyncRetryPending());
    service.shutdown();
    ManualClock::drainEvents();
}

} // namespace quorvin::test
