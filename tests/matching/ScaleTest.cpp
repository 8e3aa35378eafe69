#include "matching/CloudReminderMatchSession.h"
#include "matching/CloudRestartReconciliationPlanner.h"
#include "matching/InMemoryReminderLookup.h"
#include "matching/LocalReminderMatchResolver.h"
#include "matching/SyncStateStore.h"
#include "matching/TestPayloads.h"
#include "platform/concurrency/ManualClock.h"

#include <gtest/gtest.h>

using namespace quorvin;
using namespace quorvin::test;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int count = 10000;

QString localID(int i)
{
    return u"local-%1"_s.arg(i, 5, 10, QChar(u'0'));
}

// Every reminder has its own content, except that each tenth shares a title with its neighbour,
// so the buckets are not all of size one.
ReminderPayload localReminder(int i)
{
    auto p = reminder(localID(i), u"Task %1"_s.arg(i - (i % 10 == 1 ? 1 : 0)));
    p.list_id = u"L%1"_s.arg(i % 7);
    p.list_name = u"List %1"_s.arg(i % 7);
    p.due_date = u"2025-06-%1T09:00:00Z"_s.arg(1 + i % 28, 2, 10, QChar(u'0'));
    p.has_due_time = true;
    p.created_at = u"2024-01-01T00:00:00Z"_s;
    p.notes = u"Note %1"_s.arg(i % 13);
    return p;
}

} // namespace

// Matching and planning at ten thousand reminders ask for a bounded number of candidates each; a
// rule that compared every cloud item with every local reminder would show here as ~10^8.
TEST(MatchingAtScale, CostGrowsLinearly)
{
    ManualClock clock;
    SyncStateStore journal(clock);
    QList<ReminderPayload> locals;
    InMemoryReminderLookup store;
    for (int i = 0; i < count; ++i) {
        locals.append(localReminder(i));
        store.put(locals.back());
    }
    journal.applySnapshot(locals);
    ASSERT_EQ(journal.reminderCount(), count);

    CloudReminderMatchSession session(journal.snapshotPayloads());
    const LocalReminderMatchResolver resolver(store);
    const int readsBefore = store.reads;
    int matched = 0;
    int withDuplicates = 0;
    for (int i = 0; i < count; ++i) {
        auto item = localReminder(i);
        item.local_id = u"srv-%1"_s.arg(i);
        item.list_id = u"server-list"_s;
        const auto match = resolver.resolveLocalReminderMatch(item, std::nullopt, session);
        ASSERT_TRUE(match);
        matched += match->localID == localID(i) || !match->duplicateLocalIDs.isEmpty();
        withDuplicates += !match->duplicateLocalIDs.isEmpty();
    }
    EXPECT_EQ(matched, count);
    // Pairs (i, i+1) with i % 10 == 0 share a title but differ in due date, list and notes, so
    // every stable bucket holds exactly one reminder.
    EXPECT_EQ(withDuplicates, 0);
    EXPECT_EQ(session.fullComparisonCount(), count);
    EXPECT_EQ(session.index().metrics().stableLookupCount, count);
    EXPECT_EQ(session.index().metrics().returnedCandidateCount, count);
    // What the lookups cost inside the index: a few records compared per cloud item, not the
    // whole snapshot (a scan would compare about count * count).
    EXPECT_LT(session.index().metrics().comparedRecordCount, 2 * count);
    // Matching by content never touches the store.
    EXPECT_EQ(store.reads, readsBefore);

    // Restart: every local reminder lost its mapping, and the server knows each by its local id.
    QList<ReminderPayload> remote;
    for (int i = 0; i < count; ++i) {
        auto item = localReminder(i);
        item.local_id = u"srv-%1"_s.arg(i);
        item.source_item_id = localID(i);
        remote.append(item);
    }
    QHash<QString, QString> halfMapped;
    for (int i = 0; i < count; i += 2) {
        halfMapped.insert(u"srv-%1"_s.arg(i), localID(i));
    }
    const auto plan = CloudRestartReconciliationPlanner::makePlan(journal.snapshotPayloads(), remote, halfMapped);
    EXPECT_EQ(plan.inspectedLocalCount, count);
    EXPECT_EQ(plan.mappingRepairs.size(), count / 2);
    EXPECT_EQ(plan.identityLookupCount, count / 2);
    EXPECT_EQ(plan.semanticLookupCount, 0);
    EXPECT_TRUE(plan.uploadLocalIDs.isEmpty());
    EXPECT_EQ(plan.mappingRepairs.front().localID, localID(1));
}
