#include "SyncHarness.h"

#include "activity/ActivityLog.h"
#include "activity/DiagnosticLog.h"
#include "matching/CloudSyncState.h"
#include "matching/ReminderRefreshEvent.h"
#include "support/cloudserver/CloudFault.h"
#include "support/cloudserver/Phone.h"
#include "sync/CloudMaintenance.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;

namespace quorvin::test {

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
    const auto pull = service.syncState().cloudPullCursor();
    service.maintenance().retryCloudBootstrap();
    ASSERT_TRUE(h.clock.runUntil([&] { return h.logCount(u"Manual cloud rebuild failed: "_s) == 1; }, 1min));
    EXPECT_EQ(service.lastSyncAttemptStatus(), u"失败（重建云端失败）"_s);
    EXPECT_EQ(service.activityLog().activityLogs().front().summary, u"重建云端失败"_s);
    EXPECT_EQ(service.syncState().cloudPullCursor(), pull);

    service.maintenance().retryCloudBootstrap();
    ASSERT_TRUE(h.clock.runUntil(
        [&] { return h.logCount(u"Cloud rebuild generation reset -> rebuilding from 2"_s) == 1; }, 1min));
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(service.activityLog().activityLogs().front().summary, u"已开始重建云端"_s);
    EXPECT_EQ(service.activityLog().activityLogs().front().details,
        QStringList({u"将用这台 Mac 的 2 条任务重新生成云端数据"_s}));
    EXPECT_EQ(h.serverItems().size(), 2);
    EXPECT_EQ(service.lastSyncAttemptStatus(), u"成功（云端同步完成）"_s);
}

// Refresh events: the engine's own re-read never schedules a pass; a change of lists alone does.
TEST(ServiceStateTest, RefreshEventsScheduleByReason)
{
    SyncHarness h;
    auto &service = h.start();
    ASSERT_TRUE(h.settle());

    ReminderRefreshEvent own {u"cloud-pull"_s, 3, 1, 7, u"12"_s, {}, {}, {}};
    service.handleRefreshEvent(own);
    EXPECT_FALSE(service.isCloudSyncRunnerActive());
    EXPECT_EQ(service.reminderCount(), 7);
    EXPECT_EQ(service.cursor(), u"12"_s);
    EXPECT_EQ(service.lastRefreshSummary(), u"cloud-pull: +3 / -1"_s);
    EXPECT_TRUE(service.diagnosticLog().logs().front().text.endsWith(
        u"Refresh [cloud-pull] upserts=3 deletions=1 total=7 cursor=12"_s));

    ReminderRefreshEvent listOnly {u"eventkit-change"_s, 0, 0, 7, u"13"_s, {}, {ReminderRefreshListChange {}}, {}};
    service.handleRefreshEvent(listOnly);
    EXPECT_TRUE(service.isCloudSyncRunnerActive());
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.logCount(u"云同步开始 [eventkit-change]"_s), 1);
}

} // namespace quorvin::test
