#include "Convergence.h"
#include "SyncE2eHarness.h"
#include "account/CloudAccount.h"
#include "sync/Strings.h"

#include <QJsonObject>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace quorvin::test {
namespace {

// Every upsert is answered with a completion request for the same reminder, and nothing else
// comes between them.
::testing::AssertionResult upsertsPairedWithCompletions(const QStringList &lines)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i] == u"POST /reminders/upsert"_s
            && (i + 1 >= lines.size() || lines[i + 1] != u"POST /reminders/complete"_s)) {
            return ::testing::AssertionFailure()
                << "upsert at " << i << " not followed by a completion: " << lines.join(u", "_s).toStdString();
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(SyncE2e, EmptyServerBootstrapUploadsEveryLocalReminder)
{
    SyncE2eHarness h;
    const QString home = h.localList(u"Home"_s);
    h.localReminder({.title = u"Milk"_s, .listId = home, .notes = u"2 litres"_s});
    h.localReminder({.title = u"Rent"_s, .due = SyncE2eHarness::at(u"2026-01-10T01:00:00.000Z"_s)});
    h.localReminder({.title = u"Old task"_s, .completed = true});

    h.launch();
    ASSERT_TRUE(h.settle());
    EXPECT_TRUE(converged(h));
    EXPECT_EQ(h.model.liveItems(h.userId).size(), 3);
    EXPECT_TRUE(h.logged(SyncText::logBootstrapPrefix + u"3"_s)) << "the empty server is recognised";
    EXPECT_EQ(h.lastStatus(), SyncText::statusSuccessPrefix + SyncText::syncDone + SyncText::statusSuffix);
    for (const QJsonObject &item : h.model.liveItems(h.userId)) {
        EXPECT_EQ(item.value("last_modified_by_client_kind"_L1).toString(), u"mqv"_s);
        // The start-up session refresh registered this machine's own device id on the session.
        EXPECT_EQ(item.value("last_modified_by_device_id"_L1).toString(), h.service->account().cloudSessionDeviceID());
    }

    // Full pull, the lists before any reminder that needs their ids, each upsert with its
    // completion, and a final pull.
    const QStringList lines = h.syncRequestLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), u"GET /sync"_s);
    EXPECT_EQ(h.server.journalFor(u"/sync"_s).first().request.hasQuery, false);
    EXPECT_EQ(lines.last(), u"GET /sync"_s);
    EXPECT_LT(lines.lastIndexOf(u"POST /lists/create"_s), lines.indexOf(u"POST /reminders/upsert"_s));
    EXPECT_EQ(lines.count(u"POST /reminders/upsert"_s), 3);
    EXPECT_TRUE(upsertsPairedWithCompletions(lines));

    // A quiet second launch uploads nothing again.
    const qsizetype before = h.journalSize();
    h.restart();
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.syncRequestLines(before).count(u"POST /reminders/upsert"_s), 0)
        << h.syncRequestLines(before).join(u", "_s).toStdString();
    EXPECT_TRUE(converged(h));
}

TEST(SyncE2e, FirstLaunchTakesThePhonesReminders)
{
    SyncE2eHarness h;
    const QString work = h.phone->createList(u"Work"_s);
    h.phone->createReminder({.title = u"Report"_s,
        .notes = u"Q1"_s,
        .due = SyncE2eHarness::at(u"2026-01-07T02:00:00.000Z"_s),
        .listId = work});
    h.phone->createReminder({.title = u"Done already"_s, .completed = true});

    h.launch();
    ASSERT_TRUE(h.settle());
    EXPECT_TRUE(converged(h));
    ASSERT_TRUE(h.localByTitle(u"Report"_s));
    EXPECT_EQ(h.store.list(h.localByTitle(u"Report"_s)->listId)->title, u"Work"_s);
    EXPECT_TRUE(h.localByTitle(u"Done already"_s)->completed);
    EXPECT_EQ(h.model.liveItems(h.userId).size(), 2) << "the phone's reminders were not uploaded a second time";
}

TEST(SyncE2e, EditsTravelBothWays)
{
    SyncE2eHarness h;
    const QString home = h.localList(u"Home"_s);
    const QString milk = h.localReminder({.title = u"Milk"_s, .listId = home});
    const QString call = h.localReminder({.title = u"Call"_s, .notes = u"evening"_s});
    h.launch();
    ASSERT_TRUE(h.settle());
    const QString milkOnServer = h.phone->findByTitle(u"Milk"_s);
    const QString callOnServer = h.phone->findByTitle(u"Call"_s);
    ASSERT_FALSE(milkOnServer.isEmpty());

    // The phone edits one reminder and adds one; this machine edits another and adds one.
    h.phone->setTitle(milkOnServer, u"Oat milk"_s);
    h.phone->setDue(milkOnServer, SyncE2eHarness::at(u"2026-01-06T10:30:00.000Z"_s));
    const QString homeOnServer = h.phone->reminder(milkOnServer)->value("list_id"_L1).toString();
    h.phone->createReminder({.title = u"Bread"_s, .listId = homeOnServer});
    ASSERT_TRUE(h.settle());
    h.editLocal(call, [](Reminder &reminder) { reminder.notes = u"after dinner"_s; });
    h.localReminder({.title = u"Eggs"_s, .listId = home});
    ASSERT_TRUE(h.settle());

    EXPECT_TRUE(converged(h));
    EXPECT_EQ(h.store.reminder(milk)->title, u"Oat milk"_s);
    EXPECT_EQ(h.phone->reminder(callOnServer)->value("notes"_L1).toString(), u"after dinner"_s);
    ASSERT_TRUE(h.localByTitle(u"Bread"_s));
    EXPECT_EQ(h.localByTitle(u"Bread"_s)->listId, home);
    EXPECT_FALSE(h.phone->findByTitle(u"Eggs"_s).isEmpty());
    EXPECT_EQ(h.phone->reminder(callOnServer)->value("last_modified_by_client_kind"_L1).toString(), u"mqv"_s);

    // Clearing a field on the phone clears it here.
    h.phone->setNotes(callOnServer, std::nullopt);
    ASSERT_TRUE(h.settle());
    EXPECT_FALSE(h.store.reminder(call)->notes.value_or(QString()).size() > 0);
    EXPECT_TRUE(converged(h));
}

// Also with a phone that writes its own id of the reminder into the source id: the server item
// then names no reminder here, which leaves it this machine's item all the same.
TEST(SyncE2e, BothSidesEditTheSameReminder)
{
    for (const bool phoneSendsOwnIds : {false, true}) {
        SCOPED_TRACE(phoneSendsOwnIds ? "phone sends its own source ids" : "phone sends no source id");
        SyncE2eHarness h;
        h.phone->setSendsOwnSourceIds(phoneSendsOwnIds);
        const QString plan = h.localReminder({.title = u"Plan trip"_s, .notes = u"draft"_s});
        h.launch();
        ASSERT_TRUE(h.settle());
        const QString planOnServer = h.phone->findByTitle(u"Plan trip"_s);

        // Different fields, then the same field, edited on both sides before either syncs.
        h.phone->setNotes(planOnServer, u"phone notes"_s);
        h.editLocal(plan, [](Reminder &reminder) { reminder.title = u"Plan trip to Hangzhou"_s; });
        ASSERT_TRUE(h.settle());
        EXPECT_TRUE(converged(h));
        EXPECT_EQ(h.model.liveItems(h.userId).size(), 1);

        h.clock.advance(10s);
        h.phone->setTitle(planOnServer, u"Trip (phone)"_s);
        h.editLocal(plan, [](Reminder &reminder) { reminder.title = u"Trip (mac)"_s; });
        ASSERT_TRUE(h.settle());
        EXPECT_TRUE(converged(h));
        EXPECT_EQ(h.model.liveItems(h.userId).size(), 1);
        const QString winner = h.store.reminder(plan)->title;
        EXPECT_TRUE(winner == u"Trip (phone)"_s || winner == u"Trip (mac)"_s) << winner.toStdString();
    }
}

TEST(SyncE2e, LocalEditDuringAPassIsUploadedByTheNextPass)
{
    SyncE2eHarness h;
    const QString first = h.localReminder({.title = u"First"_s});
    h.launch();
    ASSERT_TRUE(h.settle());

    // Hold the next upload for a while so that the pass is still running when the user edits.
    h.server.addFault(u"POST"_s, u"/reminders/upsert"_s, CloudFault::delayed(8s));
    h.editLocal(first, [](Reminder &reminder) { reminder.title = u"First, edited"_s; });
    const qsizetype before = h.journalSize();
    ASSERT_TRUE(
        h.clock.runUntil([&] { return h.syncRequestLines(before).contains(u"POST /reminders/upsert"_s); }, 1min));
    ASSERT_TRUE(h.service->isCloudSyncRunnerActive());
    h.localReminder({.title = u"Second"_s});
    h.editLocal(first, [](Reminder &reminder) { reminder.notes = u"typed while syncing"_s; });

    ASSERT_TRUE(h.settle());
    EXPECT_TRUE(converged(h));
    EXPECT_TRUE(h.logged(SyncText::logLocalChangesDuringSync))
        << "the edits made during the pass need a pass of their own";
    EXPECT_FALSE(h.phone->findByTitle(u"Second"_s).isEmpty());
    EXPECT_EQ(h.phone->reminder(h.phone->findByTitle(u"First, edited"_s))->value("notes"_L1).toString(),
        u"typed while syncing"_s);
}

} // namespace
} // namespace quorvin::test
