#include "platform/concurrency/ManualClock.h"
#include "platform/reminderstore/InMemoryReminderStore.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace {

QDateTime instant(const QString &text)
{
    return QDateTime::fromString(text, Qt::ISODateWithMs);
}

struct Fixture {
    ManualClock clock {instant(u"2026-03-01T08:00:00.123Z"_s)};
    InMemoryReminderStore store {clock};
    ReminderList inbox = store.saveList(ReminderList {{}, u"收件箱"_s, u"local"_s});
    ReminderList work = store.saveList(ReminderList {{}, u"Work"_s, u"local"_s});

    Fixture() { ManualClock::drainEvents(); }

    Reminder draft(const QString &title, const ReminderList &list) const
    {
        Reminder reminder;
        reminder.title = title;
        reminder.listId = list.id;
        return reminder;
    }

    QStringList titles(const std::optional<QStringList> &listIds = std::nullopt) const
    {
        QStringList result;
        for (const auto &reminder : store.reminders(listIds)) {
            result << reminder.title;
        }
        return result;
    }
};

void expectStoreError(const std::function<void()> &call, ReminderStoreError::Code code)
{
    try {
        call();
        ADD_FAILURE() << "no error thrown";
    } catch (const ReminderStoreError &error) {
        EXPECT_EQ(error.code(), code) << error.what();
        EXPECT_EQ(error.domain(), u"Quorvin.ReminderStore"_s);
    }
}

} // namespace

TEST(ReminderStore, IdsAreAssignedAtTheFirstSaveAndNeverChangeOrComeBack)
{
    Fixture f;
    auto draft = f.draft(u"Buy milk"_s, f.inbox);
    const auto saved = f.store.saveReminder(draft);
    ASSERT_FALSE(saved.id.isEmpty());
    ASSERT_TRUE(saved.externalId.has_value());
    EXPECT_EQ(saved.creationDate, f.clock.now());
    EXPECT_EQ(saved.lastModifiedDate, f.clock.now());
    EXPECT_EQ(saved.creationDate->time().msec(), 123);
    EXPECT_EQ(f.store.reminder(saved.id), saved);

    // A read is a copy: changing it changes nothing in the store.
    auto copy = *f.store.reminder(saved.id);
    copy.title = u"changed"_s;
    EXPECT_EQ(f.store.reminder(saved.id)->title, u"Buy milk"_s);

    // Later saves keep the id, the external id and the creation date, whatever the caller sends.
    f.clock.advance(5s);
    copy.externalId = u"forged"_s;
    copy.creationDate = instant(u"2000-01-01T00:00:00.000Z"_s);
    const auto updated = f.store.saveReminder(copy);
    EXPECT_EQ(updated.id, saved.id);
    EXPECT_EQ(updated.externalId, saved.externalId);
    EXPECT_EQ(updated.creationDate, saved.creationDate);
    EXPECT_EQ(updated.lastModifiedDate, f.clock.now());

    // An external id given at the first save is kept.
    auto withExternal = f.draft(u"From elsewhere"_s, f.work);
    withExternal.externalId = u"ext-1"_s;
    EXPECT_EQ(f.store.saveReminder(withExternal).externalId, u"ext-1"_s);

    // An id handed out to a staged reminder that reset() dropped is never handed out again.
    const auto dropped = f.store.saveReminder(f.draft(u"staged"_s, f.inbox), false);
    f.store.reset();
    EXPECT_FALSE(f.store.reminder(dropped.id));
    const auto next = f.store.saveReminder(f.draft(u"staged"_s, f.inbox));
    EXPECT_NE(next.id, dropped.id);
    EXPECT_NE(next.id, saved.id);

    // Order is the order of first saves, also after updates.
    EXPECT_EQ(f.titles(), (QStringList {u"changed"_s, u"From elsewhere"_s, u"staged"_s}));
    EXPECT_EQ(f.titles(QStringList {f.work.id}), QStringList {u"From elsewhere"_s});
    ASSERT_EQ(f.store.lists().size(), 2u);
    EXPECT_EQ(f.store.lists()[0].title, u"收件箱"_s);
}

TEST(ReminderStore, ASaveThatChangesNothingIsNoWrite)
{
    Fixture f;
    auto reminder = f.draft(u"Pay rent"_s, f.inbox);
    reminder.dueDateComponents = DateComponents {{}, 2026, 3, 5, 9, 0, {}, u"Asia/Shanghai"_s};
    reminder.alarms = std::vector {ReminderAlarm::atOffset(-900)};
    reminder.recurrenceRules = {RecurrenceRule {}};
    const auto saved = f.store.saveReminder(reminder);
    ManualClock::drainEvents();
    QSignalSpy changed(&f.store, &ReminderStore::changed);
    const auto before = f.store.counters();

    f.clock.advance(1min);
    const auto again = f.store.saveReminder(saved);
    ManualClock::drainEvents();
    EXPECT_EQ(again, saved);
    EXPECT_EQ(f.store.reminder(saved.id)->lastModifiedDate, saved.lastModifiedDate);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_FALSE(f.store.hasUncommittedChanges());
    EXPECT_EQ(f.store.counters().reminderSaves, before.reminderSaves + 1);
    EXPECT_EQ(f.store.counters().commits, before.commits);

    // An unchanged list is no write either; a renamed one is.
    f.store.saveList(f.inbox);
    ManualClock::drainEvents();
    EXPECT_EQ(changed.count(), 0);
    auto renamed = f.inbox;
    renamed.title = u"Inbox"_s;
    f.store.saveList(renamed);
    ManualClock::drainEvents();
    EXPECT_EQ(changed.count(), 1);

    // Any real difference is a write, dated by the clock.
    auto edited = saved;
    edited.dueDateComponents->second = 0;
    const auto written = f.store.saveReminder(edited);
    EXPECT_EQ(written.lastModifiedDate, f.clock.now());
    EXPECT_EQ(written.creationDate, saved.creationDate);
}

TEST(ReminderStore, StagedWritesCommitTogetherOrAreDroppedByReset)
{
    Fixture f;
    const auto kept = f.store.saveReminder(f.draft(u"kept"_s, f.inbox));
    ManualClock::drainEvents();
    QSignalSpy changed(&f.store, &ReminderStore::changed);
    const auto commitsBefore = f.store.counters().commits;

    // Staged writes are visible to reads at once, but nothing is committed or signalled.
    auto completed = kept;
    completed.completed = true;
    f.store.saveReminder(completed, false);
    const auto added = f.store.saveReminder(f.draft(u"added"_s, f.work), false);
    f.store.removeList(f.work.id, false);
    EXPECT_TRUE(f.store.hasUncommittedChanges());
    EXPECT_TRUE(f.store.reminder(kept.id)->completed);
    EXPECT_FALSE(f.store.reminder(added.id));
    ManualClock::drainEvents();
    EXPECT_EQ(changed.count(), 0);

    f.store.reset();
    EXPECT_FALSE(f.store.hasUncommittedChanges());
    EXPECT_FALSE(f.store.reminder(kept.id)->completed);
    EXPECT_TRUE(f.store.list(f.work.id));
    EXPECT_EQ(f.titles(), QStringList {u"kept"_s});

    // The completed item staged, the next one saved with commit: one commit writes both.
    f.store.saveReminder(completed, false);
    const auto next = f.store.saveReminder(f.draft(u"next"_s, f.inbox), true);
    EXPECT_FALSE(f.store.hasUncommittedChanges());
    f.store.reset();
    EXPECT_TRUE(f.store.reminder(kept.id)->completed);
    EXPECT_TRUE(f.store.reminder(next.id));
    EXPECT_EQ(f.store.counters().commits, commitsBefore + 1);

    // The signal is queued: never inside the call, once per commit, for our own writes too.
    EXPECT_EQ(changed.count(), 0);
    ManualClock::drainEvents();
    EXPECT_EQ(changed.count(), 1);

    // A commit with nothing staged writes and signals nothing.
    f.store.commit();
    ManualClock::drainEvents();
    EXPECT_EQ(changed.count(), 1);

    // A failing commit keeps the staged writes; a later commit writes them.
    f.store.removeReminder(next.id, false);
    f.store.failNextWrite(ReminderStoreError(ReminderStoreError::Injected, u"disk full"_s));
    expectStoreError([&] { f.store.commit(); }, ReminderStoreError::Injected);
    EXPECT_TRUE(f.store.hasUncommittedChanges());
    f.store.commit();
    EXPECT_FALSE(f.store.reminder(next.id));
    ManualClock::drainEvents();
    EXPECT_EQ(changed.count(), 2);
}

TEST(ReminderStore, CompletionIsStoredAsGivenAndNeverAdvancesARecurrence)
{
    Fixture f;
    auto reminder = f.draft(u"Water plants"_s, f.inbox);
    reminder.dueDateComponents = DateComponents {{}, 2026, 3, 1, 9, 0, 0, {}};
    RecurrenceRule daily;
    daily.interval = 2;
    reminder.recurrenceRules = {daily};
    auto saved = f.store.saveReminder(reminder);

    f.clock.advance(2h);
    saved.completed = true;
    const auto completed = f.store.saveReminder(saved);
    EXPECT_TRUE(completed.completed);
    EXPECT_EQ(completed.completionDate, f.clock.now());
    EXPECT_EQ(completed.dueDateComponents, reminder.dueDateComponents);
    EXPECT_EQ(completed.recurrenceRules, reminder.recurrenceRules);
    EXPECT_EQ(f.store.reminders().size(), 1u);

    // A given completion date is kept (in UTC, to the millisecond); un-completing clears it.
    auto dated = completed;
    dated.completionDate = instant(u"2026-03-01T18:30:00.456+08:00"_s);
    EXPECT_EQ(f.store.saveReminder(dated).completionDate->toString(Qt::ISODateWithMs), u"2026-03-01T10:30:00.456Z"_s);
    dated.completed = false;
    EXPECT_FALSE(f.store.saveReminder(dated).completionDate);
}

TEST(ReminderStore, RemovingAListRemovesItsRemindersAndTheDefaultFallsBack)
{
    Fixture f;
    const auto a = f.store.saveReminder(f.draft(u"a"_s, f.inbox));
    const auto b = f.store.saveReminder(f.draft(u"b"_s, f.work));
    f.store.setDefaultListId(f.work.id);
    EXPECT_EQ(f.store.defaultListForNewReminders(), f.work);

    f.store.removeList(f.work.id);
    EXPECT_FALSE(f.store.reminder(b.id));
    EXPECT_TRUE(f.store.reminder(a.id));
    EXPECT_FALSE(f.store.list(f.work.id));
    EXPECT_EQ(f.store.defaultListForNewReminders(), f.inbox);
    expectStoreError([&] { f.store.saveReminder(b); }, ReminderStoreError::InvalidItem);

    // Dropping a source drops its lists and their reminders.
    const auto sources = f.store.setSources({ReminderSource {{}, u"iCloud"_s, ReminderSource::Kind::CalDAV}});
    ASSERT_EQ(sources.size(), 1u);
    EXPECT_FALSE(sources[0].id.isEmpty());
    EXPECT_TRUE(f.store.lists().empty());
    EXPECT_TRUE(f.store.reminders().empty());
    EXPECT_FALSE(f.store.defaultListForNewReminders());
}

TEST(ReminderStore, RefusedCallsThrowAndChangeNothing)
{
    Fixture f;
    const auto saved = f.store.saveReminder(f.draft(u"a"_s, f.inbox));
    const auto snapshot = f.store.reminders();
    auto withPriority = [&](int priority) {
        auto reminder = saved;
        reminder.priority = priority;
        return reminder;
    };
    auto ghost = saved;
    ghost.id = u"no-such-id"_s;
    auto badAlarm = saved;
    badAlarm.alarms = std::vector {ReminderAlarm::atDate(QDateTime())};
    auto badUrl = saved;
    badUrl.url = u"http://exa mple.com:xx"_s;

    const struct {
        const char *name;
        std::function<void()> call;
        ReminderStoreError::Code code;
    } cases[] = {
        {"priority 10", [&] { f.store.saveReminder(withPriority(10)); }, ReminderStoreError::InvalidItem},
        {"priority -1", [&] { f.store.saveReminder(withPriority(-1)); }, ReminderStoreError::InvalidItem},
        {"no list", [&] { f.store.saveReminder(f.draft(u"x"_s, ReminderList {})); }, ReminderStoreError::InvalidItem},
        {"unknown id", [&] { f.store.saveReminder(ghost); }, ReminderStoreError::NotFound},
        {"invalid date", [&] { f.store.saveReminder(badAlarm); }, ReminderStoreError::InvalidItem},
        {"invalid url", [&] { f.store.saveReminder(badUrl); }, ReminderStoreError::InvalidItem},
        {"remove unknown", [&] { f.store.removeReminder(u"no-such-id"_s); }, ReminderStoreError::NotFound},
        {"unknown source",
            [&] {
                f.store.saveList(ReminderList {{}, u"x"_s, u"nowhere"_s});
            },
            ReminderStoreError::InvalidItem},
        {"unknown list",
            [&] {
                f.store.saveList(ReminderList {u"gone"_s, u"x"_s, u"local"_s});
            },
            ReminderStoreError::NotFound},
        {"remove unknown list", [&] { f.store.removeList(u"gone"_s); }, ReminderStoreError::NotFound},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        expectStoreError(c.call, c.code);
        EXPECT_EQ(f.store.reminders(), snapshot);
        EXPECT_FALSE(f.store.hasUncommittedChanges());
    }
    EXPECT_EQ(f.store.lists().size(), 2u);
}

TEST(ReminderStore, AccessMustBeGrantedBeforeAnyUse)
{
    Fixture f;
    EXPECT_EQ(f.store.accessStatus(), ReminderStore::AccessStatus::FullAccess);
    EXPECT_TRUE(f.store.requestFullAccess());

    f.store.setAccessStatus(ReminderStore::AccessStatus::WriteOnly);
    EXPECT_FALSE(f.store.requestFullAccess());
    expectStoreError([&] { f.store.reminders(); }, ReminderStoreError::AccessDenied);
    expectStoreError([&] { f.store.saveReminder(f.draft(u"x"_s, f.inbox)); }, ReminderStoreError::AccessDenied);
    EXPECT_EQ(f.store.counters().reminderSaves, 0);

    // Undecided: the request decides, once.
    f.store.setAccessStatus(ReminderStore::AccessStatus::NotDetermined);
    f.store.setAccessRequestError(ReminderStoreError(ReminderStoreError::Injected, u"prompt failed"_s));
    expectStoreError([&] { f.store.requestFullAccess(); }, ReminderStoreError::Injected);
    EXPECT_EQ(f.store.accessStatus(), ReminderStore::AccessStatus::NotDetermined);
    f.store.setAccessRequestError(std::nullopt);
    f.store.setAccessRequestAnswer(false);
    EXPECT_FALSE(f.store.requestFullAccess());
    EXPECT_EQ(f.store.accessStatus(), ReminderStore::AccessStatus::Denied);
    f.store.setAccessRequestAnswer(true);
    EXPECT_FALSE(f.store.requestFullAccess());

    f.store.setAccessStatus(ReminderStore::AccessStatus::NotDetermined);
    EXPECT_TRUE(f.store.requestFullAccess());
    EXPECT_EQ(f.store.lists().size(), 2u);
}

// Lookups by id go through an index of positions; a sequence of every kind of change, checked
// after each step against what a plain scan of the store finds.
TEST(ReminderStore, LookupsByIdAgreeWithTheStoredOrderAfterEveryKindOfChange)
{
    Fixture f;
    const auto expectConsistent = [&f](const std::vector<QString> &goneIds, const char *step) {
        SCOPED_TRACE(step);
        for (const auto &reminder : f.store.reminders()) {
            EXPECT_EQ(f.store.reminder(reminder.id), reminder);
        }
        for (const auto &list : f.store.lists()) {
            EXPECT_EQ(f.store.list(list.id), list);
        }
        for (const auto &id : goneIds) {
            EXPECT_FALSE(f.store.reminder(id).has_value()) << qPrintable(id);
            EXPECT_FALSE(f.store.list(id).has_value()) << qPrintable(id);
            expectStoreError([&] { f.store.removeReminder(id); }, ReminderStoreError::NotFound);
        }
    };

    std::vector<Reminder> saved;
    for (int i = 0; i < 8; ++i) {
        saved.push_back(f.store.saveReminder(f.draft(u"r%1"_s.arg(i), i % 2 ? f.work : f.inbox)));
    }
    expectConsistent({}, "saved");

    // Removing from the front, the middle and the end moves the ones after it; an update of a
    // moved reminder must land on it and not on its old neighbour.
    f.store.removeReminder(saved[0].id);
    f.store.removeReminder(saved[4].id);
    f.store.removeReminder(saved[7].id);
    auto moved = saved[5];
    moved.title = u"r5 edited"_s;
    f.store.saveReminder(moved);
    EXPECT_EQ(f.titles(), (QStringList {u"r1"_s, u"r2"_s, u"r3"_s, u"r5 edited"_s, u"r6"_s}));
    expectConsistent({saved[0].id, saved[4].id, saved[7].id}, "removed");

    // Staged changes of every kind, dropped by reset: the store is exactly as last committed,
    // order included.
    f.store.setDefaultListId(f.work.id);
    const auto remindersBefore = f.store.reminders();
    const auto listsBefore = f.store.lists();
    const auto staged = f.store.saveReminder(f.draft(u"staged"_s, f.inbox), false);
    f.store.removeReminder(saved[1].id, false);
    auto edited = saved[6];
    edited.title = u"r6 edited"_s;
    f.store.saveReminder(edited, false);
    auto renamed = f.inbox;
    renamed.title = u"Renamed"_s;
    f.store.saveList(renamed, false);
    const auto extraList = f.store.saveList(ReminderList {{}, u"Extra"_s, u"local"_s}, false);
    f.store.saveReminder(f.draft(u"in extra"_s, extraList), false);
    f.store.removeList(f.work.id, false);
    f.store.removeReminder(staged.id, false);
    EXPECT_EQ(f.titles(), (QStringList {u"r2"_s, u"r6 edited"_s, u"in extra"_s}));
    EXPECT_EQ(f.store.defaultListForNewReminders()->id, f.inbox.id);
    expectConsistent({saved[1].id, staged.id, f.work.id}, "staged");
    f.store.reset();
    EXPECT_EQ(f.store.reminders(), remindersBefore);
    EXPECT_EQ(f.store.lists(), listsBefore);
    EXPECT_EQ(f.store.defaultListForNewReminders()->id, f.work.id);
    EXPECT_EQ(f.titles(), (QStringList {u"r1"_s, u"r2"_s, u"r3"_s, u"r5 edited"_s, u"r6"_s}));
    expectConsistent({staged.id, extraList.id}, "reset");

    // Staged and committed, then a list removed with its reminders.
    const auto kept = f.store.saveReminder(f.draft(u"kept"_s, f.inbox), false);
    f.store.commit();
    expectConsistent({}, "committed");
    f.store.removeList(f.work.id);
    EXPECT_EQ(f.titles(), (QStringList {u"r2"_s, u"r6"_s, u"kept"_s}));
    expectConsistent({f.work.id, saved[1].id, saved[3].id, saved[5].id}, "list removed");
    EXPECT_EQ(f.store.reminder(kept.id)->title, u"kept"_s);
    EXPECT_THROW(f.store.saveReminder(f.draft(u"orphan"_s, f.work)), ReminderStoreError);

    // The sources replaced: the lists of a vanished source go with their reminders.
    const auto other = f.store.setSources({ReminderSource {u"local"_s, u"Local"_s, ReminderSource::Kind::Local},
        ReminderSource {{}, u"Other"_s, ReminderSource::Kind::CalDAV}})[1];
    const auto away = f.store.saveList(ReminderList {{}, u"Away"_s, other.id});
    const auto awayReminder = f.store.saveReminder(f.draft(u"away"_s, away));
    expectConsistent({}, "second source");
    f.store.setSources({ReminderSource {u"local"_s, u"Local"_s, ReminderSource::Kind::Local}});
    EXPECT_EQ(f.titles(), (QStringList {u"r2"_s, u"r6"_s, u"kept"_s}));
    expectConsistent({away.id, awayReminder.id}, "source gone");
}
