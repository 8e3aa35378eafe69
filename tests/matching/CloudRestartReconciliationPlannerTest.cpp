#include "matching/CloudRestartReconciliationPlanner.h"
#include "matching/TestPayloads.h"

#include <gtest/gtest.h>

using namespace quorvin;
using namespace quorvin::test;
using namespace Qt::Literals::StringLiterals;

namespace {

ReminderPayload openSeries(const QString &id)
{
    auto p = reminder(id, u"Laundry"_s);
    p.list_id = u"L1"_s;
    p.repeat_type = u"weekly"_s;
    p.due_date = u"2025-06-09T00:00:00Z"_s;
    return p;
}

ReminderPayload doneOccurrence(const QString &id)
{
    auto p = reminder(id, u"laundry"_s);
    p.list_id = u"L1"_s;
    p.is_completed = true;
    p.due_date = u"2025-06-02T00:00:00Z"_s;
    p.completion_date = u"2025-06-02T10:00:00Z"_s;
    return p;
}

ReminderPayload server(const QString &serverID, std::optional<QString> sourceItemID)
{
    auto p = reminder(serverID, u"Anything"_s);
    p.source_item_id = std::move(sourceItemID);
    return p;
}

} // namespace

TEST(CloudRestartReconciliationPlanner, RepairsOnlyThroughUniqueIdentities)
{
    auto repairable = reminder(u"local-r"_s);
    auto viaExternal = reminder(u"local-x"_s);
    viaExternal.external_id = u" ext-7 "_s;
    auto sharedIdentity = reminder(u"local-shared"_s);
    auto twoServers = reminder(u"local-two"_s);
    twoServers.source_external_id = u"ext-9"_s;
    auto alreadyMapped = reminder(u"local-mapped"_s);
    auto plainDone = reminder(u"local-done"_s);
    plainDone.is_completed = true;
    plainDone.completion_date = u"2025-01-01T00:00:00Z"_s;

    const QList<ReminderPayload> remote {
        server(u"srv-r"_s, u"local-r"_s),
        server(u"srv-x"_s, std::nullopt),
        server(u"srv-s1"_s, u"local-shared"_s),
        server(u"srv-s2"_s, u"local-shared"_s),
        server(u"srv-two-a"_s, u"local-two"_s),
        server(u"srv-two-b"_s, u"ext-9"_s),
        // Mapped server items lend no identity, even one a local reminder carries.
        server(u"srv-mapped"_s, u"local-done"_s),
    };
    auto external = remote[1];
    external.source_external_id = u"ext-7"_s;
    auto remoteItems = remote;
    remoteItems[1] = external;
    const QHash<QString, QString> mapping {{u"srv-mapped"_s, u" local-mapped "_s}};

    const auto plan = CloudRestartReconciliationPlanner::makePlan(
        QList<ReminderPayload> {twoServers, repairable, sharedIdentity, viaExternal, alreadyMapped, plainDone},
        remoteItems, mapping);
    EXPECT_EQ(plan.mappingRepairs,
        (QList<CloudRestartMappingRepair> {{u"srv-r"_s, u"local-r"_s}, {u"srv-x"_s, u"local-x"_s}}));
    EXPECT_EQ(plan.uploadLocalIDs, (QStringList {u"local-done"_s, u"local-shared"_s, u"local-two"_s}));
    EXPECT_TRUE(plan.duplicateLocalIDs.isEmpty());
    EXPECT_TRUE(plan.ambiguousLocalIDs.isEmpty());
    EXPECT_EQ(plan.inspectedLocalCount, 6);
    // One lookup per identity of each unmapped local reminder (its own id included).
    EXPECT_EQ(plan.identityLookupCount, 2 + 1 + 1 + 2 + 1);
    EXPECT_EQ(plan.semanticLookupCount, 0);
}

TEST(CloudRestartReconciliationPlanner, ClassifiesCompletedCopiesAgainstMappedSeries)
{
    const QHash<QString, QString> oneSeriesOneCopy {{u"s1"_s, u"series"_s}, {u"s2"_s, u"copy"_s}};
    const QList<ReminderPayload> remote; // nothing to repair through

    struct World {
        const char *name;
        QList<ReminderPayload> locals;
        QHash<QString, QString> mapping;
        QStringList duplicates, uploads, ambiguous;
    };
    auto otherDue = doneOccurrence(u"leftover"_s);
    otherDue.due_date = u"2025-05-26T00:00:00Z"_s;
    auto noDue = doneOccurrence(u"leftover"_s);
    noDue.due_date.reset();
    auto recurringCopy = doneOccurrence(u"leftover"_s);
    recurringCopy.repeat_summary = u"Every week"_s;
    auto mappedTwice = oneSeriesOneCopy;
    mappedTwice.insert(u"s3"_s, u"copy2"_s);
    auto twoSeries = oneSeriesOneCopy;
    twoSeries.insert(u"s4"_s, u"series2"_s);

    const World worlds[] = {
        {"strict duplicate", {openSeries(u"series"_s), doneOccurrence(u"copy"_s), doneOccurrence(u"leftover"_s)},
            oneSeriesOneCopy, {u"leftover"_s}, {}, {}},
        {"occurrence not mapped", {openSeries(u"series"_s), otherDue}, oneSeriesOneCopy, {}, {u"leftover"_s}, {}},
        {"no due date", {openSeries(u"series"_s), doneOccurrence(u"copy"_s), noDue}, oneSeriesOneCopy, {},
            {u"leftover"_s}, {}},
        {"still recurring", {openSeries(u"series"_s), doneOccurrence(u"copy"_s), recurringCopy}, oneSeriesOneCopy, {},
            {u"leftover"_s}, {}},
        {"occurrence mapped twice",
            {openSeries(u"series"_s), doneOccurrence(u"copy"_s), doneOccurrence(u"copy2"_s),
                doneOccurrence(u"leftover"_s)},
            mappedTwice, {}, {}, {u"leftover"_s}},
        {"two open series",
            {openSeries(u"series"_s), openSeries(u"series2"_s), doneOccurrence(u"copy"_s),
                doneOccurrence(u"leftover"_s)},
            twoSeries, {}, {}, {u"leftover"_s}},
        {"no open series", {doneOccurrence(u"copy"_s), doneOccurrence(u"leftover"_s)}, {{u"s2"_s, u"copy"_s}}, {}, {},
            {u"leftover"_s}},
        {"open reminders are uploads", {openSeries(u"new-open"_s)}, {}, {}, {u"new-open"_s}, {}},
    };
    for (const auto &w : worlds) {
        SCOPED_TRACE(w.name);
        const auto plan = CloudRestartReconciliationPlanner::makePlan(w.locals, remote, w.mapping);
        EXPECT_EQ(plan.duplicateLocalIDs, w.duplicates);
        EXPECT_EQ(plan.uploadLocalIDs, w.uploads);
        EXPECT_EQ(plan.ambiguousLocalIDs, w.ambiguous);
        EXPECT_TRUE(plan.mappingRepairs.isEmpty());
        EXPECT_EQ(plan.inspectedLocalCount, w.locals.size());
    }
}
