#include "MonitorFixture.h"

#include "matching/CloudReminderMatchSession.h"
#include "matching/MatchText.h"
#include "matching/SyncStateStore.h"
#include "model/DateFormatters.h"
#include "model/SyncError.h"

using namespace Qt::Literals::StringLiterals;
using namespace quorvin;
using namespace quorvin::test;

namespace {

class Recurring : public MonitorFixture {
protected:
    QString series(int day, bool timed = true)
    {
        Reminder r;
        r.title = u"Stretch"_s;
        r.dueDateComponents = timed ? at(2026, 6, day, 9) : at(2026, 6, day);
        RecurrenceRule daily;
        r.recurrenceRules = {daily};
        return save(r).id;
    }

    QString completedCopy(int day, const QDateTime &completedAt)
    {
        clock.advance(std::chrono::minutes(1));
        Reminder r;
        r.title = u"Stretch"_s;
        r.dueDateComponents = at(2026, 6, day, 9);
        r.completed = true;
        r.completionDate = completedAt;
        return save(r).id;
    }

    QString active(const QString &title)
    {
        clock.advance(std::chrono::minutes(1));
        Reminder r;
        r.title = title;
        r.dueDateComponents = at(2026, 6, 1, 9);
        return save(r).id;
    }

    std::unique_ptr<CloudReminderMatchSession> session()
    {
        QList<ReminderPayload> payloads;
        for (const Reminder &r : store.reminders()) {
            payloads.append(*monitor.mapReminder(r, false));
        }
        return std::make_unique<CloudReminderMatchSession>(payloads);
    }

    QDateTime shanghai(int day, int hour) const
    {
        return GregorianCalendar(QTimeZone("Asia/Shanghai")).instant(QDate(2026, 6, day), QTime(hour, 0));
    }
};

} // namespace

TEST_F(Recurring, AlignsTheLocalSeriesForwardOnly)
{
    const QString id = series(1);
    ReminderPayload cloud = mapped(id);
    cloud.local_id = u"server-1"_s;
    cloud.list_id = u"server-list"_s;

    ReminderPayload earlier = cloud;
    earlier.due_date = u"2026-05-31T01:00:00.000Z"_s;
    EXPECT_FALSE(run(monitor.alignActiveRecurringReminderDate(id, earlier)));
    ReminderPayload untimed = cloud;
    untimed.due_date = u"2026-06-03T01:00:00.000Z"_s;
    untimed.has_due_time = false;
    EXPECT_FALSE(run(monitor.alignActiveRecurringReminderDate(id, untimed)));
    ReminderPayload otherType = cloud;
    otherType.due_date = u"2026-06-03T01:00:00.000Z"_s;
    otherType.repeat_type = u"weekly"_s;
    EXPECT_FALSE(run(monitor.alignActiveRecurringReminderDate(id, otherType)));
    const int saves = store.counters().reminderSaves;

    cloud.due_date = u"2026-06-03T01:00:00.000Z"_s;
    EXPECT_TRUE(run(monitor.alignActiveRecurringReminderDate(id, cloud)));
    EXPECT_EQ(store.counters().reminderSaves, saves + 1);
    const Reminder aligned = *store.reminder(id);
    EXPECT_EQ(aligned.dueDateComponents, at(2026, 6, 3, 9));
    EXPECT_EQ(aligned.listId, listId);
    EXPECT_EQ(aligned.recurrenceRules.size(), 1u);

    // A completed series is never aligned.
    Reminder done = aligned;
    done.completed = true;
    save(done);
    cloud.due_date = u"2026-06-05T01:00:00.000Z"_s;
    EXPECT_FALSE(run(monitor.alignActiveRecurringReminderDate(id, cloud)));
}

TEST_F(Recurring, RemovesCompletedCopiesWithOneCommit)
{
    const QString oldest = completedCopy(1, shanghai(1, 10));
    const QString middle = completedCopy(1, shanghai(1, 10));
    const QString newest = completedCopy(1, shanghai(1, 10));
    const QString unrelated = completedCopy(2, shanghai(2, 10));
    ReminderPayload remote = mapped(oldest);
    remote.local_id = u"server-9"_s;

    {
        auto matchSession = session();
        const int commits = store.counters().commits;
        const auto kept = run(monitor.removeLocalCompletedOccurrences(remote, newest, true, matchSession.get()));
        EXPECT_EQ(kept.keptLocalID, oldest);
        EXPECT_EQ(kept.removedLocalIDs, QList<QString> {middle});
        EXPECT_EQ(store.counters().commits, commits + 1);
        EXPECT_TRUE(store.reminder(newest));
        EXPECT_FALSE(matchSession->payload(middle));
        EXPECT_TRUE(matchSession->payload(oldest));
        EXPECT_GT(matchSession->fullComparisonCount(), 0);
    }

    // A failed commit removes nothing and leaves nothing staged for a later commit.
    const QString another = completedCopy(1, shanghai(1, 10));
    {
        auto matchSession = session();
        store.failNextCommit();
        EXPECT_THROW(run(monitor.removeLocalCompletedOccurrences(remote, std::nullopt, false, matchSession.get())),
            ReminderStoreError);
        EXPECT_FALSE(store.hasUncommittedChanges());
        EXPECT_TRUE(store.reminder(oldest));
        EXPECT_TRUE(store.reminder(another));
        EXPECT_TRUE(matchSession->payload(oldest));
        active(u"Unrelated"_s);
        EXPECT_TRUE(store.reminder(newest));
    }

    // A removal refused part-way drops the removals staged before it: nothing is committed then
    // or by the next write, and the session still holds every copy.
    {
        auto matchSession = session();
        const int commits = store.counters().commits;
        store.failRemoval(2);
        EXPECT_THROW(run(monitor.removeLocalCompletedOccurrences(remote, std::nullopt, false, matchSession.get())),
            ReminderStoreError);
        EXPECT_FALSE(store.hasUncommittedChanges());
        EXPECT_EQ(store.counters().commits, commits);
        active(u"Unrelated too"_s);
        for (const QString &id : {oldest, newest, another}) {
            EXPECT_TRUE(store.reminder(id));
            EXPECT_TRUE(matchSession->payload(id));
        }
    }

    {
        auto matchSession = session();
        const int commits = store.counters().commits;
        const auto removed
            = run(monitor.removeLocalCompletedOccurrences(remote, std::nullopt, false, matchSession.get()));
        EXPECT_EQ(removed.keptLocalID, std::nullopt);
        EXPECT_EQ(removed.removedLocalIDs, (QList<QString> {oldest, newest, another}));
        EXPECT_EQ(store.counters().commits, commits + 1);
        EXPECT_TRUE(store.reminder(unrelated));
    }
}

TEST_F(Recurring, RemovesExactlyOneActiveDuplicateOfACompletedCloudItem)
{
    const QString single = active(u"Call mum"_s);
    ReminderPayload cloud = mapped(single);
    cloud.local_id = u"server-2"_s;
    cloud.is_completed = true;
    cloud.completion_date = u"2026-06-01T02:00:00.000Z"_s;

    auto matchSession = session();
    EXPECT_TRUE(
        run(monitor.removeLocalUncompletedDuplicates(cloud, std::nullopt, {single}, matchSession.get())).isEmpty());
    EXPECT_TRUE(run(monitor.removeLocalUncompletedDuplicates(cloud, single, {}, matchSession.get())).isEmpty());
    ReminderPayload recurring = cloud;
    recurring.repeat_type = u"daily"_s;
    EXPECT_TRUE(
        run(monitor.removeLocalUncompletedDuplicates(recurring, std::nullopt, {}, matchSession.get())).isEmpty());
    ReminderPayload open = cloud;
    open.is_completed = false;
    EXPECT_TRUE(run(monitor.removeLocalUncompletedDuplicates(open, std::nullopt, {}, matchSession.get())).isEmpty());
    EXPECT_TRUE(store.reminder(single));

    // A removal whose commit fails leaves nothing staged for a later write, and the session keeps
    // the reminder.
    store.failNextCommit();
    EXPECT_THROW(
        run(monitor.removeLocalUncompletedDuplicates(cloud, std::nullopt, {}, matchSession.get())), ReminderStoreError);
    EXPECT_FALSE(store.hasUncommittedChanges());
    EXPECT_TRUE(matchSession->payload(single));

    EXPECT_EQ(run(monitor.removeLocalUncompletedDuplicates(cloud, std::nullopt, {}, matchSession.get())),
        QList<QString> {single});
    EXPECT_FALSE(store.reminder(single));
    EXPECT_FALSE(matchSession->payload(single));

    // Two matches are both kept.
    const QString first = active(u"Pay rent"_s);
    const QString second = active(u"Pay rent"_s);
    ReminderPayload rent = mapped(first);
    rent.local_id = u"server-3"_s;
    rent.is_completed = true;
    auto again = session();
    EXPECT_TRUE(run(monitor.removeLocalUncompletedDuplicates(rent, std::nullopt, {}, again.get())).isEmpty());
    EXPECT_TRUE(store.reminder(first));
    EXPECT_TRUE(store.reminder(second));
}

TEST_F(Recurring, AppliesARemoteRecurringCompletion)
{
    const QString oldCopy = completedCopy(1, shanghai(1, 10));
    clock.advance(std::chrono::minutes(1));
    const QString localSeries = series(1);

    ReminderPayload activeItem = mapped(localSeries);
    activeItem.local_id = u"server-active"_s;
    activeItem.due_date = u"2026-06-02T01:00:00.000Z"_s;
    ReminderPayload occurrence = mapped(oldCopy);
    occurrence.local_id = u"server-done"_s;
    occurrence.completion_date = ReminderPayload::isoString(shanghai(1, 10));

    auto matchSession = session();
    ReminderPayload noDate = occurrence;
    noDate.completion_date = u"yesterday"_s;
    EXPECT_EQ(run(monitor.applyRemoteRecurringCompletionIfNeeded(activeItem, noDate, localSeries, matchSession.get())),
        std::nullopt);
    EXPECT_TRUE(store.reminder(oldCopy));
    EXPECT_EQ(
        run(monitor.applyRemoteRecurringCompletionIfNeeded(activeItem, std::nullopt, localSeries, matchSession.get())),
        std::nullopt);

    const auto nextId
        = run(monitor.applyRemoteRecurringCompletionIfNeeded(activeItem, occurrence, localSeries, matchSession.get()));
    ASSERT_TRUE(nextId);
    EXPECT_FALSE(store.reminder(oldCopy));
    const Reminder completed = *store.reminder(localSeries);
    EXPECT_TRUE(completed.completed);
    EXPECT_EQ(completed.completionDate, shanghai(1, 10));
    EXPECT_TRUE(completed.recurrenceRules.empty());
    EXPECT_EQ(store.reminder(*nextId)->dueDateComponents, at(2026, 6, 2, 9));
}

// A series completed from outside, its rules still on (as another reminders app or an edit of
// the database leaves it), is split as such an app splits it before the journal sees it: the
// completed occurrence keeps its id without the rules, a new open reminder continues the series.
TEST_F(Recurring, ASeriesCompletedFromOutsideIsSplitBeforeItIsJournalled)
{
    Reminder r;
    r.title = u"Stretch"_s;
    r.notes = u"mat"_s;
    r.url = u"https://Example.com/Plan"_s;
    r.priority = 5;
    r.dueDateComponents = at(2026, 6, 1, 9);
    r.startDateComponents = r.dueDateComponents;
    r.alarms = std::vector {ReminderAlarm::atOffset(-600), ReminderAlarm::atDate(shanghai(1, 9))};
    r.recurrenceRules = {RecurrenceRule {}};
    const QString id = save(r).id;
    Reminder undated = r;
    undated.title = u"Someday"_s;
    undated.dueDateComponents.reset();
    const QString undatedId = save(undated).id;
    // Found completed with its rules already: left as it is, however it came to be.
    Reminder old = r;
    old.title = u"Old"_s;
    old.completed = true;
    old.completionDate = shanghai(1, 10);
    const QString oldId = save(old).id;
    ManualClock::drainEvents();
    run(monitor.start());

    for (const QString &outside : {id, undatedId}) {
        Reminder done = *store.reminder(outside);
        done.completed = true;
        done.completionDate = shanghai(3, 10);
        store.saveReminder(done);
    }
    const auto stored = store.reminders();

    // Written like any bridge write: a failed commit leaves nothing staged and the journal as it
    // was, and the next refresh tries again.
    store.failNextCommit();
    EXPECT_THROW(run(monitor.refresh(u"manual"_s)), ReminderStoreError);
    EXPECT_FALSE(store.hasUncommittedChanges());
    EXPECT_EQ(store.reminders(), stored);
    EXPECT_EQ(events.size(), 1u);

    ManualClock::drainEvents();
    clock.advance(std::chrono::seconds(1));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events.back().reason, u"eventkit-change"_s);
    const Reminder completed = *store.reminder(id);
    EXPECT_TRUE(completed.completed);
    EXPECT_EQ(completed.completionDate, shanghai(3, 10));
    EXPECT_TRUE(completed.recurrenceRules.empty());
    std::optional<Reminder> next;
    for (const Reminder &item : store.reminders()) {
        if (!item.completed) {
            ASSERT_FALSE(next) << "one new occurrence";
            next = item;
        }
    }
    ASSERT_TRUE(next);
    EXPECT_EQ(next->dueDateComponents, at(2026, 6, 4, 9));
    EXPECT_EQ(next->startDateComponents, at(2026, 6, 4, 9));
    EXPECT_EQ(next->alarms, (std::vector {ReminderAlarm::atOffset(-600), ReminderAlarm::atDate(shanghai(4, 9))}));
    EXPECT_EQ(next->recurrenceRules, r.recurrenceRules);
    EXPECT_EQ(next->listId, listId);
    // Nothing to continue without a due date: that one stays as it was written.
    EXPECT_EQ(store.reminder(undatedId)->recurrenceRules, r.recurrenceRules);
    EXPECT_EQ(store.reminder(oldId)->recurrenceRules, r.recurrenceRules);
    EXPECT_EQ(store.reminders().size(), 4u);

    // The journal holds the pair the engine uploads: the completed occurrence without repeat and
    // the open series, one step later, that it recognises as the same reminder.
    const auto payload = [&](const QString &localID) {
        for (const auto &journalled : journal.snapshotPayloads()) {
            if (journalled->local_id == localID) {
                return *journalled;
            }
        }
        ADD_FAILURE() << "not journalled: " << localID.toStdString();
        return ReminderPayload {};
    };
    const ReminderPayload occurrence = payload(id);
    const ReminderPayload series = payload(next->id);
    EXPECT_TRUE(occurrence.is_completed);
    EXPECT_TRUE(MatchText::normalizedIsEmpty(occurrence.repeat_type));
    EXPECT_EQ(series.repeat_type, u"daily"_s);
    EXPECT_FALSE(series.is_completed);
    EXPECT_LT(*DateFormatters::parseISO8601(*occurrence.due_date), *DateFormatters::parseISO8601(*series.due_date));
    EXPECT_TRUE(ReminderMonitor::sameRemoteRecurringCompletionIdentity(series, occurrence));
}
