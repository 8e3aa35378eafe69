#include "Convergence.h"
#include "SyncE2eHarness.h"
#include "account/CloudAccount.h"
#include "account/Strings.h"
#include "activity/ActivityLog.h"
#include "matching/CloudIDMappingIndex.h"
#include "matching/CloudSyncState.h"
#include "sync/Strings.h"

#include <QJsonObject>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace quorvin::test {
namespace {

QString success(const QString &message)
{
    return SyncText::statusSuccessPrefix + message + SyncText::statusSuffix;
}

TEST(SyncE2e, CloudRebuildReplacesTheServerCopyWithThisMachinesReminders)
{
    SyncE2eHarness h;
    h.localReminder({.title = u"Alpha"_s});
    h.localReminder({.title = u"Beta"_s});
    h.launch();
    ASSERT_TRUE(h.settle());
    h.phone->createReminder({.title = u"Gamma"_s});
    ASSERT_TRUE(h.settle());
    ASSERT_TRUE(h.localByTitle(u"Gamma"_s));

    const qsizetype before = h.journalSize();
    h.service->retryCloudBootstrap();
    ASSERT_TRUE(h.settle());

    EXPECT_EQ(h.model.rebuildGeneration(h.userId), 2);
    EXPECT_TRUE(converged(h));
    EXPECT_EQ(h.model.liveItems(h.userId).size(), 3);
    const QStringList lines = h.syncRequestLines(before);
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], u"POST /admin/reset"_s);
    EXPECT_EQ(lines[1], u"GET /sync"_s);
    EXPECT_EQ(lines.count(u"POST /reminders/upsert"_s), 3) << lines.join(u", "_s).toStdString();
    EXPECT_TRUE(h.service->activityLog().activityLogs().size() > 0
        && h.service->activityLog().activityLogs().first().summary == SyncText::activityRebuildStarted);
}

TEST(SyncE2e, RevokedSessionEndsSyncAndANewTokenResumesWithoutDuplicates)
{
    SyncE2eHarness h;
    h.localReminder({.title = u"Local one"_s});
    h.phone->createReminder({.title = u"Phone one"_s});
    h.launch();
    ASSERT_TRUE(h.settle());

    h.server.revokeSession(h.server.sessionByToken(h.macToken)->sessionId);
    h.service->scheduleCloudSync(u"manual"_s);
    ASSERT_TRUE(h.clock.runUntil([&] { return !h.service->isCloudSyncRunnerActive(); }, 5min));
    EXPECT_TRUE(h.service->account().cloudAuthToken().isEmpty());
    EXPECT_EQ(h.lastStatus(), SyncText::statusFailurePrefix + AccountText::sessionExpired + SyncText::statusSuffix);
    EXPECT_TRUE(h.service->syncState().cloudPullCursor().isEmpty());
    EXPECT_TRUE(h.service->syncState().reminderMappingIndex().isEmpty());
    EXPECT_EQ(h.localReminders().size(), 2u) << "signing out never touches the local reminders";

    // While signed out, the phone keeps working; then this machine gets a new session.
    h.phone->createReminder({.title = u"Phone two"_s});
    const QString newToken = h.server.createSession(h.userId, u"mqv"_s, h.macDeviceId);
    h.service->account().applyCloudAuthToken(newToken, u"test sign-in"_s);
    h.service->startCloudRealtimeWaitIfNeeded();
    h.service->scheduleCloudSync(u"cloud-auth-token-updated"_s);
    ASSERT_TRUE(h.settle());
    EXPECT_TRUE(converged(h));
    EXPECT_EQ(h.model.liveItems(h.userId).size(), 3);
}

TEST(SyncE2e, SwitchingToAnotherAccountUploadsToThatAccountOnly)
{
    SyncE2eHarness h;
    h.localReminder({.title = u"Shared desk"_s});
    h.launch();
    ASSERT_TRUE(h.settle());

    const QString otherUser = h.server.createUser(u"+8613900139000"_s);
    const QString otherToken = h.server.createSession(otherUser, u"mqv"_s, u"mac-device-2"_s);
    h.service->account().applyCloudAuthToken(otherToken, u"test account switch"_s);
    h.service->startCloudRealtimeWaitIfNeeded();
    h.service->scheduleCloudSync(u"cloud-auth-token-updated"_s);
    ASSERT_TRUE(h.clock.runUntil([&] { return !h.service->isCloudSyncRunnerActive(); }, 10min));
    h.clock.advance(10s);
    ASSERT_TRUE(h.clock.runUntil([&] { return !h.service->isCloudSyncRunnerActive(); }, 10min));

    EXPECT_EQ(h.model.liveItems(otherUser).size(), 1);
    EXPECT_EQ(h.model.liveItems(h.userId).size(), 1) << "the first account's copy is left alone";
    EXPECT_EQ(h.localReminders().size(), 1u);
    EXPECT_EQ(h.service->syncState().cloudPullCursor(), h.model.currentCursor(otherUser));
}

TEST(SyncE2e, CountVerificationRequestedByTheServer)
{
    SyncE2eHarness h;
    h.localReminder({.title = u"One"_s});
    h.localReminder({.title = u"Two"_s, .completed = true});
    h.launch();
    ASSERT_TRUE(h.settle());

    const qsizetype before = h.journalSize();
    const QString requestId = h.model.requestCountVerification(h.userId);
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.lastStatus(), success(SyncText::syncDoneCountsMatched));
    ASSERT_EQ(h.model.countReports(h.userId).size(), 1);
    const QJsonObject report = h.model.countReports(h.userId).first();
    EXPECT_EQ(report.value("request_id"_L1).toString(), requestId);
    EXPECT_EQ(report.value("counts"_L1).toObject().value("total_count"_L1).toInt(), 2);
    EXPECT_EQ(report.value("counts"_L1).toObject().value("completed_count"_L1).toInt(), 1);
    EXPECT_EQ(report.value("server_cursor"_L1).toString(), h.service->syncState().cloudPullCursor());
    const QStringList lines = h.syncRequestLines(before);
    ASSERT_TRUE(lines.contains(u"POST /sync/count-verification"_s));
    EXPECT_EQ(lines.last(), u"POST /sync/count-verification"_s) << "the report ends the pass, after its pulls";
    EXPECT_TRUE(lines.contains(u"GET /sync"_s));
    EXPECT_FALSE(h.model.pendingCountVerificationId(h.userId));
    // Every wait after the request tells the server which request it has seen.
    const QList<CloudJournalEntry> waits = h.server.journalFor(u"/sync/wait"_s);
    ASSERT_FALSE(waits.isEmpty());
    EXPECT_EQ(waits.last().request.queryValue(u"count_verification_request_id"_s), requestId);

    h.model.setCountVerificationStateOverride(u"mismatched"_s);
    h.model.requestCountVerification(h.userId);
    ASSERT_TRUE(h.settle());
    EXPECT_TRUE(h.lastStatus().startsWith(SyncText::statusFailurePrefix + SyncText::countMismatchPrefix))
        << h.lastStatus().toStdString();

    // An answer that settles nothing: the client forgets the request, and the server asks again.
    h.model.setCountVerificationStateOverride(u"queued"_s);
    h.model.requestCountVerification(h.userId);
    ASSERT_TRUE(h.clock.runUntil(
        [&] { return h.model.countReports(h.userId).size() >= 4 && !h.service->isCloudSyncRunnerActive(); }, 10min));
    EXPECT_EQ(h.lastStatus(), success(SyncText::syncDoneCountsRetry));
    h.model.setCountVerificationStateOverride(std::nullopt);
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.lastStatus(), success(SyncText::syncDoneCountsMatched));
    EXPECT_FALSE(h.model.pendingCountVerificationId(h.userId));
}

} // namespace
} // namespace quorvin::test
