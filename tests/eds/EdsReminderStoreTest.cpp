#include "EdsTestSession.h"

#include "platform/concurrency/ManualClock.h"

#include <QSignalSpy>
#include <QUuid>

using namespace quorvin;
using namespace quorvin::test;
using namespace Qt::Literals::StringLiterals;

namespace {

QDateTime instant(const QString &text)
{
    return QDateTime::fromString(text, Qt::ISODateWithMs).toUTC();
}

const QString kPersonal = u"system-task-list"_s;
const QString kLocal = u"local-stub"_s;

Reminder draft(const QString &title, const QString &listId)
{
    Reminder reminder;
    reminder.title = title;
    reminder.listId = listId;
    return reminder;
}

// What the user wrote; the database stamps the modification date itself.
Reminder content(Reminder reminder)
{
    reminder.lastModifiedDate.reset();
    return reminder;
}

QStringList uids(const QString &listId)
{
    return EdsTestSession::peer({u"uids"_s, listId}).split(u'\n', Qt::SkipEmptyParts);
}

void expectStoreError(const std::function<void()> &call, ReminderStoreError::Code code)
{
    try {
        call();
        ADD_FAILURE() << "no error thrown";
    } catch (const ReminderStoreError &error) {
        EXPECT_EQ(error.code(), code) << error.what();
    }
}

} // namespace

TEST(EdsReminderStore, RemindersAndListsLiveInTheTaskDatabase)
{
    QUORVIN_SKIP_WITHOUT_TASK_DATABASE();
    ManualClock clock(instant(u"2026-03-01T08:00:00.123Z"_s));
    EdsReminderStore store(clock);

    // The built-in list on this computer is there, and it is the default.
    EXPECT_TRUE(store.list(kPersonal));
    EXPECT_EQ(store.defaultListForNewReminders()->id, kPersonal);
    ASSERT_FALSE(store.sources().empty());
    EXPECT_EQ(store.sources()[0].id, kLocal);
    EXPECT_EQ(store.sources()[0].kind, ReminderSource::Kind::Local);

    const auto work = store.saveList(ReminderList {{}, u"工作"_s, kLocal});
    auto full = draft(u"Pay rent"_s, work.id);
    full.notes = u"Account 42\nsecond line"_s;
    full.url = u"https://bank.example/pay"_s;
    full.dueDateComponents = DateComponents {1, 2026, 3, 5, 9, 30, 0, u"Asia/Shanghai"_s};
    full.startDateComponents = DateComponents {1, 2026, 3, 5, {}, {}, {}, u"Asia/Shanghai"_s};
    full.priority = 1;
    full.alarms
        = std::vector {ReminderAlarm::atOffset(-900), ReminderAlarm::atDate(instant(u"2026-03-05T01:00:00.250Z"_s))};
    RecurrenceRule monthly;
    monthly.frequency = RecurrenceRule::Frequency::Monthly;
    monthly.daysOfTheMonth = std::vector {5};
    full.recurrenceRules = {monthly};
    const auto saved = store.saveReminder(full);
    const auto plain = store.saveReminder(draft(u"Buy milk"_s, kPersonal));
    EXPECT_EQ(saved.creationDate, clock.now());

    // Other apps see tasks, with the standard properties.
    EXPECT_EQ(uids(work.id), QStringList {saved.id});
    const auto shown = EdsTestSession::peer({u"show"_s, work.id, saved.id});
    EXPECT_TRUE(shown.contains(u"SUMMARY:Pay rent"_s)) << shown.toStdString();
    EXPECT_TRUE(shown.contains(u"DUE;TZID=Asia/Shanghai:20260305T093000"_s)) << shown.toStdString();
    EXPECT_TRUE(shown.contains(u"RRULE:FREQ=MONTHLY;BYMONTHDAY=5"_s)) << shown.toStdString();

    // A store that reads the database afresh reads what was saved, to the millisecond.
    {
        EdsReminderStore fresh(clock);
        EXPECT_EQ(fresh.lists().size(), store.lists().size());
        EXPECT_EQ(fresh.list(work.id), work);
        ASSERT_TRUE(fresh.reminder(saved.id));
        EXPECT_EQ(content(*fresh.reminder(saved.id)), content(saved));
        EXPECT_EQ(content(*fresh.reminder(plain.id)), content(plain));
    }

    // A move keeps the id; a removal removes the task.
    auto moved = saved;
    moved.listId = kPersonal;
    moved.title = u"Pay rent (moved)"_s;
    store.saveReminder(moved);
    store.removeReminder(plain.id);
    EXPECT_TRUE(uids(work.id).isEmpty());
    EXPECT_TRUE(uids(kPersonal).contains(saved.id));
    EXPECT_FALSE(uids(kPersonal).contains(plain.id));
    {
        EdsReminderStore fresh(clock);
        ASSERT_TRUE(fresh.reminder(saved.id));
        EXPECT_EQ(fresh.reminder(saved.id)->listId, kPersonal);
        EXPECT_EQ(fresh.reminder(saved.id)->title, u"Pay rent (moved)"_s);
        EXPECT_EQ(fresh.reminder(saved.id)->recurrenceRules, full.recurrenceRules);
        EXPECT_FALSE(fresh.reminder(plain.id));
    }
}

TEST(EdsReminderStore, EditsOfOtherAppsAreChangesTheEchoOfOursIsNot)
{
    QUORVIN_SKIP_WITHOUT_TASK_DATABASE();
    ManualClock clock(instant(u"2026-03-01T08:00:00.123Z"_s));
    EdsReminderStore store(clock);
    const auto list = store.saveList(ReminderList {{}, u"Home"_s, kLocal});
    ManualClock::drainEvents();
    QSignalSpy changed(&store, &ReminderStore::changed);

    // Each write of ours signals once; the echo of a change, which only brings the database's
    // own modification date, adds nothing.
    auto saved = store.saveReminder(draft(u"Water plants"_s, list.id));
    saved.notes = u"twice a week"_s;
    saved = store.saveReminder(saved);
    ASSERT_TRUE(EdsTestSession::waitUntil(
        [&] { return store.reminder(saved.id)->lastModifiedDate != saved.lastModifiedDate; }));
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(content(*store.reminder(saved.id)), content(saved));

    // A save that changes nothing never reaches the database, which would stamp it anew (in
    // whole seconds, hence the wait), neither alone nor beside a real change.
    const auto before = EdsTestSession::peer({u"show"_s, list.id, saved.id});
    QTest::qWait(1100);
    const auto commits = store.counters().commits;
    store.saveReminder(*store.reminder(saved.id));
    EXPECT_EQ(store.counters().commits, commits);
    store.saveReminder(*store.reminder(saved.id), false);
    store.saveReminder(draft(u"Feed the cat"_s, list.id), false);
    store.commit();
    EXPECT_EQ(EdsTestSession::peer({u"show"_s, list.id, saved.id}), before);
    ASSERT_TRUE(EdsTestSession::waitUntil([&] { return changed.count() == 3; }));

    // Another app renames it.
    EdsTestSession::peer({u"edit"_s, list.id, saved.id, u"Water the plants"_s});
    ASSERT_TRUE(EdsTestSession::waitUntil([&] { return changed.count() == 4; }));
    EXPECT_EQ(store.reminder(saved.id)->title, u"Water the plants"_s);

    // A task of another app: completed without a completion date, due in UTC, with a property
    // of its own that our writes keep.
    EdsTestSession::peer({u"put"_s, list.id,
        u"BEGIN:VTODO\r\nUID:other-app-1\r\nSUMMARY:From elsewhere\r\nSTATUS:COMPLETED\r\n"
        "DUE:20260305T010000Z\r\nX-OTHER-APP-COLOR:#ff0000\r\nEND:VTODO\r\n"_s});
    ASSERT_TRUE(EdsTestSession::waitUntil([&] { return store.reminder(u"other-app-1"_s).has_value(); }));
    auto foreign = *store.reminder(u"other-app-1"_s);
    EXPECT_EQ(foreign.listId, list.id);
    EXPECT_TRUE(foreign.completed);
    EXPECT_FALSE(foreign.completionDate);
    EXPECT_EQ(foreign.dueDateComponents, (DateComponents {1, 2026, 3, 5, 1, 0, 0, u"UTC"_s}));
    foreign.title = u"Renamed here"_s;
    store.saveReminder(foreign);
    const auto patched = EdsTestSession::peer({u"show"_s, list.id, u"other-app-1"_s});
    EXPECT_TRUE(patched.contains(u"SUMMARY:Renamed here"_s)) << patched.toStdString();
    EXPECT_TRUE(patched.contains(u"X-OTHER-APP-COLOR:#ff0000"_s)) << patched.toStdString();
    EXPECT_TRUE(patched.contains(u"DUE:20260305T010000Z"_s)) << patched.toStdString();

    // Another app removes it.
    EdsTestSession::peer({u"remove"_s, list.id, u"other-app-1"_s});
    ASSERT_TRUE(EdsTestSession::waitUntil([&] { return !store.reminder(u"other-app-1"_s).has_value(); }));
    EXPECT_TRUE(store.reminder(saved.id));
}

TEST(EdsReminderStore, ATaskTheDatabaseRefusesHoldsUpNoOtherWrite)
{
    QUORVIN_SKIP_WITHOUT_TASK_DATABASE();
    ManualClock clock(instant(u"2026-03-01T08:00:00.123Z"_s));
    EdsReminderStore store(clock);
    const auto first = store.saveList(ReminderList {{}, u"A"_s, kLocal});
    const auto second = store.saveList(ReminderList {{}, u"B"_s, kLocal});
    const auto kept = store.saveReminder(draft(u"kept"_s, first.id));
    const auto moving = store.saveReminder(draft(u"moving"_s, first.id));
    const auto copied = store.saveReminder(draft(u"copied"_s, first.id));
    ManualClock::drainEvents();

    QStringList ids {u"NEW-LIST"_s, u"NEW-1"_s, u"NEW-2"_s, u"TAKEN"_s};
    store.setIdGenerator([&ids] { return ids.isEmpty() ? QUuid::createUuid().toString() : ids.takeFirst(); });
    const auto planned = [](const QString &title, const QString &listId) {
        auto reminder = draft(title, listId);
        reminder.externalId = title;
        return reminder;
    };
    // A new list, a rename, an edit, creates in three lists and a move, in one commit.
    const auto third = store.saveList(ReminderList {{}, u"C"_s, kLocal}, false);
    auto renamed = first;
    renamed.title = u"A renamed"_s;
    store.saveList(renamed, false);
    auto edited = kept;
    edited.title = u"kept and edited"_s;
    store.saveReminder(edited, false);
    store.saveReminder(planned(u"in C"_s, third.id), false);
    store.saveReminder(planned(u"in A"_s, first.id), false);
    store.saveReminder(planned(u"in B"_s, second.id), false);
    for (auto move : {moving, copied}) {
        move.listId = second.id;
        store.saveReminder(move, false);
    }
    // Behind the store's back, another app writes a task under the UID the store handed out, an
    // edited copy of one moving task into its target list, and a copy as it is of the other: the
    // database refuses the three creates.
    EdsTestSession::peer({u"put"_s, second.id, u"BEGIN:VTODO\r\nUID:TAKEN\r\nSUMMARY:theirs\r\nEND:VTODO\r\n"_s});
    EdsTestSession::peer({u"put"_s, second.id,
        EdsTestSession::peer({u"show"_s, first.id, moving.id})
            .replace(u"SUMMARY:moving"_s, u"SUMMARY:moving, theirs"_s)});
    EdsTestSession::peer({u"put"_s, second.id, EdsTestSession::peer({u"show"_s, first.id, copied.id})});
    store.commit();

    // The copy as it is holds what the store wrote: that move is done.
    EXPECT_EQ(store.reminder(copied.id)->listId, second.id);
    EXPECT_FALSE(uids(first.id).contains(copied.id));
    // The other two are named, and stay as they were: the new one does not exist, the moving one
    // is still in its list, in the store and in the database.
    auto refused = store.refusedByLastCommit();
    refused.sort();
    EXPECT_EQ(refused, QStringList({moving.id, u"TAKEN"_s}));
    EXPECT_FALSE(store.hasUncommittedChanges());
    EXPECT_FALSE(store.reminder(u"TAKEN"_s));
    EXPECT_EQ(store.reminder(moving.id)->listId, first.id);
    EXPECT_TRUE(uids(first.id).contains(moving.id));
    EXPECT_TRUE(EdsTestSession::peer({u"show"_s, second.id, u"TAKEN"_s}).contains(u"SUMMARY:theirs\r\n"_s));

    // Everything else went through.
    auto inFirst = QStringList {kept.id, moving.id, u"NEW-2"_s};
    inFirst.sort();
    EXPECT_EQ(uids(first.id), inFirst);
    EXPECT_EQ(uids(u"NEW-LIST"_s), QStringList {u"NEW-1"_s});
    EXPECT_TRUE(EdsTestSession::peer({u"lists"_s}).contains(first.id + u"\tA renamed\n"_s));
    EXPECT_TRUE(EdsTestSession::peer({u"show"_s, first.id, kept.id}).contains(u"SUMMARY:kept and edited\r\n"_s));
    EXPECT_EQ(store.reminder(u"NEW-1"_s)->title, u"in C"_s);

    // The other app's task arrives as its own.
    ASSERT_TRUE(EdsTestSession::waitUntil([&] { return store.reminder(u"TAKEN"_s).has_value(); }));
    EXPECT_EQ(store.reminder(u"TAKEN"_s)->title, u"theirs"_s);
}

TEST(EdsReminderStore, ListsFollowTheRegistryBothWays)
{
    QUORVIN_SKIP_WITHOUT_TASK_DATABASE();
    ManualClock clock(instant(u"2026-03-01T08:00:00.123Z"_s));
    EdsReminderStore store(clock);
    auto ours = store.saveList(ReminderList {{}, u"Errands"_s, kLocal});
    const auto reminder = store.saveReminder(draft(u"Post office"_s, ours.id));
    ManualClock::drainEvents();
    QSignalSpy changed(&store, &ReminderStore::changed);

    // Renamed here, seen there; renamed there, seen here.
    ours.title = u"Errands in town"_s;
    store.saveList(ours);
    EXPECT_TRUE(EdsTestSession::peer({u"lists"_s}).contains(ours.id + u"\tErrands in town\n"_s));
    EdsTestSession::peer({u"list-rename"_s, ours.id, u"差事"_s});
    ASSERT_TRUE(EdsTestSession::waitUntil([&] { return store.list(ours.id)->title == u"差事"_s; }));

    // A list of another app arrives with its tasks; removed there, it leaves with them.
    EdsTestSession::peer({u"list-create"_s, u"their-list"_s, u"Theirs"_s});
    EdsTestSession::peer({u"put"_s, u"their-list"_s, u"BEGIN:VTODO\r\nUID:their-task\r\nSUMMARY:t\r\nEND:VTODO\r\n"_s});
    ASSERT_TRUE(EdsTestSession::waitUntil([&] { return store.reminder(u"their-task"_s).has_value(); }));
    EXPECT_EQ(store.reminder(u"their-task"_s)->listId, u"their-list"_s);
    EdsTestSession::peer({u"list-remove"_s, u"their-list"_s});
    ASSERT_TRUE(EdsTestSession::waitUntil([&] { return !store.list(u"their-list"_s).has_value(); }));
    EXPECT_FALSE(store.reminder(u"their-task"_s));
    EXPECT_GE(changed.count(), 3);

    // Removed here: the list goes with its tasks.
    store.removeList(ours.id);
    EXPECT_FALSE(EdsTestSession::peer({u"lists"_s}).contains(ours.id));
    EXPECT_FALSE(store.reminder(reminder.id));

    // What the database cannot do is refused before anything is staged.
    expectStoreError([&] { store.removeList(kPersonal); }, ReminderStoreError::InvalidItem);
    expectStoreError(
        [&] {
            store.saveList(ReminderList {{}, u"Web"_s, u"webcal-stub"_s});
        },
        ReminderStoreError::InvalidItem);
    EXPECT_FALSE(store.hasUncommittedChanges());
    EXPECT_TRUE(store.list(kPersonal));
}
