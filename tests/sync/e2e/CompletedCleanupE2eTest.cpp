#include "SyncE2eHarness.h"
#include "reminders/Strings.h"
#include "sync/CompletedReminderCleanup.h"
#include "sync/Strings.h"

#include <QJsonObject>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace quorvin::test {
namespace {

QStringList titlesOf(const SyncE2eHarness &h, const QStringList &ids)
{
    QStringList titles;
    for (const auto &id : ids) {
        titles.append(h.store.reminder(id) ? h.store.reminder(id)->title : u"<gone> "_s + id);
    }
    return titles;
}

// The dry run weighs the cloud's completed items against the local completed reminders: those the
// cloud names stay (completed there or not), then as many more per content as the cloud holds;
// those whose upload is still pending stay too. The delete removes, on this machine only, the
// candidates that are still completed, and a delete that fails changes nothing and can be retried.
TEST(CleanupE2e, DryRunThenDeleteRemovesOnlyWhatTheCloudNoLongerAccountsFor)
{
    SyncE2eHarness h;
    const QDateTime completedAt = SyncE2eHarness::at(u"2026-01-02T03:04:05.000Z"_s);
    auto done = [&](const QString &title) {
        const QString id = h.localReminder({.title = title});
        h.editLocal(id, [&](Reminder &r) {
            r.completed = true;
            r.completionDate = completedAt;
        });
        return id;
    };
    h.localReminder({.title = u"Open task"_s});
    done(u"Paid bill"_s);
    const QString firstCopy = done(u"Copy"_s);
    const QString secondCopy = done(u"Copy"_s);
    const QString gone = done(u"Gone"_s);
    done(u"Reopened on phone"_s);
    done(u"Counted"_s);
    h.launch();
    ASSERT_TRUE(h.settle());
    h.service->completedCleanup().deleteCompletedReminderCleanupCandidates();
    EXPECT_TRUE(h.logged(SyncText::logCleanupDeleteNoCandidates));

    // What the cloud holds from now on; this machine does not pull it before the dry run.
    h.service->shutdown();
    const QString listID = h.phone->lists().first().value("list_id"_L1).toString();
    auto serverIdOf = [&](const QString &localID) {
        for (const auto &item : h.phone->reminders()) {
            if (item.value("source_item_id"_L1).toString() == localID) {
                return item.value("local_id"_L1).toString();
            }
        }
        return QString();
    };
    h.phone->deleteReminder(serverIdOf(gone));
    h.phone->deleteReminder(serverIdOf(secondCopy));
    h.phone->deleteReminder(h.phone->findByTitle(u"Counted"_s));
    h.phone->createReminder(
        {.title = u"Counted"_s, .listId = listID, .completed = true, .completionDate = completedAt});
    h.phone->setCompleted(h.phone->findByTitle(u"Reopened on phone"_s), false);
    // Completed here while uploads fail: the cloud has never seen it.
    h.server.addFault(u"POST"_s, u"/reminders/upsert"_s, CloudFault::answer(503), -1);
    done(u"Fresh"_s);
    ASSERT_TRUE(h.clock.runUntil([&] { return !h.service->isCloudSyncRunnerActive(); }, 1min));
    h.clock.advance(5s);

    h.service->completedCleanup().dryRunCompletedReminderCleanup();
    EXPECT_TRUE(h.service->completedCleanup().isCompletedCleanupRunning());
    ASSERT_TRUE(h.clock.runUntil([&] { return !h.service->completedCleanup().isCompletedCleanupRunning(); }, 1min));
    const QString summary
        = u"完成项清理预检：云端完成 3，保留本机 ID 2，候选删除 2；Reminders=2；注意：1 条云端完成项缺少 source/mapping"_s;
    EXPECT_EQ(h.service->completedCleanup().completedCleanupSummary(), summary);
    EXPECT_EQ(titlesOf(h, h.service->completedCleanup().completedCleanupCandidateIDs()),
        (QStringList {u"Copy"_s, u"Gone"_s}));
    EXPECT_EQ(h.service->completedCleanup().completedCleanupCandidateIDs().first(), secondCopy)
        << "the copy the cloud still names stays";
    EXPECT_EQ(h.service->completedCleanup().completedCleanupCandidateCount(), 2);
    EXPECT_TRUE(h.logged(summary));
    EXPECT_TRUE(h.logged(
        u"Completed cleanup candidate list=Reminders title=Gone due=- completed=2026-01-02T03:04:05.000Z local_id="_s
        + gone));
    EXPECT_TRUE(h.logged(SyncText::logCleanupWarningPrefix + u"1"_s));
    EXPECT_TRUE(h.store.reminder(gone) && h.store.reminder(secondCopy)) << "a dry run changes nothing";

    // A dry run that fails leaves no candidates of an earlier one to delete.
    h.server.addFault(u"GET"_s, u"/sync"_s, CloudFault::answer(503));
    h.service->completedCleanup().dryRunCompletedReminderCleanup();
    ASSERT_TRUE(h.clock.runUntil([&] { return !h.service->completedCleanup().isCompletedCleanupRunning(); }, 1min));
    EXPECT_TRUE(
        h.service->completedCleanup().completedCleanupSummary().startsWith(SyncText::cleanupDryRunFailedPrefix));
    EXPECT_TRUE(h.service->completedCleanup().completedCleanupCandidateIDs().isEmpty());
    EXPECT_EQ(h.service->completedCleanup().completedCleanupCandidateCount(), 0);
    h.service->completedCleanup().dryRunCompletedReminderCleanup();
    ASSERT_TRUE(h.clock.runUntil([&] { return !h.service->completedCleanup().isCompletedCleanupRunning(); }, 1min));
    ASSERT_EQ(h.service->completedCleanup().completedCleanupSummary(), summary);

    // A delete that fails changes nothing and keeps the candidates for another try.
    h.store.failNextWrite(ReminderStoreError(ReminderStoreError::WriteFailed, u"disk full"_s));
    h.service->completedCleanup().deleteCompletedReminderCleanupCandidates();
    ASSERT_TRUE(h.clock.runUntil([&] { return !h.service->completedCleanup().isCompletedCleanupRunning(); }, 1min));
    EXPECT_TRUE(h.service->completedCleanup().completedCleanupSummary().startsWith(SyncText::cleanupDeleteFailedPrefix))
        << h.service->completedCleanup().completedCleanupSummary().toStdString();
    EXPECT_EQ(h.lastStatus(), SyncText::statusFailurePrefix + SyncText::cleanupDeleteFailed + SyncText::statusSuffix);
    EXPECT_EQ(h.service->completedCleanup().completedCleanupCandidateCount(), 2);
    EXPECT_TRUE(h.store.reminder(gone) && h.store.reminder(secondCopy));

    // Reopened since the dry run: the user had second thoughts, it stays.
    h.completeLocal(gone, false);
    h.service->completedCleanup().deleteCompletedReminderCleanupCandidates();
    ASSERT_TRUE(h.clock.runUntil([&] { return !h.service->completedCleanup().isCompletedCleanupRunning(); }, 1min));
    EXPECT_EQ(h.service->completedCleanup().completedCleanupSummary(), u"已删除 1 条本机多余完成项。"_s);
    EXPECT_FALSE(h.store.reminder(secondCopy));
    EXPECT_TRUE(h.store.reminder(gone));
    EXPECT_TRUE(h.store.reminder(firstCopy));
    EXPECT_EQ(h.service->completedCleanup().completedCleanupCandidateCount(), 0);
    EXPECT_TRUE(h.service->completedCleanup().completedCleanupCandidateIDs().isEmpty());
    EXPECT_TRUE(h.logged(RemindersText::diagCleanupSkippedPrefix + u"1"_s));
    EXPECT_TRUE(h.logged(SyncText::logCleanupDeletedPrefix + u"1"_s));
    EXPECT_TRUE(h.clock.runUntil(
        [&] { return h.logged(SyncText::logPassStartPrefix + SyncText::triggerCompletedCleanup); }, 1min));
    QStringList remaining;
    for (const auto &reminder : h.localReminders()) {
        remaining.append(reminder.title);
    }
    remaining.sort();
    EXPECT_EQ(remaining,
        (QStringList {
            u"Copy"_s, u"Counted"_s, u"Fresh"_s, u"Gone"_s, u"Open task"_s, u"Paid bill"_s, u"Reopened on phone"_s}));
}

// A completed reminder the last pull unmapped (the phone reopened it as a series) waits in memory
// to go up afresh. The journal sent it long ago and the cloud names it no more, yet it is no
// surplus: while its upload keeps failing, a dry run must not offer it.
TEST(CleanupE2e, AReminderWaitingForAFreshUploadIsNeverACandidate)
{
    SyncE2eHarness h;
    const QString filed = h.localReminder({.title = u"Filed taxes"_s});
    h.editLocal(filed, [](Reminder &r) {
        r.completed = true;
        r.completionDate = SyncE2eHarness::at(u"2026-01-02T03:04:05.000Z"_s);
    });
    h.launch();
    ASSERT_TRUE(h.settle());
    QString serverID;
    for (const auto &item : h.phone->reminders()) {
        if (item.value("source_item_id"_L1).toString() == filed) {
            serverID = item.value("local_id"_L1).toString();
        }
    }
    ASSERT_FALSE(serverID.isEmpty());

    h.server.addFault(u"POST"_s, u"/reminders/upsert"_s, CloudFault::answer(503), -1);
    h.phone->setSendsOwnSourceIds(true);
    h.phone->editReminder(serverID, [](QJsonObject &record) {
        record.insert("is_completed"_L1, false);
        record.remove("completion_date"_L1);
        record.insert("repeat_type"_L1, u"daily"_s);
    });
    h.service->scheduleCloudSync(u"manual"_s);
    ASSERT_TRUE(h.clock.runUntil(
        [&] {
            return h.logged(SyncText::logMappingCompletionMismatchPrefix + serverID)
                && !h.service->isCloudSyncRunnerActive();
        },
        10min));
    ASSERT_TRUE(h.store.reminder(filed) && h.store.reminder(filed)->completed);

    h.service->completedCleanup().dryRunCompletedReminderCleanup();
    ASSERT_TRUE(h.clock.runUntil([&] { return !h.service->completedCleanup().isCompletedCleanupRunning(); }, 1min));
    EXPECT_TRUE(h.service->completedCleanup().completedCleanupSummary().startsWith(u"完成项清理预检："_s))
        << h.service->completedCleanup().completedCleanupSummary().toStdString();
    EXPECT_FALSE(h.service->completedCleanup().completedCleanupCandidateIDs().contains(filed));
    EXPECT_EQ(h.service->completedCleanup().completedCleanupCandidateCount(), 0);
}

} // namespace
} // namespace quorvin::test
