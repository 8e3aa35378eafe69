#include "Convergence.h"
#include "SyncE2eHarness.h"
#include "matching/CloudSyncState.h"
#include "sync/Strings.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace quorvin::test {
namespace {

// The server stores an upload but its answer is lost (it fails after the write). The next pass
// pulls the stored item, which carries this machine's id of the reminder, and updates that item
// instead of uploading the reminder a second time.
TEST(SyncE2e, UploadStoredButItsAnswerLost)
{
    SyncE2eHarness h;
    h.localReminder({.title = u"Existing"_s});
    h.launch();
    ASSERT_TRUE(h.settle());

    h.server.addFault(
        u"POST"_s, u"/reminders/upsert"_s, CloudFault::appliedThenAnswer(500, R"({"error":"internal error"})"));
    const QString lost = h.localReminder({.title = u"Answer lost"_s});
    ASSERT_TRUE(h.settle());

    EXPECT_EQ(h.serverItemsTitled(u"Answer lost"_s).size(), 1);
    EXPECT_TRUE(h.logged(SyncText::logKnownRemotelyPrefix + lost));
    EXPECT_TRUE(converged(h));
}

// One transient failure on a quiet account: the long-poll keeps answering "nothing new" every
// 25 s, so the 90 s fallback never fires; the retry after the failed pass uploads the change
// within its first back-off of 5 s.
TEST(SyncE2e, ATransientFailureIsRetriedOnAQuietAccount)
{
    SyncE2eHarness h;
    h.localReminder({.title = u"Existing"_s});
    h.launch();
    ASSERT_TRUE(h.settle());

    h.server.addFault(u"GET"_s, u"/sync"_s, CloudFault::answer(503, R"({"error":"unavailable"})"));
    h.localReminder({.title = u"Added during the outage"_s});
    const QString failed = SyncText::statusFailurePrefix + SyncText::syncFailed + SyncText::statusSuffix;
    ASSERT_TRUE(h.clock.runUntil([&] { return h.lastStatus() == failed; }, 10s));
    EXPECT_TRUE(h.clock.runUntil([&] { return h.serverItemsTitled(u"Added during the outage"_s).size() == 1; }, 5s))
        << h.unrest().toStdString();
    EXPECT_TRUE(h.logged(SyncText::logPassStartPrefix + SyncText::triggerRetry + u"]"_s));
    ASSERT_TRUE(h.settle());
    EXPECT_TRUE(converged(h));
}

// The store refuses one of several phone items (a database answering an error for one task):
// the others are written and mapped, the pass ends without chasing the refused one, which has
// no mapping and comes with a later pass once the store takes it.
TEST(SyncE2e, AnItemTheStoreRefusesHoldsUpNoOther)
{
    SyncE2eHarness h;
    h.launch();
    ASSERT_TRUE(h.settle());
    h.store.refuseReminders([](const Reminder &reminder) { return reminder.title == u"Refused"_s; });
    const QString one = h.phone->createReminder({.title = u"One"_s});
    const QString refused = h.phone->createReminder({.title = u"Refused"_s});
    const QString two = h.phone->createReminder({.title = u"Two"_s});
    const auto from = h.journalSize();
    ASSERT_TRUE(h.settle()) << h.unrest().toStdString();
    const auto &mappings = h.service->syncState().reminderMappingIndex();
    for (const auto &[title, serverID] : {std::pair {u"One"_s, one}, std::pair {u"Two"_s, two}}) {
        const auto local = h.localByTitle(title);
        ASSERT_TRUE(local) << title.toStdString();
        EXPECT_EQ(mappings.localID(serverID), local->id);
    }
    EXPECT_FALSE(h.localByTitle(u"Refused"_s));
    EXPECT_FALSE(mappings.containsServerID(refused));
    EXPECT_TRUE(h.logged(SyncText::logReminderRefusedPrefix + refused));
    // Retried with a growing pause while refused, never in a loop.
    h.clock.advance(10min);
    EXPECT_LT(h.syncRequestLines(from).count(u"GET /sync"_s), 30) << h.syncRequestLines(from).join(u'\n').toStdString();

    h.store.refuseReminders({});
    EXPECT_TRUE(h.clock.runUntil([&] { return h.localByTitle(u"Refused"_s).has_value(); }, 6min));
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(mappings.localID(refused), h.localByTitle(u"Refused"_s)->id);
    EXPECT_EQ(h.serverItemsTitled(u"Refused"_s).size(), 1);
    EXPECT_TRUE(converged(h));
}

} // namespace
} // namespace quorvin::test
