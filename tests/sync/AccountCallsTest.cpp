#include "SyncHarness.h"

#include "account/CloudAccount.h"
#include "activity/ActivityLog.h"
#include "matching/CloudSyncState.h"
#include "support/cloudserver/CloudFault.h"

#include <QJsonObject>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;

namespace quorvin::test {
namespace {

qsizetype firstIndexOf(const CloudServer &server, const QString &path)
{
    const auto journal = server.journal();
    for (qsizetype i = 0; i < journal.size(); ++i) {
        if (journal[i].request.path() == path) {
            return i;
        }
    }
    return -1;
}

// Start-up refreshes the session before the first pass; every pass ends with a profile refresh
// that reports its own failure and never fails the pass.
TEST(AccountCalls, StartupRefreshesTheSessionAndEveryPassTheProfile)
{
    SyncHarness h;
    h.server.user(h.userId)->nickname = u"Lin"_s;
    h.addLocalReminder(u"One"_s);
    auto &service = h.start();
    ASSERT_TRUE(h.settle());

    EXPECT_EQ(service.account().cloudUserID(), h.userId);
    EXPECT_EQ(h.logCount(u"Cloud device context updated [startup-session]"_s), 1);
    EXPECT_EQ(h.logCount(u"Cloud devices refreshed [startup-session] count=1"_s), 1);
    const qsizetype session = firstIndexOf(h.server, u"/auth/session"_s);
    ASSERT_GE(session, 0);
    EXPECT_LT(session, firstIndexOf(h.server, u"/sync"_s));
    EXPECT_EQ(h.logCount(u"Cloud profile refreshed [startup-bootstrap-sync]"_s), 1);
    EXPECT_EQ(service.account().cloudProfileNickname(), u"Lin"_s);
    EXPECT_EQ(service.lastSyncAttemptStatus(), u"成功（云端同步完成）"_s);

    h.server.addFault(u"GET"_s, u"/auth/profile"_s, CloudFault::answer(500));
    service.scheduleCloudSync(u"manual"_s);
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.logCount(u"Cloud profile refresh failed [manual-sync]: HTTP 500"_s), 1);
    EXPECT_EQ(service.account().cloudProfileStatus(), u"HTTP 500"_s);
    EXPECT_EQ(service.lastSyncAttemptStatus(), u"成功（云端同步完成）"_s);
}

// Signing in as another user starts that user's sync afresh: cursors and mappings of the first
// account go, the local reminders stay and reach the new account.
TEST(AccountCalls, SigningInAsAnotherUserResetsSyncStateButKeepsTheReminders)
{
    SyncHarness h;
    h.addLocalReminder(u"One"_s);
    h.addLocalReminder(u"Two"_s);
    auto &service = h.start();
    ASSERT_TRUE(h.settle());
    ASSERT_EQ(h.model().liveItems(h.userId).size(), 2);

    const QString other = h.server.createUser(u"+8613900001111"_s, u"other1234"_s);
    service.account().loginWithCloudPassword(u"13900001111"_s, u"other1234"_s);
    ASSERT_TRUE(h.clock.runUntil([&] { return !service.account().isCloudPasswordLoggingIn(); }, 1min));
    ASSERT_TRUE(h.settle());

    EXPECT_EQ(service.account().cloudUserID(), other);
    EXPECT_EQ(h.logCount(u"Cloud session refreshed: cloud user changed"_s), 1);
    EXPECT_EQ(h.logCount(u"云同步开始 [cloud-phone-login]"_s), 1);
    EXPECT_EQ(h.store.reminders().size(), 2u);
    EXPECT_EQ(h.model().liveItems(other).size(), 2) << "uploaded to the new account";
    EXPECT_EQ(h.model().liveItems(h.userId).size(), 2) << "the first account keeps its copy";
    for (const QJsonObject &item : h.model().liveItems(other)) {
        EXPECT_TRUE(service.syncState().reminderMappingIndex().localID(item.value(u"local_id"_s).toString()));
    }
    EXPECT_EQ(service.syncState().reminderMappingIndex().recordCount(), 2);
}

} // namespace
} // namespace quorvin::test

namespace quorvin::test {
namespace {

// A pass whose pull answers 401 only after the user has signed out (and maybe in as another
// user): the answer speaks of a session that is already over and ends nothing.
TEST(AccountCalls, LateUnauthorizedAnswerOfAReplacedTokenEndsNothing)
{
    SyncHarness h;
    auto &service = h.start();
    ASSERT_TRUE(h.settle());
    const QString other = h.server.createUser(u"+8613900001111"_s, u"other1234"_s);

    auto slowUnauthorized = CloudFault::answer(401, R"({"error":"unauthorized"})");
    slowUnauthorized.delay = 10s;
    h.server.addFault(u"GET"_s, u"/sync"_s, slowUnauthorized);
    service.scheduleCloudSync(u"manual"_s);
    h.clock.advance(1s);
    service.account().logoutCloudSession();
    service.account().logoutCloudSession();
    ASSERT_TRUE(h.clock.runUntil([&] { return service.account().cloudAuthToken().isEmpty(); }, 5s));
    EXPECT_EQ(h.requestCount(u"/auth/logout"_s), 1) << "a second press while the logout runs does nothing";
    EXPECT_EQ(h.logCount(u"Cloud session revoked on server"_s), 1);
    service.account().loginWithCloudPassword(u"13900001111"_s, u"other1234"_s);
    ASSERT_TRUE(h.clock.runUntil([&] { return service.account().cloudUserID() == other; }, 5s));
    const QString newToken = service.account().cloudAuthToken();

    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.logCount(u"Cloud auth token invalid or revoked"_s), 0);
    EXPECT_EQ(h.logCount(u"Cloud sync pass ended after sync state reset [manual]"_s), 1);
    EXPECT_EQ(service.account().cloudAuthToken(), newToken);
    EXPECT_EQ(service.account().cloudUserID(), other);
    ASSERT_NE(h.server.sessionByToken(newToken), nullptr);
    EXPECT_TRUE(h.server.sessionByToken(newToken)->isActive());
    EXPECT_EQ(service.lastSyncAttemptStatus(), u"成功（云端同步完成）"_s) << "the new account syncs";

    // Signed out alone: the logout's status stays.
    h.server.addFault(u"GET"_s, u"/sync"_s, slowUnauthorized);
    service.scheduleCloudSync(u"manual"_s);
    h.clock.advance(1s);
    service.account().logoutCloudSession();
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.logCount(u"Cloud auth token invalid or revoked"_s), 0);
    EXPECT_EQ(service.lastSyncAttemptStatus(), u"成功（已退出云账号，本地提醒保留）"_s);
    int logoutEntries = 0;
    for (const auto &entry : service.activityLog().activityLogs()) {
        logoutEntries += entry.summary == u"已退出同步账号"_s ? 1 : 0;
    }
    EXPECT_EQ(logoutEntries, 2);
}

} // namespace
} // namespace quorvin::test
