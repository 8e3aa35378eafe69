#include "Convergence.h"
#include "SyncE2eHarness.h"
#include "matching/CloudSyncState.h"
#include "reminders/ReminderMonitor.h"
#include "sync/Strings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace quorvin::test {
namespace {

const QDateTime kDue = SyncE2eHarness::at(u"2026-01-05T02:00:00.000Z"_s);

struct SeriesState {
    int openLocal = 0;
    int completedLocal = 0;
    int openServer = 0;
    int completedServer = 0;
    QDateTime openServerDue;
};

SeriesState seriesState(const SyncE2eHarness &h, const QString &title)
{
    SeriesState state;
    for (const Reminder &reminder : h.localReminders()) {
        if (reminder.title == title) {
            (reminder.completed ? state.completedLocal : state.openLocal) += 1;
        }
    }
    for (const QJsonObject &item : h.serverItemsTitled(title)) {
        if (item.value("is_completed"_L1).toBool()) {
            ++state.completedServer;
        } else {
            ++state.openServer;
            state.openServerDue = SyncE2eHarness::at(item.value("due_date"_L1).toString());
        }
    }
    return state;
}

QString describe(const SyncE2eHarness &h, const QString &title)
{
    QStringList lines;
    for (const QJsonObject &item : h.serverItemsTitled(title)) {
        lines << QString::fromUtf8(QJsonDocument(item).toJson(QJsonDocument::Compact));
    }
    return lines.join(u'\n');
}

// Launches with one daily reminder on this machine and lets it reach the server.
QString setUpSeries(SyncE2eHarness &h, const QString &title)
{
    h.localReminder({.title = title, .due = kDue, .daily = true});
    h.launch();
    EXPECT_TRUE(h.settle());
    return h.phone->findByTitle(title);
}

TEST(SyncE2e, PhoneCompletesARecurringReminderWithACompletionCommand)
{
    SyncE2eHarness h;
    const QString series = setUpSeries(h, u"Water plants"_s);
    ASSERT_FALSE(series.isEmpty());

    h.phone->completeRecurringAsCommand(series);
    ASSERT_TRUE(h.settle());

    const SeriesState state = seriesState(h, u"Water plants"_s);
    EXPECT_EQ(state.openLocal, 1);
    EXPECT_EQ(state.completedLocal, 1);
    EXPECT_EQ(state.openServer, 1) << describe(h, u"Water plants"_s).toStdString();
    EXPECT_EQ(state.openServerDue, kDue.addDays(1));
    EXPECT_TRUE(converged(h));
}

// The identity check: the phone moves the series on and adds a completed copy. This machine
// completes its own occurrence, which starts a new local reminder for the series; its source id
// differs from the one the server holds for the series record when the server keeps the stored
// source id on an update that leaves it out (the default), and is gone when it does not. Either
// way the series must stay one active record.
TEST(SyncE2e, PhoneCompletesARecurringReminderAsAdvancedItemAndCompletedCopy)
{
    for (const bool keepSourceId : {true, false}) {
        SCOPED_TRACE(keepSourceId ? "server keeps source_item_id" : "server clears source_item_id");
        SyncE2eHarness h;
        h.model.setKeepSourceItemIdWhenOmitted(keepSourceId);
        const QString series = setUpSeries(h, u"Stretch"_s);
        ASSERT_FALSE(series.isEmpty());

        h.phone->completeRecurringAsPair(series, kDue.addDays(1));
        ASSERT_TRUE(h.settle());

        const SeriesState state = seriesState(h, u"Stretch"_s);
        EXPECT_EQ(state.openLocal, 1);
        EXPECT_EQ(state.completedLocal, 1);
        EXPECT_EQ(state.openServer, 1) << "two active server copies of one series:\n"
                                       << describe(h, u"Stretch"_s).toStdString();
        EXPECT_EQ(state.completedServer, 1);
        EXPECT_EQ(state.openServerDue, kDue.addDays(1));
        EXPECT_TRUE(h.phone->reminder(series)) << "the series keeps its server record";
        EXPECT_FALSE(h.logged(u"Cloud mapping identity mismatch"_s));
        EXPECT_TRUE(converged(h));
    }
}

// The phone makes a repeating reminder and completes it with a completion command before this
// machine has pulled it: there is no local series to complete, so the item is written as it is,
// and the series goes on here and on the server.
TEST(SyncE2e, PhoneCompletesARecurringReminderThisMachineNeverSaw)
{
    SyncE2eHarness h;
    h.localReminder({.title = u"Anything"_s});
    h.launch();
    ASSERT_TRUE(h.settle());

    const QString series = h.phone->createReminder({.title = u"Stretch"_s, .due = kDue, .repeatType = u"daily"_s});
    h.phone->completeRecurringAsCommand(series);
    ASSERT_TRUE(h.settle());

    const SeriesState state = seriesState(h, u"Stretch"_s);
    EXPECT_EQ(state.openLocal, 1);
    EXPECT_EQ(state.completedLocal, 1);
    EXPECT_EQ(state.openServer, 1) << describe(h, u"Stretch"_s).toStdString();
    EXPECT_EQ(state.completedServer, 1) << describe(h, u"Stretch"_s).toStdString();
    EXPECT_TRUE(converged(h));
}

// The phone turns a series into a one-off and completes it. The local series keeps its rules, so
// the completed item cannot be written into it: it gets a fresh local reminder, and the series,
// still open here, goes up as an item of its own. A later edit of the fresh reminder updates its
// server item: the server still names the series as that item's source, which no longer counts.
TEST(SyncE2e, PhoneEndsASeriesThatIsStillOpenHere)
{
    SyncE2eHarness h;
    const QString series = setUpSeries(h, u"Stretch"_s);
    ASSERT_FALSE(series.isEmpty());
    const QString local = h.localByTitle(u"Stretch"_s)->id;

    h.phone->editReminder(series, [&](QJsonObject &record) {
        for (const char *key : {"repeat_type", "repeat_summary", "recurrence_rule"}) {
            record.remove(QLatin1StringView(key));
        }
        record.insert("is_completed"_L1, true);
        record.insert("completion_date"_L1, h.model.nowText());
    });
    ASSERT_TRUE(h.settle());
    EXPECT_TRUE(h.logged(u"Cloud reminder mapping completion mismatch server_id="_s + series));
    EXPECT_FALSE(h.store.reminder(local)->completed);
    EXPECT_FALSE(h.store.reminder(local)->recurrenceRules.empty());
    const SeriesState state = seriesState(h, u"Stretch"_s);
    EXPECT_EQ(state.openLocal, 1);
    EXPECT_EQ(state.completedLocal, 1);
    EXPECT_EQ(state.openServer, 1) << describe(h, u"Stretch"_s).toStdString();
    EXPECT_EQ(state.completedServer, 1);
    EXPECT_TRUE(converged(h));

    const QString fresh = h.service->syncState().reminderMappingIndex().localID(series).value_or(QString());
    ASSERT_NE(fresh, local);
    h.editLocal(fresh, [](Reminder &reminder) { reminder.notes = u"done for good"_s; });
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.phone->reminder(series)->value("notes"_L1).toString(), u"done for good"_s);
    EXPECT_EQ(h.serverItemsTitled(u"Stretch"_s).size(), 2);
    EXPECT_TRUE(converged(h));
}

TEST(SyncE2e, ThisMachineCompletesARecurringReminder)
{
    SyncE2eHarness h;
    const QString series = setUpSeries(h, u"Vitamins"_s);
    ASSERT_FALSE(series.isEmpty());
    const QString local = h.localByTitle(u"Vitamins"_s)->id;

    const qsizetype before = h.journalSize();
    h.completeLocalRecurring(local);
    ASSERT_TRUE(h.settle());

    const SeriesState state = seriesState(h, u"Vitamins"_s);
    EXPECT_EQ(state.openServer, 1) << describe(h, u"Vitamins"_s).toStdString();
    EXPECT_EQ(state.completedServer, 1);
    EXPECT_EQ(state.openServerDue, kDue.addDays(1));
    ASSERT_TRUE(h.phone->reminder(series));
    EXPECT_FALSE(h.phone->reminder(series)->value("is_completed"_L1).toBool())
        << "the new occurrence takes over the series' server record";
    EXPECT_TRUE(converged(h));

    // The takeover goes up as an update of the series record; the completed copy as a new one.
    QStringList upsertTargets;
    for (const CloudJournalEntry &entry : h.server.journal().mid(before)) {
        if (entry.request.path() != u"/reminders/upsert"_s) {
            continue;
        }
        upsertTargets << entry.request.jsonBody().value("local_id"_L1).toString(u"<new>"_s);
    }
    EXPECT_TRUE(upsertTargets.contains(series)) << upsertTargets.join(u", "_s).toStdString();
    EXPECT_TRUE(upsertTargets.contains(u"<new>"_s)) << upsertTargets.join(u", "_s).toStdString();
}

// Here a repeating reminder is completed by an outside change of the store, which leaves it
// completed with its rules. It is split as a reminders app would split it (the completed
// occurrence keeps its id, a new reminder carries the series on), so the series never ends on
// either side: by the bridge while the app runs, and by the first pass after the start when the
// change was made while the app was closed (its series is still open on the server).
TEST(SyncE2e, ARepeatingReminderCompletedByAnOutsideChange)
{
    for (const bool closed : {false, true}) {
        SCOPED_TRACE(closed ? "while closed" : "while running");
        SyncE2eHarness h;
        const QString series = setUpSeries(h, u"Vitamins"_s);
        ASSERT_FALSE(series.isEmpty());
        const QString local = h.localByTitle(u"Vitamins"_s)->id;

        if (closed) {
            h.quit();
            h.completeLocal(local);
            h.launch();
        } else {
            h.completeLocal(local);
        }
        ASSERT_TRUE(h.settle());

        const SeriesState state = seriesState(h, u"Vitamins"_s);
        EXPECT_EQ(state.openLocal, 1);
        EXPECT_EQ(state.completedLocal, 1);
        EXPECT_EQ(state.openServer, 1) << describe(h, u"Vitamins"_s).toStdString();
        EXPECT_EQ(state.completedServer, 1);
        EXPECT_EQ(state.openServerDue, kDue.addDays(1));
        EXPECT_TRUE(h.store.reminder(local)->recurrenceRules.empty()) << "the completed occurrence keeps its id";
        ASSERT_TRUE(h.phone->reminder(series));
        EXPECT_FALSE(h.phone->reminder(series)->value("is_completed"_L1).toBool());
        EXPECT_EQ(h.phone->reminder(series)->value("repeat_type"_L1).toString(), u"daily"_s);
        EXPECT_TRUE(converged(h));
    }
}

// A phone whose clock runs an hour behind moves a series on: its version looks older than the
// local reminder, so the apply skips it, and the local series is moved forward at the end of the
// pass instead. The push cursor goes past that write, which needs no upload; but not past a local
// change made meanwhile, which still goes up.
TEST(SyncE2e, ASeriesMovedOnByAPhoneWhoseClockIsBehindIsAlignedHere)
{
    using namespace std::chrono_literals;
    SyncE2eHarness h;
    const QString other = h.localReminder({.title = u"Other"_s});
    const QString series = setUpSeries(h, u"Water plants"_s);
    ASSERT_FALSE(series.isEmpty());
    const QString local = h.localByTitle(u"Water plants"_s)->id;
    const auto localDue
        = [&] { return h.service->reminderMonitor()->mapReminder(*h.store.reminder(local), false)->due_date; };
    const auto seriesUploads = [&](qsizetype from) {
        int count = 0;
        for (const CloudJournalEntry &entry : h.server.journal().mid(from)) {
            count += entry.request.path() == u"/reminders/upsert"_s
                && entry.request.jsonBody().value("local_id"_L1).toString() == series;
        }
        return count;
    };
    h.phone->setClockSkew(-1h);

    qsizetype mark = h.journalSize();
    h.phone->setDue(series, kDue.addDays(1));
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(SyncE2eHarness::at(localDue().value_or(QString())), kDue.addDays(1));
    EXPECT_TRUE(h.logged(SyncText::logAlignedPrefix + u"1"_s));
    EXPECT_EQ(seriesUploads(mark), 0) << "the alignment's own write is not uploaded";
    EXPECT_TRUE(converged(h));

    // Once more, with a local edit journalled while the pass waits for its second pull.
    h.server.addFault(u"GET"_s, u"/sync"_s, CloudFault::delayed(0ms));
    h.server.addFault(u"GET"_s, u"/sync"_s, CloudFault::delayed(10s));
    const qsizetype pulls = h.server.journalFor(u"/sync"_s).size();
    h.phone->setDue(series, kDue.addDays(2));
    ASSERT_TRUE(h.clock.runUntil([&] { return h.server.journalFor(u"/sync"_s).size() == pulls + 2; }, 1min));
    h.editLocal(other, [](Reminder &reminder) { reminder.title = u"Other, edited here"_s; });
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(SyncE2eHarness::at(localDue().value_or(QString())), kDue.addDays(2));
    EXPECT_EQ(h.serverItemsTitled(u"Other, edited here"_s).size(), 1);
    EXPECT_TRUE(converged(h));

    // A series with a local change of its own still to upload is newer than any pulled version:
    // it is not moved, and its change (an alarm) goes up.
    h.server.addFault(u"GET"_s, u"/sync"_s, CloudFault::delayed(0ms));
    h.server.addFault(u"GET"_s, u"/sync"_s, CloudFault::delayed(10s));
    const qsizetype pullsBefore = h.server.journalFor(u"/sync"_s).size();
    h.phone->setDue(series, kDue.addDays(3));
    ASSERT_TRUE(h.clock.runUntil([&] { return h.server.journalFor(u"/sync"_s).size() == pullsBefore + 2; }, 1min));
    h.editLocal(local, [](Reminder &reminder) { reminder.alarms = {{ReminderAlarm::atOffset(-600)}}; });
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(SyncE2eHarness::at(localDue().value_or(QString())), kDue.addDays(2));
    EXPECT_EQ(h.store.reminder(local)->alarms.value_or(std::vector<ReminderAlarm>()).size(), 1u);
    EXPECT_EQ(h.phone->reminder(series)->value("alarms"_L1).toArray().size(), 1);
    EXPECT_TRUE(converged(h));
}

// Two identical series here are two reminders, not a reminder and its duplicate: when the server
// item of one arrives, the other is spared because another server item is mapped to it, or,
// with that mapping lost, because an item of the same pull claims it.
TEST(SyncE2e, IdenticalSeriesAreNotTakenForDuplicates)
{
    SyncE2eHarness h;
    const QString first = h.localReminder({.title = u"Pills"_s, .due = kDue, .daily = true});
    const QString second = h.localReminder({.title = u"Pills"_s, .due = kDue, .daily = true});
    h.launch();
    ASSERT_TRUE(h.settle());
    const auto &mappings = h.service->syncState().reminderMappingIndex();
    const QString firstOnServer = mappings.firstServerID(first).value_or(QString());
    const QString secondOnServer = mappings.firstServerID(second).value_or(QString());
    ASSERT_FALSE(firstOnServer.isEmpty());
    ASSERT_FALSE(secondOnServer.isEmpty());
    const auto touch = [&](const QString &id) { h.phone->editReminder(id, [](QJsonObject &) {}); };

    touch(firstOnServer);
    ASSERT_TRUE(h.settle());
    EXPECT_TRUE(h.store.reminder(second)) << "mapped to another server item";

    h.service->syncState().removeReminderMapping(secondOnServer);
    touch(firstOnServer);
    touch(secondOnServer);
    ASSERT_TRUE(h.settle());
    EXPECT_TRUE(h.store.reminder(second)) << "claimed by another item of the pull";
    // (The convergence check would take the two for duplicates.)
    EXPECT_EQ(h.model.liveItems(h.userId).size(), 2);
    EXPECT_EQ(mappings.localID(firstOnServer), first);
    EXPECT_EQ(mappings.localID(secondOnServer), second);
    EXPECT_EQ(mappings.serverIDs(first).size(), 1u);
}

// Both devices complete the same occurrence before they hear of each other.
void completeOnBothSides(bool pairShape)
{
    SyncE2eHarness h;
    const QString series = setUpSeries(h, u"Feed cat"_s);
    ASSERT_FALSE(series.isEmpty());

    h.completeLocalRecurring(h.localByTitle(u"Feed cat"_s)->id);
    if (pairShape) {
        h.phone->completeRecurringAsPair(series, kDue.addDays(1));
    } else {
        h.phone->completeRecurringAsCommand(series);
    }
    ASSERT_TRUE(h.settle());

    const SeriesState state = seriesState(h, u"Feed cat"_s);
    EXPECT_EQ(state.openServer, 1) << describe(h, u"Feed cat"_s).toStdString();
    EXPECT_EQ(state.completedServer, 1) << describe(h, u"Feed cat"_s).toStdString();
    EXPECT_EQ(state.openLocal, 1);
    EXPECT_EQ(state.completedLocal, 1);
    EXPECT_TRUE(converged(h));
}

TEST(SyncE2e, BothSidesCompleteTheSameOccurrenceWithACommandFromThePhone)
{
    completeOnBothSides(false);
}

TEST(SyncE2e, BothSidesCompleteTheSameOccurrenceWithACopyFromThePhone)
{
    completeOnBothSides(true);
}

// This machine's completion is already journalled when a pass starts whose pull holds the phone's
// completion of the same occurrence: the push uploads this machine's completed copy before the
// apply meets the phone's copy, so the server briefly holds two copies of one occurrence.
TEST(SyncE2e, BothSidesCompleteTheSameOccurrenceAndThisMachineUploadsFirst)
{
    SyncE2eHarness h;
    const QString series = setUpSeries(h, u"Feed cat"_s);
    ASSERT_FALSE(series.isEmpty());

    const qsizetype before = h.journalSize();
    h.completeLocalRecurring(h.localByTitle(u"Feed cat"_s)->id);
    // The store's debounce journals the completion and starts a pass; the phone's completion lands
    // before that pass pulls.
    ASSERT_TRUE(h.clock.runUntil([&] { return h.service->isCloudSyncRunnerActive(); }, std::chrono::minutes(1)));
    h.phone->completeRecurringAsPair(series, kDue.addDays(1));
    ASSERT_TRUE(h.settle());

    // Exactly the surplus copy goes; the local reminders stay as they are.
    const QStringList requests = h.syncRequestLines(before);
    EXPECT_EQ(requests.count(u"POST /reminders/delete"_s), 1) << requests.join(u", "_s).toStdString();
    const SeriesState state = seriesState(h, u"Feed cat"_s);
    EXPECT_EQ(state.openServer, 1) << describe(h, u"Feed cat"_s).toStdString();
    EXPECT_EQ(state.completedServer, 1) << describe(h, u"Feed cat"_s).toStdString();
    EXPECT_EQ(state.openLocal, 1);
    EXPECT_EQ(state.completedLocal, 1);
    EXPECT_TRUE(converged(h));
}

// Deleting the surplus copy is a tidy-up: when the server refuses it, no pass fails; the copy
// stays queued, and a later pass deletes it.
TEST(SyncE2e, ARefusedDeleteOfTheSurplusCopyFailsNoPass)
{
    SyncE2eHarness h;
    const QString series = setUpSeries(h, u"Feed cat"_s);
    ASSERT_FALSE(series.isEmpty());

    h.completeLocalRecurring(h.localByTitle(u"Feed cat"_s)->id);
    ASSERT_TRUE(h.clock.runUntil([&] { return h.service->isCloudSyncRunnerActive(); }, std::chrono::minutes(1)));
    h.server.addFault(u"POST"_s, u"/reminders/delete"_s, CloudFault::answer(403, R"({"error":"forbidden"})"));
    h.phone->completeRecurringAsPair(series, kDue.addDays(1));
    ASSERT_TRUE(h.settle());
    EXPECT_TRUE(h.logged(SyncText::logCompletedCopyDeleteRefusedPrefix));
    EXPECT_FALSE(h.logged(SyncText::logPassFailedPrefix));
    EXPECT_EQ(h.lastStatus(), SyncText::statusSuccessPrefix + SyncText::syncDone + SyncText::statusSuffix);
    const SeriesState state = seriesState(h, u"Feed cat"_s);
    EXPECT_EQ(state.openServer, 1) << describe(h, u"Feed cat"_s).toStdString();
    EXPECT_EQ(state.completedServer, 1) << describe(h, u"Feed cat"_s).toStdString();
    EXPECT_TRUE(converged(h));
}

} // namespace
} // namespace quorvin::test
