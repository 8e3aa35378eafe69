#include "matching/CompletedReminderCandidateIndex.h"
#include "matching/RecurringActivityCandidateIndex.h"
#include "matching/RecurringReminderPairCandidateIndex.h"
#include "matching/TestPayloads.h"

#include <gtest/gtest.h>

using namespace quorvin;
using namespace quorvin::test;
using namespace Qt::Literals::StringLiterals;

namespace {

template <class Item> QStringList ids(const QList<Item> &items)
{
    QStringList result;
    for (const auto &p : items) {
        if constexpr (std::is_same_v<Item, ReminderPayload>) {
            result.append(p.local_id);
        } else {
            result.append(p->local_id);
        }
    }
    return result;
}

ReminderPayload active(const QString &id, std::optional<QString> due, std::optional<QString> modified = std::nullopt)
{
    auto p = reminder(id, u"Yoga"_s);
    p.repeat_type = u"weekly"_s;
    p.due_date = std::move(due);
    p.last_modified = std::move(modified);
    return p;
}

ReminderPayload completedCopy(
    const QString &id, std::optional<QString> due, std::optional<QString> completion = std::nullopt)
{
    auto p = reminder(id, u"yoga "_s);
    p.is_completed = true;
    p.due_date = std::move(due);
    p.completion_date = std::move(completion);
    return p;
}

} // namespace

TEST(RecurringReminderPairCandidateIndex, NarrowsByListAndOrdersCandidates)
{
    auto inWork = active(u"a-work"_s, u"2025-06-09T00:00:00Z"_s);
    inWork.list_id = u" L1 "_s;
    inWork.list_name = u"Work"_s;
    auto homeLater = active(u"a-home-late"_s, u"2025-06-10T00:00:00Z"_s);
    homeLater.list_name = u"Home"_s;
    auto homeEarly = active(u"a-home-early"_s, u"2025-06-08T00:00:00Z"_s, u"2025-01-01"_s);
    homeEarly.list_name = u"Home"_s;
    auto homeEarlyNewer = active(u"a-home-early-2"_s, u"2025-06-08T00:00:00.000Z"_s, u"2025-02-01"_s);
    homeEarlyNewer.list_name = u"home"_s;
    auto undated = active(u"a-undated"_s, u"soon"_s);
    undated.list_name = u"Home"_s;
    auto blank = active(u"a-blank"_s, u"2025-06-01T00:00:00Z"_s);
    blank.title = u"  "_s;

    auto byID = completedCopy(u"c-id"_s, u"2025-06-02T00:00:00Z"_s);
    byID.list_id = u"L1"_s;
    byID.list_name = u"Elsewhere"_s;
    auto byName = completedCopy(u"c-name"_s, u"2025-06-02T00:00:00Z"_s);
    byName.list_name = u" HOME"_s;
    auto anywhere = completedCopy(u"c-any"_s, u"2025-06-01T00:00:00Z"_s);
    auto blankCopy = completedCopy(u"c-blank"_s, u"2025-06-01T00:00:00Z"_s);
    blankCopy.title = u""_s;

    const RecurringReminderPairCandidateIndex index(
        {undated, homeLater, inWork, homeEarly, homeEarlyNewer, blank}, {byID, byName, anywhere, blankCopy});
    // A list id finds that list whatever the names; unreadable dates last; equal instants by
    // latest modification.
    EXPECT_EQ(ids(index.activeCandidates(byID)), QStringList {u"a-work"_s});
    EXPECT_EQ(ids(index.activeCandidates(byName)),
        (QStringList {u"a-home-early-2"_s, u"a-home-early"_s, u"a-home-late"_s, u"a-undated"_s}));
    EXPECT_EQ(ids(index.activeCandidates(anywhere)).size(), 5);
    EXPECT_TRUE(index.activeCandidates(blankCopy).isEmpty());
    EXPECT_TRUE(index.completedCandidates(blank).isEmpty());

    // An active finds copies filed under its list id, its list name and "any".
    EXPECT_EQ(ids(index.completedCandidates(inWork)), (QStringList {u"c-id"_s, u"c-any"_s}));
    EXPECT_EQ(ids(index.completedCandidates(homeLater)), (QStringList {u"c-name"_s, u"c-any"_s}));

    // Completed order: latest due first, equal due by latest completion, unreadable due last; an id
    // reached twice comes back once.
    auto late = completedCopy(u"x1"_s, u"2025-06-05T00:00:00Z"_s, u"2025-06-05T08:00:00Z"_s);
    auto lateNewer = completedCopy(u"x2"_s, u"2025-06-05T00:00:00Z"_s, u"2025-06-05T09:00:00Z"_s);
    auto bad = completedCopy(u"x3"_s, u"??"_s);
    auto twiceByID = completedCopy(u"x4"_s, u"2025-06-01T00:00:00Z"_s);
    twiceByID.list_id = u"L1"_s;
    auto twiceByName = twiceByID;
    twiceByName.list_id.reset();
    twiceByName.list_name = u"Work"_s;
    const RecurringReminderPairCandidateIndex ordered({inWork}, {bad, late, twiceByID, lateNewer, twiceByName});
    EXPECT_EQ(ids(ordered.completedCandidates(inWork)), (QStringList {u"x2"_s, u"x1"_s, u"x4"_s, u"x3"_s}));

    // Full ties come by local id, whichever bucket found them first.
    auto tieByName = completedCopy(u"t0"_s, u"2025-06-05T00:00:00Z"_s, u"2025-06-05T08:00:00Z"_s);
    tieByName.list_name = u"Work"_s;
    auto tieByID = tieByName;
    tieByID.local_id = u"t1"_s;
    tieByID.list_name.reset();
    tieByID.list_id = u"L1"_s;
    const RecurringReminderPairCandidateIndex ties({inWork}, {tieByName, tieByID});
    EXPECT_EQ(ids(ties.completedCandidates(inWork)), (QStringList {u"t0"_s, u"t1"_s}));
}

TEST(CompletedReminderCandidateIndex, MeetsNearbyCompletionsAndSameDays)
{
    const auto item = [](const QString &id, const QString &due, bool timed, std::optional<QString> completion) {
        auto p = completedCopy(id, due, std::move(completion));
        p.has_due_time = timed;
        return p;
    };
    // 08:01:59 and 08:02:01 lie in neighbouring two-minute buckets.
    auto base = item(u"base"_s, u"2025-03-07T00:00:00Z"_s, false, u"2025-03-07T08:01:59Z"_s);
    auto acrossBoundary = item(u"across"_s, u"2025-03-07T00:00:00Z"_s, false, u"2025-03-07T08:02:01Z"_s);
    auto sameDayOtherTime = item(u"day"_s, u"2025-03-07T15:00:00Z"_s, false, u"2025-03-07T08:01:00.000Z"_s);
    auto farLater = item(u"far"_s, u"2025-03-07T00:00:00Z"_s, false, u"2025-03-07T08:06:00Z"_s);
    auto timedOtherText = item(u"timed"_s, u"2025-03-07T15:00:00Z"_s, true, u"2025-03-07T08:01:59Z"_s);
    auto noCompletion = item(u"none"_s, u"2025-03-07T00:00:00Z"_s, false, std::nullopt);
    auto otherList = item(u"list"_s, u"2025-03-07T00:00:00Z"_s, false, u"2025-03-07T08:01:59Z"_s);
    otherList.list_id = u"L9"_s;
    auto sameTextUnreadable = item(u"text"_s, u"2025-03-07T00:00:00Z"_s, false, u"teatime"_s);

    const CompletedReminderCandidateIndex index({farLater, acrossBoundary, base, sameDayOtherTime, timedOtherText,
        noCompletion, otherList, sameTextUnreadable, base});
    EXPECT_EQ(ids(index.candidates(base)), (QStringList {u"across"_s, u"day"_s, u"base"_s}));
    auto unreadable = sameTextUnreadable;
    unreadable.local_id = u"query"_s;
    EXPECT_EQ(ids(index.candidates(unreadable)), QStringList {u"text"_s});
    auto timedQuery = timedOtherText;
    timedQuery.due_date = u"2025-03-07T15:00:00.000Z"_s;
    EXPECT_TRUE(index.candidates(timedQuery).isEmpty());

    EXPECT_EQ(CompletedReminderCandidateIndex::dueTokens(base),
        (QStringList {u"exact:2025-03-07T00:00:00Z"_s, u"day:2025-3-7"_s}));
    EXPECT_EQ(CompletedReminderCandidateIndex::listKeys(base), QStringList {u"id:"_s});
    auto beforeEpoch = base;
    beforeEpoch.completion_date = u"1969-12-31T23:59:59Z"_s;
    EXPECT_EQ(CompletedReminderCandidateIndex::completionInsertionTokens(beforeEpoch).last(), u"bucket:-1"_s);
}

TEST(RecurringActivityCandidateIndex, KeysTrimButKeepCase)
{
    auto series = active(u"series"_s, u"2025-06-02T00:00:00Z"_s);
    series.notes = u"mat"_s;
    auto next = series;
    next.local_id = u"next"_s;
    next.notes = u"  mat "_s;
    next.list_name = u"Other list"_s;
    next.due_date = u"2025-06-09T00:00:00Z"_s;
    auto shouted = next;
    shouted.local_id = u"shouted"_s;
    shouted.title = u"YOGA"_s;
    auto undated = next;
    undated.local_id = u"undated"_s;
    undated.due_date = u" "_s;
    auto done = series;
    done.local_id = u"done"_s;
    done.is_completed = true;
    done.repeat_type.reset();
    done.completion_date = u"2025-06-02T08:00:00Z"_s;
    auto doneWithoutDate = done;
    doneWithoutDate.local_id = u"done-undated"_s;
    doneWithoutDate.completion_date.reset();

    const auto share = [](const ReminderPayload &p) { return std::make_shared<const ReminderPayload>(p); };
    const RecurringActivityCandidateIndex index(
        {share(next), share(shouted), share(undated), share(done), share(doneWithoutDate)});
    EXPECT_EQ(ids(index.nextActiveCandidates(series)), QStringList {u"next"_s});
    EXPECT_EQ(ids(index.completedCopiesByKey().value(RecurringCompletedCopyActivityKey::from(series))),
        QStringList {u"done"_s});

    // The summary, when present, must agree; without it the repeat type alone decides.
    auto summarised = series;
    summarised.repeat_summary = u"Every Monday"_s;
    EXPECT_TRUE(index.nextActiveCandidates(summarised).isEmpty());
    EXPECT_EQ(RecurringNextActiveActivityKey::from(series).recurrenceText, u"weekly"_s);
}
