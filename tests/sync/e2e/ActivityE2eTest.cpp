#include "SyncE2eHarness.h"
#include "account/CloudAccount.h"
#include "activity/ActivityEchoKeys.h"
#include "activity/ActivityLog.h"
#include "activity/Strings.h"
#include "matching/CloudSyncState.h"
#include "support/cloudserver/CloudFault.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace quorvin::test {
namespace {

QStringList entriesSince(const SyncE2eHarness &h, qsizetype before)
{
    const auto &logs = h.service->activityLog().activityLogs();
    QStringList entries;
    for (qsizetype i = logs.size() - before - 1; i >= 0; --i) {
        entries.append(logs[i].category + u": "_s + logs[i].summary + u" | "_s + logs[i].details.join(u" | "_s));
    }
    return entries;
}

// With the work sent away from the main thread held, lets each held piece go on until the one held
// is the pull's comparison: the first to come once the pulled change is written.
bool runUntilThePullsComparisonIsHeld(SyncE2eHarness &h, const QString &pulledTitle)
{
    return h.clock.runUntil(
        [&] {
            if (h.clock.heldOffMainThreadWork() == 0) {
                return false;
            }
            if (h.localByTitle(pulledTitle)) {
                return true;
            }
            h.clock.releaseOffMainThreadWork();
            h.clock.holdOffMainThreadWork();
            return false;
        },
        1min);
}

// Each change reaches the activity log once, from the side that made it: the local edit as the
// user's, the phone's edit as sync's. Neither comes back from the other side while the passes
// that carry them up and down run, nor later, when the echo windows (45 s, 60 s, 90 s, 120 s)
// have closed and more passes run.
TEST(ActivityE2e, EveryChangeIsLoggedOnceBySideThatMadeIt)
{
    SyncE2eHarness h;
    const QString milk = h.localReminder({.title = u"Milk"_s});
    h.localReminder({.title = u"Bread"_s});
    h.launch();
    ASSERT_TRUE(h.settle());
    const qsizetype start = h.service->activityLog().activityLogs().size();

    h.editLocal(milk, [](Reminder &r) { r.title = u"Soy milk"_s; });
    ASSERT_TRUE(h.settle());
    ASSERT_EQ(h.serverItemsTitled(u"Soy milk"_s).size(), 1) << "the edit went up";
    const QString breadId = h.phone->findByTitle(u"Bread"_s);
    h.phone->setTitle(breadId, u"Rye bread"_s);
    ASSERT_TRUE(h.settle());
    ASSERT_TRUE(h.localByTitle(u"Rye bread"_s)) << "the phone's edit came down";
    for (const auto step : {44s, 2s, 14s, 2s, 29s, 2s, 29s, 2s}) {
        h.clock.advance(step);
        h.service->scheduleCloudSync(u"manual"_s);
        ASSERT_TRUE(h.settle());
    }

    EXPECT_EQ(entriesSince(h, start),
        (QStringList {u"用户操作: 更新任务「Soy milk」 | 更新任务「Soy milk」：标题: Milk -> Soy milk"_s,
            u"同步: 已同步最新变化：更新任务 1 项 | 更新任务「Rye bread」：标题: Bread -> Rye bread"_s}));
}

// A pull's comparison of the whole store runs away from the main thread; a user's edit made
// meanwhile is logged after the pull's entry, in the order the two happened.
TEST(ActivityE2e, AnEditMadeWhileAPullIsComparedIsLoggedAfterIt)
{
    SyncE2eHarness h;
    const QString milk = h.localReminder({.title = u"Milk"_s});
    h.localReminder({.title = u"Bread"_s});
    h.launch();
    ASSERT_TRUE(h.settle());
    const qsizetype start = h.service->activityLog().activityLogs().size();

    h.clock.holdOffMainThreadWork();
    h.phone->setTitle(h.phone->findByTitle(u"Bread"_s), u"Rye bread"_s);
    h.service->scheduleCloudSync(u"manual"_s);
    ASSERT_TRUE(runUntilThePullsComparisonIsHeld(h, u"Rye bread"_s));
    h.editLocal(milk, [](Reminder &r) { r.title = u"Soy milk"_s; });
    h.clock.advance(5s);
    EXPECT_EQ(entriesSince(h, start), QStringList {});

    h.clock.releaseOffMainThreadWork();
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(entriesSince(h, start),
        (QStringList {u"同步: 已同步最新变化：更新任务 1 项 | 更新任务「Rye bread」：标题: Bread -> Rye bread"_s,
            u"用户操作: 更新任务「Soy milk」 | 更新任务「Soy milk」：标题: Milk -> Soy milk"_s}));
}

// Signed out while a pull's comparison runs: the entry would speak of an account that is gone.
TEST(ActivityE2e, ASignOutWhileAPullIsComparedLeavesNoEntry)
{
    SyncE2eHarness h;
    h.localReminder({.title = u"Bread"_s});
    h.launch();
    ASSERT_TRUE(h.settle());
    const qsizetype start = h.service->activityLog().activityLogs().size();

    h.clock.holdOffMainThreadWork();
    h.phone->setTitle(h.phone->findByTitle(u"Bread"_s), u"Rye bread"_s);
    h.service->scheduleCloudSync(u"manual"_s);
    ASSERT_TRUE(runUntilThePullsComparisonIsHeld(h, u"Rye bread"_s));
    ASSERT_TRUE(h.localByTitle(u"Rye bread"_s));
    h.service->account().updateCloudAuthToken(QString());
    h.clock.releaseOffMainThreadWork();
    ASSERT_TRUE(h.clock.runUntil([&] { return !h.service->isCloudSyncRunnerActive(); }, 1min));
    h.clock.advance(5s);
    EXPECT_EQ(entriesSince(h, start), QStringList {});
}

// The engine marks the completions it is about to write before it writes them, with id-free keys
// for both the advance and the completion, so that the completion the store then reports on
// whichever local reminder is not taken for the user's: the recurring completions, and every
// completion another device made (never this machine's own, coming back).
TEST(ActivityE2e, CompletionsFromThePhoneAreMarkedBeforeTheyAreWritten)
{
    SyncE2eHarness h;
    const QDateTime due = SyncE2eHarness::at(u"2026-01-05T01:00:00.000Z"_s);
    h.localReminder({.title = u"Water plants"_s, .due = due, .daily = true});
    h.localReminder({.title = u"Feed cat"_s, .due = due, .daily = true});
    h.localReminder({.title = u"Post letter"_s});
    const QString rent = h.localReminder({.title = u"Pay rent"_s});
    h.launch();
    ASSERT_TRUE(h.settle());
    const qsizetype start = h.service->activityLog().activityLogs().size();
    const auto &keys = h.service->activityLog().echoKeys().recentCloudActivityKeys();
    auto marked = [&](const QString &title) {
        return keys.contains(u"title|任务|"_s + title + u'|' + ActivityText::actionAdvanceRecurring)
            && keys.contains(u"title|任务|"_s + title + u'|' + ActivityText::actionComplete);
    };

    // Uploads fail for now: the follow-up pass that carries these completions up would bring them
    // back as a pair of this machine's own, and mark them again.
    h.server.addFault(u"POST"_s, u"/reminders/upsert"_s, CloudFault::answer(503), -1);
    h.phone->completeRecurringAsPair(h.phone->findByTitle(u"Water plants"_s), due.addDays(1));
    h.phone->completeRecurringAsCommand(h.phone->findByTitle(u"Feed cat"_s));
    ASSERT_TRUE(h.clock.runUntil(
        [&] {
            return h.model.currentCursor(h.userId) == h.service->syncState().cloudPullCursor()
                && !h.service->isCloudSyncRunnerActive();
        },
        5min));
    EXPECT_TRUE(marked(u"water plants"_s));
    EXPECT_TRUE(marked(u"feed cat"_s));
    h.server.clearFaults();
    h.service->scheduleCloudSync(u"manual"_s);
    ASSERT_TRUE(h.settle());

    h.completeLocal(rent);
    ASSERT_TRUE(h.settle());
    h.phone->setCompleted(h.phone->findByTitle(u"Post letter"_s), true);
    ASSERT_TRUE(h.settle());
    EXPECT_TRUE(marked(u"post letter"_s));
    EXPECT_FALSE(keys.contains(u"title|任务|pay rent|"_s + ActivityText::actionAdvanceRecurring));
    const QStringList entries = entriesSince(h, start);
    EXPECT_EQ(entries.filter(u"用户操作: "_s), QStringList {u"用户操作: 完成任务「Pay rent」 | 完成任务「Pay rent」"_s})
        << entries.join(u"\n"_s).toStdString();
    EXPECT_TRUE(entries.contains(
        u"同步: 已同步最新变化：推进重复任务 2 项"
        u" | 推进重复任务「Water plants」：本次日期: 2026年1月5日 09:00；下一次日期: 2026年1月6日 09:00"
        u" | 推进重复任务「Feed cat」：本次日期: 2026年1月5日 09:00；下一次日期: 2026年1月6日 09:00"_s))
        << entries.join(u"\n"_s).toStdString();
    EXPECT_TRUE(entries.contains(u"同步: 已同步最新变化：完成任务 1 项 | 完成任务「Post letter」"_s))
        << entries.join(u"\n"_s).toStdString();
}

} // namespace
} // namespace quorvin::test

namespace quorvin::test {
namespace {

// A completion still waiting out the store's debounce when a pass's own refresh reads it is the
// user's all the same: both completions, 1.5 s apart, are logged as the user's.
TEST(ActivityE2e, AnEditSeenFirstByAPassRefreshIsStillTheUsers)
{
    SyncE2eHarness h;
    const QString milk = h.localReminder({.title = u"Milk"_s});
    const QString bread = h.localReminder({.title = u"Bread"_s});
    h.launch();
    ASSERT_TRUE(h.settle());
    const qsizetype start = h.service->activityLog().activityLogs().size();

    h.server.addFault(u"POST"_s, u"/reminders/upsert"_s, CloudFault::delayed(1200ms));
    h.completeLocal(milk);
    h.clock.advance(1500ms);
    h.completeLocal(bread);
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(entriesSince(h, start),
        (QStringList {
            u"用户操作: 完成任务「Milk」 | 完成任务「Milk」"_s, u"用户操作: 完成任务「Bread」 | 完成任务「Bread」"_s}));
}

} // namespace
} // namespace quorvin::test
