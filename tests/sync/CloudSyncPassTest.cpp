#include "sync/CloudSyncPass.h"
#include "account/CloudAccount.h"
#include "account/CloudAccountOwner.h"
#include "activity/ActivityLog.h"
#include "activity/DiagnosticLog.h"
#include "cloud/CloudSyncClient.h"
#include "matching/CloudSyncState.h"
#include "matching/SyncStateStore.h"
#include "platform/concurrency/ManualClock.h"
#include "platform/defaults/InMemoryUserDefaults.h"
#include "platform/device/DeviceIdentitySource.h"
#include "platform/reminderstore/InMemoryReminderStore.h"
#include "reminders/ReminderMonitor.h"
#include "support/cloudserver/CloudServer.h"
#include "support/cloudserver/InProcessHttpSession.h"
#include "support/cloudserver/Phone.h"
#include "support/cloudserver/SyncModel.h"
#include "sync/CloudSyncCarryOver.h"
#include "sync/CloudSyncPassOwner.h"
#include "sync/SyncStateFencedError.h"

#include <functional>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace quorvin::test {

namespace {

// Hands every request to the test cloud and calls `onAnswer` with each answer's number (from 1)
// before the answer goes back to the pass.
class AnswerCountingHttp final : public HttpSession {
public:
    explicit AnswerCountingHttp(HttpSession &inner)
        : m_inner(inner)
    {
    }
    QCoro::Task<HttpResponse> send(HttpRequest request) override
    {
        auto response = co_await m_inner.send(std::move(request));
        ++answers;
        if (onAnswer) {
            onAnswer(answers);
        }
        co_return response;
    }
    int answers = 0;
    std::function<void(int)> onAnswer;

private:
    HttpSession &m_inner;
};

// The owner a pass needs, without the service: it only counts what the pass asks of it.
class PassOwner final : public CloudSyncPassOwner, public CloudAccountOwner {
public:
    bool isStopping() const override { return false; }
    void markSyncInProgress() override { }
    void markSyncSuccess(const QString &) override { ++successes; }
    void markSyncFailure(const QString &) override { }
    void reportFailureLine(const QString &) override { }
    void scheduleCloudSync(const QString &, const std::optional<SyncCountVerificationRequestSignal> &) override { }
    void scheduleCloudSyncAfterPass(const QString &, const std::optional<SyncCountVerificationRequestSignal> &) override
    {
    }
    std::optional<SyncCountVerificationRequestSignal> takeCountVerificationRequest() override { return std::nullopt; }
    void forgetObservedCountVerificationRequest() override { }
    void beginOwnStoreWrites() override { }
    void endOwnStoreWrites(const QSet<QString> &, const QSet<QString> &) override { }
    void startCloudRealtimeWaitIfNeeded() override { }
    void cloudAuthTokenApplied() override { }
    int successes = 0;
};

// A first pass on its own: a phone reminder on the server, two local reminders, and a count
// verification to answer at the end, so that it pulls, applies, pushes, pulls again, refreshes
// the profile and reports its counts.
struct LonePass {
    LonePass()
        : server(clock)
        , inProcess(server, clock)
        , http(inProcess)
        , store(clock)
        , log(clock)
        , activityLog(defaults, clock, log)
        , syncState(defaults, log, &clock)
        , stateStore(clock)
    {
        const auto userId = server.createUser(u"+8613800138000"_s);
        token = server.createSession(userId, u"mqv"_s, u"mac-device-1"_s);
        defaults.setString(u"Quorvin.CloudBaseURL"_s, InProcessHttpSession::baseUrl());
        defaults.setString(u"Quorvin.CloudAuthToken"_s, token);
        Phone phone(server, userId);
        phone.createReminder(Phone::Reminder {u"From the phone"_s});
        request.request_id = syncModel(server).requestCountVerification(userId);

        ReminderList list;
        list.title = u"Inbox"_s;
        list.sourceId = store.sources().front().id;
        const auto listId = store.saveList(list).id;
        for (const auto *title : {"Local one", "Local two"}) {
            Reminder reminder;
            reminder.listId = listId;
            reminder.title = QString::fromUtf8(title);
            store.saveReminder(reminder);
        }
        account = std::make_unique<CloudAccount>(
            defaults, syncState, log, activityLog, owner, http, clock, DeviceIdentitySource::system());
        monitor = std::make_unique<ReminderMonitor>(
            store, stateStore, [](const ReminderRefreshEvent &) {}, [](const QString &) {}, clock);
        runInVirtualTime(clock, monitor->start());
    }

    // Runs the pass to its end; true when it ended fenced.
    bool runFenced()
    {
        const CloudSyncPassParts parts {
            &lifetime, defaults, clock, store, log, activityLog, syncState, *account, stateStore, *monitor, carryOver};
        CloudSyncPassContext context {parts, owner,
            CloudSyncClient(http, InProcessHttpSession::baseUrl(), token, clock), syncState.syncStateEpoch(), u"test"_s,
            request};
        CloudSyncPass pass(context);
        bool fenced = false;
        auto run = [&pass, &fenced]() -> QCoro::Task<void> {
            try {
                co_await pass.run();
            } catch (const SyncStateFencedError &) {
                fenced = true;
            }
        };
        runInVirtualTime(clock, run());
        return fenced;
    }

    ManualClock clock;
    CloudServer server;
    InProcessHttpSession inProcess;
    AnswerCountingHttp http;
    InMemoryUserDefaults defaults;
    InMemoryReminderStore store;
    DiagnosticLog log;
    ActivityLog activityLog;
    CloudSyncState syncState;
    SyncStateStore stateStore;
    CloudSyncCarryOver carryOver;
    PassOwner owner;
    QObject lifetime;
    std::unique_ptr<CloudAccount> account;
    std::unique_ptr<ReminderMonitor> monitor;
    QString token;
    SyncCountVerificationRequestSignal request;
};

} // namespace

// Whichever answer the sync state's epoch moves under (another account, a sign-out, a reset), the
// pass stops right there: it sends nothing more and writes neither a cursor nor a mapping.
TEST(CloudSyncPass, StopsAtTheAwaitDuringWhichItsEpochMoved)
{
    int answersOfAWholePass = 0;
    {
        LonePass whole;
        ASSERT_FALSE(whole.runFenced());
        EXPECT_EQ(whole.owner.successes, 1);
        EXPECT_EQ(whole.stateStore.reminderCount(), 3);
        answersOfAWholePass = whole.http.answers;
    }
    ASSERT_GE(answersOfAWholePass, 8);

    for (int moveAt = 1; moveAt <= answersOfAWholePass; ++moveAt) {
        SCOPED_TRACE(moveAt);
        LonePass lone;
        QString pullCursor;
        QString pushCursor;
        int mappings = 0;
        lone.http.onAnswer = [&](int answer) {
            if (answer == moveAt) {
                lone.syncState.raiseSyncStateEpoch();
                pullCursor = lone.syncState.cloudPullCursor();
                pushCursor = lone.syncState.cloudPushCursor();
                mappings = lone.syncState.reminderMappingIndex().recordCount();
            }
        };
        EXPECT_TRUE(lone.runFenced());
        EXPECT_EQ(lone.http.answers, moveAt);
        EXPECT_EQ(lone.syncState.cloudPullCursor(), pullCursor);
        EXPECT_EQ(lone.syncState.cloudPushCursor(), pushCursor);
        EXPECT_EQ(lone.syncState.reminderMappingIndex().recordCount(), mappings);
        EXPECT_EQ(lone.owner.successes, 0);
    }
}

} // namespace quorvin::test
