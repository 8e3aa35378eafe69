#include "SyncHarness.h"

#include "activity/QuorvinActivityLogStore.h"
#include "matching/ReminderRefreshEvent.h"
#include "support/cloudserver/CloudFault.h"
#include "support/cloudserver/Phone.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;

namespace quorvin::test {

TEST(ServiceStateTest, TokenNormalisationAndMarker)
{
    const struct {
        QString value;
        QString token;
    } cases[] = {
        {u"  \n"_s, QString()},
        {u"Bearer qvk_AbC-12_x."_s, u"qvk_AbC-12_x"_s},
        {u"\"qvk_abc\""_s, u"qvk_abc"_s},
        {u"plain.token~1-2 rest"_s, u"plain.token~1-2"_s},
        {u"#nope"_s, QString()},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(QuorvinMacService::normalizeCloudAuthTokenValue(c.value), c.token) << c.value.toStdString();
    }
    EXPECT_EQ(QuorvinMacService::fnv1aHashString(QString()), u"cbf29ce484222325"_s);
    EXPECT_EQ(QuorvinMacService::fnv1aHashString(u"a"_s), u"af63dc4c8601ec8c"_s);
    EXPECT_EQ(QuorvinMacService::cloudAuthTokenMarkerValue(u"  "_s), QString());
    EXPECT_EQ(QuorvinMacService::cloudAuthTokenMarkerValue(u" a "_s), u"af63dc4c8601ec8c"_s);
}

// Applying tokens: the same token clears nothing, another token or none clears the cloud-side state
// (never the reminders), and an empty token also signs the account out.
TEST(ServiceStateTest, ApplyingTokensResetsCloudState)
{
    SyncHarness h;
    h.addLocalReminder(u"Stay"_s);
    auto &service = h.start();
    ASSERT_TRUE(h.settle());
    service.setCloudUserID(u"user-1"_s);
    h.defaults.setString(u"Quorvin.CloudUserID"_s, u"user-1"_s);
    const auto pull = service.cloudPullCursor();

    service.applyCloudAuthToken(h.token, u"same token"_s);
    EXPECT_EQ(service.cloudPullCursor(), pull);
    EXPECT_FALSE(service.isCloudRealtimeWaitRunning());

    service.applyCloudAuthToken(u"qvk_other"_s, u"other token"_s);
    EXPECT_TRUE(service.cloudPullCursor().isEmpty());
    EXPECT_EQ(service.reminderMappingIndex().recordCount(), 0);
    EXPECT_EQ(service.remoteIdentityCacheVersion(), 0);
    EXPECT_FALSE(h.defaults.contains(u"Quorvin.RemoteServerIDs"_s));
    EXPECT_EQ(service.cloudAuthTokenMarker(), QuorvinMacService::cloudAuthTokenMarkerValue(u"qvk_other"_s));
    EXPECT_EQ(service.cloudUserID(), u"user-1"_s);

    service.applyCloudAuthToken(QString(), u"signed out"_s);
    EXPECT_TRUE(service.cloudUserID().isEmpty());
    EXPECT_FALSE(h.defaults.contains(u"Quorvin.CloudUserID"_s));
    EXPECT_EQ(h.defaults.boolean(u"Quorvin.CloudPhoneLinked"_s), false);
    EXPECT_TRUE(service.cloudAuthTokenMarker().isEmpty());
    EXPECT_EQ(h.store.reminders().size(), 1u);
}

TEST(ServiceStateTest, ActivityLogRules)
{
    SyncHarness h;
    auto &service = h.start();
    ASSERT_TRUE(h.settle());
    const auto before = service.activityLogs().size();

    service.appendActivityLog(u"同步"_s, u"  "_s, {u"x"_s});
    EXPECT_EQ(service.activityLogs().size(), before);

    service.appendActivityLog(u"用户操作"_s, u" Summary \n"_s, {u" a "_s, u""_s, u"   "_s, u"b\n"_s});
    EXPECT_EQ(service.activityLogs().front().summary, u"Summary"_s);
    EXPECT_EQ(service.activityLogs().front().details, QStringList({u"a"_s, u"b"_s}));

    service.appendActivityLog(u"同步"_s, u"云同步失败"_s, {u"boom"_s});
    service.appendActivityLog(u"同步"_s, u"云同步失败"_s, {u"boom"_s});
    service.appendActivityLog(u"用户操作"_s, u"Repeated"_s, {});
    service.appendActivityLog(u"用户操作"_s, u"Repeated"_s, {});
    EXPECT_EQ(service.activityLogs().size(), before + 4);

    QStringList ten;
    for (int i = 0; i < 10; ++i) {
        ten.append(QString::number(i));
    }
    for (int i = 0; i < 85; ++i) {
        service.appendActivityLog(u"用户操作"_s, u"Entry %1"_s.arg(i), ten);
    }
    EXPECT_EQ(service.activityLogs().size(), 80);
    EXPECT_EQ(service.activityLogs().front().details.size(), 8);
    const auto stored = QuorvinActivityLogStore::load(h.defaults);
    ASSERT_EQ(stored.size(), 80);
    EXPECT_EQ(stored.front().summary, u"Entry 84"_s);
    EXPECT_EQ(stored.front().createdAt, service.activityLogs().front().createdAt);
    EXPECT_EQ(stored.front().id, service.activityLogs().front().id);

    h.defaults.setBytes(u"Quorvin.ActivityLogs.v1"_s, R"([{"id":"x"}])");
    EXPECT_TRUE(QuorvinActivityLogStore::load(h.defaults).isEmpty());
    EXPECT_FALSE(h.defaults.contains(u"Quorvin.ActivityLogs.v1"_s));

    service.clearActivityLogs();
    EXPECT_TRUE(service.activityLogs().isEmpty());
    EXPECT_TRUE(service.logs().front().text.endsWith(u"] Cleared activity lines"_s));
    for (int i = 0; i < 90; ++i) {
        service.appendLog(u"line"_s);
    }
    EXPECT_EQ(service.logs().size(), 80);
    EXPECT_TRUE(service.logs().front().text.startsWith(u"[2026-01-05T"_s));
}

// The manual rebuild resets the server and uploads this machine's reminders again; a failed reset
// changes nothing.
TEST(ServiceStateTest, CloudRebuild)
{
    SyncHarness h;
    h.addLocalReminder(u"Mac one"_s);
    auto &service = h.start();
    ASSERT_TRUE(h.settle());
    Phone phone(h.server, h.userId);
    phone.createReminder(Phone::Reminder {.title = u"Phone extra"_s});
    ASSERT_TRUE(h.clock.runUntil([&] { return h.store.reminders().size() == 2; }, 1min));
    ASSERT_TRUE(h.settle());

    CloudFault failure;
    failure.status = 500;
    failure.body = R"({"error":"reset failed"})";
    h.server.addFault(u"POST"_s, u"/admin/reset"_s, failure);
    const auto pull = service.cloudPullCursor();
    service.retryCloudBootstrap();
    ASSERT_TRUE(h.clock.runUntil([&] { return h.logCount(u"Manual cloud rebuild failed: "_s) == 1; }, 1min));
    EXPECT_EQ(service.lastSyncAttemptStatus(), u"失败（重建云端失败）"_s);
    EXPECT_EQ(service.activityLogs().front().summary, u"重建云端失败"_s);
    EXPECT_EQ(service.cloudPullCursor(), pull);

    service.retryCloudBootstrap();
    ASSERT_TRUE(h.clock.runUntil(
        [&] { return h.logCount(u"Cloud rebuild generation reset -> rebuilding from 2"_s) == 1; }, 1min));
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(service.activityLogs().front().summary, u"已开始重建云端"_s);
    EXPECT_EQ(service.activityLogs().front().details, QStringList({u"将用这台 Mac 的 2 条任务重新生成云端数据"_s}));
    EXPECT_EQ(h.serverItems().size(), 2);
    EXPECT_EQ(service.lastSyncAttemptStatus(), u"成功（云端同步完成）"_s);
}

// Refresh events: the engine's own re-read never schedules a pass; a change of lists alone does.
TEST(ServiceStateTest, RefreshEventsScheduleByReason)
{
    SyncHarness h;
    auto &service = h.start();
    ASSERT_TRUE(h.settle());

    ReminderRefreshEvent own {u"cloud-pull"_s, 3, 1, 7, u"12"_s, {}, {}};
    service.handleRefreshEvent(own);
    EXPECT_FALSE(service.isCloudSyncRunnerActive());
    EXPECT_EQ(service.reminderCount(), 7);
    EXPECT_EQ(service.cursor(), u"12"_s);
    EXPECT_EQ(service.lastRefreshSummary(), u"cloud-pull: +3 / -1"_s);
    EXPECT_TRUE(
        service.logs().front().text.endsWith(u"Refresh [cloud-pull] upserts=3 deletions=1 total=7 cursor=12"_s));

    ReminderRefreshEvent listOnly {u"eventkit-change"_s, 0, 0, 7, u"13"_s, {}, {ReminderRefreshListChange {}}};
    service.handleRefreshEvent(listOnly);
    EXPECT_TRUE(service.isCloudSyncRunnerActive());
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.logCount(u"云同步开始 [eventkit-change]"_s), 1);
}

} // namespace quorvin::test
