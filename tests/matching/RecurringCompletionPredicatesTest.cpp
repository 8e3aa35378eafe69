#include "matching/RecurringCompletionPredicates.h"
#include "matching/TestPayloads.h"

#include <gtest/gtest.h>

#include <functional>

using namespace quorvin;
using namespace quorvin::test;
using namespace Qt::Literals::StringLiterals;
using P = RecurringCompletionPredicates;

namespace {

using Edit = std::function<void(ReminderPayload &)>;

struct Row {
    const char *name;
    Edit editA;
    Edit editB;
    bool expected;
};

const Edit none = [](ReminderPayload &) {};

// Every row edits a pair that passes and checks the predicate on the result.
void runTable(const ReminderPayload &a, const ReminderPayload &b, std::initializer_list<Row> rows,
    const std::function<bool(const ReminderPayload &, const ReminderPayload &)> &predicate)
{
    ASSERT_TRUE(predicate(a, b));
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        auto x = a;
        auto y = b;
        row.editA(x);
        row.editB(y);
        EXPECT_EQ(predicate(x, y), row.expected);
    }
}

ReminderPayload series()
{
    auto p = reminder(u"active"_s, u"Gym"_s);
    p.list_name = u"Health"_s;
    p.list_id = u"L1"_s;
    p.repeat_type = u"weekly"_s;
    p.repeat_summary = u"Every week"_s;
    p.due_date = u"2025-06-09T00:00:00Z"_s;
    p.priority = 1;
    return p;
}

ReminderPayload occurrence()
{
    auto p = reminder(u"done"_s, u" gym "_s);
    p.list_name = u"health"_s;
    p.list_id = u"other-id-space"_s;
    p.is_completed = true;
    p.due_date = u"2025-06-02T00:00:00Z"_s;
    p.completion_date = u"2025-06-02T08:00:00Z"_s;
    p.priority = 1;
    return p;
}

} // namespace

TEST(RecurringCompletionPredicates, SameRemoteRecurringCompletionIdentity)
{
    runTable(series(), occurrence(),
        {
            {"list ids never count", none, [](auto &b) { b.list_id = u"X"_s; }, true},
            {"b without list name matches any list", none, [](auto &b) { b.list_name.reset(); }, true},
            {"other list name", none, [](auto &b) { b.list_name = u"Work"_s; }, false},
            {"a without list name", [](auto &a) { a.list_name.reset(); }, none, false},
            {"both titles blank", [](auto &a) { a.title = u" "_s; }, [](auto &b) { b.title = u""_s; }, false},
            {"other notes", none, [](auto &b) { b.notes = u"bring towel"_s; }, false},
            {"other url", [](auto &a) { a.url = u"https://gym"_s; }, none, false},
            {"priority 5 against absent", none, [](auto &b) { b.priority.reset(); }, false},
            {"both priorities absent", [](auto &a) { a.priority.reset(); }, [](auto &b) { b.priority.reset(); }, true},
            {"dates never count", none, [](auto &b) { b.due_date.reset(); }, true},
        },
        P::sameRemoteRecurringCompletionIdentity);
}

TEST(RecurringCompletionPredicates, IsRemoteRecurringCompletionPair)
{
    runTable(series(), occurrence(),
        {
            {"active is completed", [](auto &a) { a.is_completed = true; }, none, false},
            {"occurrence is open", none, [](auto &b) { b.is_completed = false; }, false},
            {"due-time flags differ", none, [](auto &b) { b.has_due_time = true; }, false},
            {"active without repeat type", [](auto &a) { a.repeat_type = u" "_s; }, none, false},
            {"occurrence still has a summary", none, [](auto &b) { b.repeat_summary = u"Every week"_s; }, false},
            {"same due text", none, [](auto &b) { b.due_date = u"2025-06-09T00:00:00Z"_s; }, false},
            {"occurrence without due date", none, [](auto &b) { b.due_date = u""_s; }, false},
            {"no completion date", none, [](auto &b) { b.completion_date.reset(); }, false},
            {"unreadable completion date", none, [](auto &b) { b.completion_date = u"today"_s; }, false},
            {"plain completion date", none, [](auto &b) { b.completion_date = u"2025-06-02T08:00:00.123Z"_s; }, true},
            {"other title", none, [](auto &b) { b.title = u"Swim"_s; }, false},
        },
        P::isRemoteRecurringCompletionPair);
}

TEST(RecurringCompletionPredicates, LocalReminderCanApplyRemoteRecurringCompletion)
{
    auto local = series();
    local.local_id = u"local"_s;
    local.due_date = occurrence().due_date;
    const auto active = series();
    runTable(local, occurrence(),
        {
            {"local completed", [](auto &l) { l.is_completed = true; }, none, false},
            {"local due-time flag", [](auto &l) { l.has_due_time = true; }, none, false},
            {"local already moved on", [](auto &l) { l.due_date = u"2025-06-09T00:00:00Z"_s; }, none, false},
            {"other repeat type", [](auto &l) { l.repeat_type = u"daily"_s; }, none, false},
            {"repeat type differs only in case", [](auto &l) { l.repeat_type = u"WEEKLY "_s; }, none, true},
            {"other list name than the occurrence", none, [](auto &c) { c.list_name = u"Work"_s; }, false},
        },
        [&active](const ReminderPayload &l, const ReminderPayload &c) {
            return P::localReminderCanApplyRemoteRecurringCompletion(l, active, c);
        });
}

TEST(RecurringCompletionPredicates, CompletionDatesMatch)
{
    struct Case {
        std::optional<QString> a, b;
        bool expected;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, true},
        {std::nullopt, u"  "_s, true},
        {std::nullopt, u"2025-06-02T08:00:00Z"_s, false},
        {u"2025-06-02T08:00:00Z"_s, u" 2025-06-02T08:04:59Z"_s, true},
        {u"2025-06-02T08:00:00Z"_s, u"2025-06-02T08:05:00Z"_s, false},
        {u"2025-06-02T08:05:00.000Z"_s, u"2025-06-02T08:00:00Z"_s, false},
        {u"2025-06-02T08:00:00Z"_s, u"2025-06-02T10:02:00+02:00"_s, true},
        {u"soon"_s, u" soon "_s, true},
        {u"soon"_s, u"later"_s, false},
        {u"soon"_s, u"2025-06-02T08:00:00Z"_s, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE((c.a.value_or(u"<absent>"_s) + u" / "_s + c.b.value_or(u"<absent>"_s)).toStdString());
        EXPECT_EQ(P::completionDatesMatch(c.a, c.b), c.expected);
        EXPECT_EQ(P::completionDatesMatch(c.b, c.a), c.expected);
    }
}

TEST(RecurringCompletionPredicates, SameCompletedOccurrenceIdentity)
{
    auto local = occurrence();
    local.local_id = u"local-copy"_s;
    local.completion_date = u"2025-06-02T08:03:00Z"_s;
    runTable(local, occurrence(),
        {
            {"completion within five minutes", none, none, true},
            {"completion far apart", [](auto &a) { a.completion_date = u"2025-06-02T09:00:00Z"_s; }, none, false},
            {"remote without completion date", [](auto &a) { a.completion_date = u"2025-06-02T09:00:00Z"_s; },
                [](auto &b) { b.completion_date.reset(); }, true},
            {"other list name", none, [](auto &b) { b.list_name = u"Work"_s; }, false},
            {"other notes", [](auto &a) { a.notes = u"x"_s; }, none, false},
        },
        P::sameCompletedOccurrenceIdentity);
}

TEST(RecurringCompletionPredicates, LocalCompletedOccurrence)
{
    auto local = occurrence();
    local.local_id = u"local-copy"_s;
    runTable(local, occurrence(),
        {
            {"local open", [](auto &l) { l.is_completed = false; }, none, false},
            {"remote open", none, [](auto &r) { r.is_completed = false; }, false},
            {"local still recurring", [](auto &l) { l.repeat_summary = u"Every week"_s; }, none, false},
            {"due-time flags differ", [](auto &l) { l.has_due_time = true; }, none, false},
            {"other due text", [](auto &l) { l.due_date = u"2025-06-02T00:00:00.000Z"_s; }, none, false},
            {"both without due date", [](auto &l) { l.due_date.reset(); }, [](auto &r) { r.due_date = u""_s; }, true},
            {"completion far apart", [](auto &l) { l.completion_date = u"2025-06-03T08:00:00Z"_s; }, none, false},
        },
        P::localCompletedOccurrence);
}

TEST(RecurringCompletionPredicates, StableReminderPayloadIgnoringCompletion)
{
    auto local = reminder(u"l"_s, u"Renew passport"_s);
    local.list_id = u"L1"_s;
    local.list_name = u"Admin"_s;
    local.due_date = u"2025-07-01T00:00:00Z"_s;
    auto cloud = local;
    cloud.local_id = u"srv"_s;
    cloud.list_id = u"server-list"_s;
    cloud.is_completed = true;
    cloud.completion_date = u"2025-07-01T10:00:00Z"_s;
    const auto withoutList = [](const ReminderPayload &l, const ReminderPayload &c) {
        return P::stableReminderPayloadIgnoringCompletion(l, c, std::nullopt);
    };
    runTable(local, cloud,
        {
            {"other list name", none, [](auto &c) { c.list_name = u"Home"_s; }, false},
            {"cloud without list name", [](auto &l) { l.list_name = u"Home"_s; }, [](auto &c) { c.list_name.reset(); },
                true},
            {"blank titles", [](auto &l) { l.title = u""_s; }, [](auto &c) { c.title = u"  "_s; }, false},
            {"other due text", none, [](auto &c) { c.due_date = u"2025-07-01T00:00:00.000Z"_s; }, false},
            {"due-time flag", none, [](auto &c) { c.has_due_time = true; }, false},
            {"repeat type", none, [](auto &c) { c.repeat_type = u"daily"_s; }, false},
            {"priority", [](auto &l) { l.priority = 5; }, none, false},
            {"start dates are ignored", none, [](auto &c) { c.start_date = u"2025-06-30T00:00:00Z"_s; }, true},
        },
        withoutList);
    EXPECT_TRUE(P::stableReminderPayloadIgnoringCompletion(local, cloud, u"L1"_s));
    auto noListID = local;
    noListID.list_id.reset();
    EXPECT_FALSE(P::stableReminderPayloadIgnoringCompletion(noListID, cloud, u"L1"_s));
}

TEST(RecurringCompletionPredicates, RemoteReminderHasRecurrence)
{
    auto p = reminder(u"r"_s);
    EXPECT_FALSE(P::remoteReminderHasRecurrence(p));
    p.repeat_type = u" \n"_s;
    EXPECT_FALSE(P::remoteReminderHasRecurrence(p));
    p.repeat_summary = u"Every day"_s;
    EXPECT_TRUE(P::remoteReminderHasRecurrence(p));
    auto ruled = reminder(u"q"_s);
    ruled.recurrence_rule = ReminderRecurrenceRulePayload {};
    EXPECT_TRUE(P::remoteReminderHasRecurrence(ruled));
}
