#include "matching/LocalReminderMatchResolver.h"
#include "matching/CloudReminderMatchSession.h"
#include "matching/InMemoryReminderLookup.h"
#include "matching/TestPayloads.h"

#include <gtest/gtest.h>

using namespace quorvin;
using namespace quorvin::test;
using namespace Qt::Literals::StringLiterals;

namespace {

struct World {
    InMemoryReminderLookup store;
    QList<ReminderPayload> locals;

    void add(const ReminderPayload &p, std::optional<LocalReminderState> state = std::nullopt)
    {
        store.put(p, state);
        locals.append(p);
    }
};

ReminderPayload dated(const QString &id, const QString &createdAt)
{
    auto p = reminder(id, u"Water plants"_s);
    p.created_at = createdAt;
    p.list_name = u"Home"_s;
    return p;
}

ReminderPayload cloudItem(const QString &serverID)
{
    auto p = reminder(serverID, u"  water PLANTS"_s);
    p.list_name = u"home"_s;
    return p;
}

} // namespace

TEST(LocalReminderMatchResolver, PicksExactThenExternalThenStable)
{
    World w;
    w.add(dated(u"old"_s, u"2024-01-01T00:00:00Z"_s));
    w.add(dated(u"new"_s, u"2024-06-01T00:00:00Z"_s));
    auto other = dated(u"exact"_s, u"2024-03-01T00:00:00Z"_s);
    other.title = u"Different content"_s;
    w.add(other);
    auto external = dated(u"ext"_s, u"2024-04-01T00:00:00Z"_s);
    external.title = u"Also different"_s;
    external.external_id = u"E1"_s;
    w.add(external);
    CloudReminderMatchSession session(w.locals);
    const LocalReminderMatchResolver resolver(w.store);

    // The exact id wins even with other content; the stable copies are its duplicates.
    auto item = cloudItem(u"srv"_s);
    item.source_item_id = u" exact "_s;
    item.external_id = u"E1"_s;
    EXPECT_EQ(resolver.resolveLocalReminderMatch(item, std::nullopt, session),
        (CloudReminderMatch {u"exact"_s, {u"old"_s, u"new"_s}}));

    // Without the exact id, the single external candidate wins.
    item.source_item_id = u"missing"_s;
    EXPECT_EQ(resolver.resolveLocalReminderMatch(item, std::nullopt, session),
        (CloudReminderMatch {u"ext"_s, {u"old"_s, u"new"_s}}));

    // Without ids, the oldest stable match wins; a winner is never its own duplicate.
    item.external_id.reset();
    item.source_item_id.reset();
    EXPECT_EQ(
        resolver.resolveLocalReminderMatch(item, std::nullopt, session), (CloudReminderMatch {u"old"_s, {u"new"_s}}));
    item.source_item_id = u"new"_s;
    EXPECT_EQ(
        resolver.resolveLocalReminderMatch(item, std::nullopt, session), (CloudReminderMatch {u"new"_s, {u"old"_s}}));

    // The stable candidates were compared in full, the external ones too.
    EXPECT_EQ(session.fullComparisonCount(), 2 + (2 + 1) + 2 + 2);

    // A local list id excludes payloads from other lists or without a list.
    EXPECT_FALSE(resolver.resolveLocalReminderMatch(cloudItem(u"srv"_s), u"L1"_s, session));

    // Two external candidates that both pass: no external winner, the first stable match wins.
    auto twin = external;
    twin.local_id = u"ext2"_s;
    w.add(twin);
    CloudReminderMatchSession second(w.locals);
    auto both = cloudItem(u"srv"_s);
    both.external_id = u"E1"_s;
    EXPECT_EQ(resolver.resolveLocalReminderMatch(both, std::nullopt, second)->localID, u"old"_s);
}

TEST(LocalReminderMatchResolver, AppliesCompletionChangesOnlyToPlainReminders)
{
    World w;
    auto plain = dated(u"plain"_s, u"2024-01-01T00:00:00Z"_s);
    w.add(plain);
    auto recurring = dated(u"series"_s, u"2024-01-01T00:00:00Z"_s);
    recurring.title = u"Series"_s;
    w.add(recurring, LocalReminderState {u"series"_s, false, true, std::nullopt, std::nullopt});
    CloudReminderMatchSession session(w.locals);
    const LocalReminderMatchResolver resolver(w.store);

    auto done = cloudItem(u"srv"_s);
    done.is_completed = true;
    done.source_item_id = u"plain"_s;
    EXPECT_EQ(resolver.resolveLocalReminderMatch(done, std::nullopt, session)->localID, u"plain"_s);

    // A recurring cloud item, or a local reminder with rules, never takes another completion state.
    auto doneRecurring = done;
    doneRecurring.repeat_type = u"daily"_s;
    EXPECT_FALSE(resolver.resolveLocalReminderMatch(doneRecurring, std::nullopt, session));
    auto doneSeries = done;
    doneSeries.source_item_id = u"series"_s;
    doneSeries.title = u"Series"_s;
    EXPECT_FALSE(resolver.resolveLocalReminderMatch(doneSeries, std::nullopt, session));
    // A local reminder that has vanished from the store cannot take it either.
    w.store.erase(u"plain"_s);
    EXPECT_FALSE(resolver.resolveLocalReminderMatch(done, std::nullopt, session));
}

TEST(LocalReminderMatchResolver, ComparesStartDatesAsTheContentHashDoes)
{
    auto local = reminder(u"l"_s, u"Dentist"_s);
    local.due_date = u"2025-03-07T00:00:00Z"_s;
    auto cloud = reminder(u"c"_s, u"dentist"_s);
    cloud.due_date = local.due_date;

    struct Case {
        const char *name;
        std::optional<QString> localStart, cloudStart;
        std::optional<bool> localTime, cloudTime;
        bool expected;
    };
    const Case cases[] = {
        {"both absent", std::nullopt, std::nullopt, std::nullopt, std::nullopt, true},
        {"cloud sent no optional keys", u""_s, std::nullopt, false, std::nullopt, true},
        {"absent time flag is false", std::nullopt, std::nullopt, false, std::nullopt, true},
        {"absent time flag is not true", std::nullopt, std::nullopt, true, std::nullopt, false},
        {"same start", u"2025-03-06T16:00:00Z"_s, u"2025-03-06T16:00:00Z"_s, true, true, true},
        {"different start", u"2025-03-06T16:00:00Z"_s, u"2025-03-06T17:00:00Z"_s, true, true, false},
        // The implicit start of a date-only due day: China midnight of the due day.
        {"implicit day start", u"2025-03-06T16:00:00Z"_s, std::nullopt, true, std::nullopt, true},
        {"implicit day start on the cloud side", std::nullopt, u"2025-03-06T16:00:00Z"_s, std::nullopt, true, true},
        {"start not at midnight", u"2025-03-06T17:00:00Z"_s, std::nullopt, true, std::nullopt, false},
        {"midnight of another day", u"2025-03-05T16:00:00Z"_s, std::nullopt, true, std::nullopt, false},
        {"start without time flag", u"2025-03-06T16:00:00Z"_s, std::nullopt, false, std::nullopt, false},
        {"unreadable start", u"7 March"_s, std::nullopt, true, std::nullopt, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto l = local;
        l.start_date = c.localStart;
        l.has_start_time = c.localTime;
        auto r = cloud;
        r.start_date = c.cloudStart;
        r.has_start_time = c.cloudTime;
        EXPECT_EQ(LocalReminderMatchResolver::startDateFieldsMatch(l, r), c.expected);
        EXPECT_EQ(LocalReminderMatchResolver::stableReminderPayload(l, r, std::nullopt), c.expected);
    }

    // Due times rule out the alias; an active recurring cloud item skips the start rule.
    auto timed = local;
    timed.has_due_time = true;
    timed.start_date = u"2025-03-06T16:00:00Z"_s;
    timed.has_start_time = true;
    auto timedCloud = cloud;
    timedCloud.has_due_time = true;
    EXPECT_FALSE(LocalReminderMatchResolver::stableReminderPayload(timed, timedCloud, std::nullopt));
    timed.repeat_type = u"weekly"_s;
    timedCloud.repeat_type = u"Weekly"_s;
    EXPECT_TRUE(LocalReminderMatchResolver::stableReminderPayload(timed, timedCloud, std::nullopt));
}

TEST(LocalReminderMatchResolver, StableComparisonRowByRow)
{
    auto local = reminder(u"l"_s, u"Report"_s);
    local.list_id = u"L1"_s;
    local.list_name = u"Work"_s;
    local.due_date = u"2025-01-01T09:00:00.000Z"_s;
    local.has_due_time = true;
    local.priority = 5;
    auto cloud = reminder(u"c"_s, u" report "_s);
    cloud.list_name = u"WORK"_s;
    cloud.due_date = local.due_date;
    cloud.has_due_time = true;
    cloud.priority = 5;
    ASSERT_TRUE(LocalReminderMatchResolver::stableReminderPayload(local, cloud, std::nullopt));
    ASSERT_TRUE(LocalReminderMatchResolver::stableReminderPayload(local, cloud, u"L1"_s));

    struct Case {
        const char *name;
        std::function<void(ReminderPayload &, ReminderPayload &)> change;
        std::optional<QString> localListID;
    };
    const Case cases[] = {
        {"other local list id", [](auto &, auto &) {}, u"L2"_s},
        {"no local list id", [](auto &l, auto &) { l.list_id.reset(); }, u"L1"_s},
        {"other list name", [](auto &, auto &c) { c.list_name = u"Home"_s; }, std::nullopt},
        {"empty title",
            [](auto &l, auto &c) {
                l.title = u" "_s;
                c.title = u""_s;
            },
            std::nullopt},
        {"notes", [](auto &l, auto &) { l.notes = u"x"_s; }, std::nullopt},
        {"due text", [](auto &, auto &c) { c.due_date = u"2025-01-01T09:00:00Z"_s; }, std::nullopt},
        {"due time", [](auto &, auto &c) { c.has_due_time = false; }, std::nullopt},
        {"url", [](auto &, auto &c) { c.url = u"https://a"_s; }, std::nullopt},
        {"repeat summary", [](auto &, auto &c) { c.repeat_summary = u"every day"_s; }, std::nullopt},
        {"priority absent", [](auto &, auto &c) { c.priority.reset(); }, std::nullopt},
        {"completion", [](auto &, auto &c) { c.is_completed = true; }, std::nullopt},
        {"completion date", [](auto &, auto &c) { c.completion_date = u"2025-01-01T10:00:00Z"_s; }, std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto l = local;
        auto r = cloud;
        c.change(l, r);
        EXPECT_FALSE(LocalReminderMatchResolver::stableReminderPayload(l, r, c.localListID));
    }
    // Without a list name the cloud item matches in any list.
    auto anyList = cloud;
    anyList.list_name.reset();
    auto elsewhere = local;
    elsewhere.list_name = u"Elsewhere"_s;
    EXPECT_TRUE(LocalReminderMatchResolver::stableReminderPayload(elsewhere, anyList, std::nullopt));
}

TEST(LocalReminderMatchResolver, SeesNewerLocalEditsOnlyWhenContentDiffers)
{
    InMemoryReminderLookup store;
    auto cloud = reminder(u"srv"_s, u"Taxes"_s);
    cloud.last_modified = u" 2025-05-01T10:00:00.000Z "_s;
    const auto cloudTime = QDateTime::fromString(u"2025-05-01T10:00:00.000Z"_s, Qt::ISODateWithMs);
    auto local = reminder(u"l"_s, u"Taxes (filed)"_s);
    const LocalReminderMatchResolver resolver(store);

    const auto at = [&](int ms, const ReminderPayload &payload) {
        store.put(payload, LocalReminderState {payload.local_id, false, false, std::nullopt, cloudTime.addMSecs(ms)});
        return resolver.reminderHasNewerLocalChanges(payload.local_id, cloud, std::nullopt);
    };
    EXPECT_FALSE(at(500, local));
    EXPECT_TRUE(at(600, local));
    EXPECT_FALSE(at(600, reminder(u"l"_s, u"taxes"_s))); // later, but stably equal
    EXPECT_FALSE(at(-2000, local));

    // Found in another list than the cloud's copy: moved here, even with an older date (another
    // app moved it while this one was not running), unless the cloud's copy changed later.
    auto moved = reminder(u"l"_s, u"Taxes"_s);
    moved.list_id = u"home"_s;
    store.put(moved, LocalReminderState {u"l"_s, false, false, u"home"_s, cloudTime.addMSecs(-400)});
    EXPECT_TRUE(resolver.reminderHasNewerLocalChanges(u"l"_s, cloud, u"work"_s));
    store.put(moved, LocalReminderState {u"l"_s, false, false, u"home"_s, cloudTime.addMSecs(-600)});
    EXPECT_FALSE(resolver.reminderHasNewerLocalChanges(u"l"_s, cloud, u"work"_s));
    // The cloud's copy still in the list last synced: moved here, however much older.
    EXPECT_TRUE(resolver.reminderHasNewerLocalChanges(u"l"_s, cloud, u"work"_s, true));

    auto unreadable = cloud;
    unreadable.last_modified = u"yesterday"_s;
    EXPECT_FALSE(resolver.reminderHasNewerLocalChanges(u"l"_s, unreadable, std::nullopt));
    store.put(local, LocalReminderState {u"l"_s, false, true, std::nullopt, std::nullopt});
    EXPECT_FALSE(resolver.reminderHasNewerLocalChanges(u"l"_s, cloud, std::nullopt));
    EXPECT_TRUE(resolver.reminderHasRecurrence(u"l"_s));
    EXPECT_FALSE(resolver.reminderHasRecurrence(u"missing"_s));
}

TEST(LocalReminderMatchResolver, FindsTheTargetOfARecurringCompletionCommand)
{
    World w;
    auto series = [](const QString &id, const QString &createdAt) {
        auto p = dated(id, createdAt);
        p.repeat_type = u"weekly"_s;
        p.due_date = u"2025-06-02T00:00:00Z"_s;
        p.list_id = u"L1"_s;
        return p;
    };
    const auto state = [](const QString &id, bool completed, bool rules) {
        return LocalReminderState {id, completed, rules, u"L1"_s, std::nullopt};
    };
    w.add(series(u"mapped"_s, u"2024-01-01T00:00:00Z"_s), state(u"mapped"_s, true, true)); // already completed
    w.add(series(u"source"_s, u"2024-02-01T00:00:00Z"_s), state(u"source"_s, false, false)); // lost its rules
    w.add(series(u"candidate"_s, u"2024-03-01T00:00:00Z"_s), state(u"candidate"_s, false, true)); // the live series
    CloudReminderMatchSession session(w.locals);
    const LocalReminderMatchResolver resolver(w.store);

    auto command = cloudItem(u"srv"_s);
    command.is_completed = true;
    command.repeat_type = u"WEEKLY"_s;
    command.due_date = u"2025-06-02T00:00:00Z"_s;
    command.source_item_id = u"source"_s;
    EXPECT_EQ(resolver.resolveLocalRecurringCompletionCommandTarget(command, u"L1"_s, u" mapped "_s, session),
        u"candidate"_s);
    EXPECT_EQ(session.fullComparisonCount(), 3);

    // Another local list, or no repeat type on the command: nothing.
    EXPECT_FALSE(resolver.resolveLocalRecurringCompletionCommandTarget(command, u"L2"_s, std::nullopt, session));
    auto noRepeat = command;
    noRepeat.repeat_type = u"  "_s;
    EXPECT_FALSE(resolver.resolveLocalRecurringCompletionCommandTarget(noRepeat, std::nullopt, std::nullopt, session));
    // A mapped reminder that passes wins before the others, under its trimmed id.
    w.store.put(series(u"mapped"_s, u"2024-01-01T00:00:00Z"_s), state(u"mapped"_s, false, true));
    EXPECT_EQ(
        resolver.resolveLocalRecurringCompletionCommandTarget(command, u"L1"_s, u" mapped "_s, session), u"mapped"_s);
}
