#include "MonitorFixture.h"

#include "model/JSONCodingError.h"
#include "model/JsonCodec.h"
#include "model/SyncError.h"

using namespace Qt::Literals::StringLiterals;
using namespace quorvin;
using namespace quorvin::test;
using namespace std::chrono_literals;

namespace {

class Refresh : public MonitorFixture {
protected:
    // Saves `count` reminders titled "item 0", "item 1", ...; returns them as saved.
    std::vector<Reminder> saveItems(int count)
    {
        std::vector<Reminder> saved;
        for (int i = 0; i < count; ++i) {
            Reminder r;
            r.title = u"item %1"_s.arg(i);
            saved.push_back(save(r));
        }
        return saved;
    }

    void touch(const QString &title)
    {
        Reminder r;
        r.title = title;
        save(r);
        ManualClock::drainEvents();
    }

    int storeChangeLines() const
    {
        return int(std::count(diagnostics.begin(), diagnostics.end(), u"EventKit changed -> scheduling refresh"_s));
    }

    QStringList reasons() const
    {
        QStringList list;
        for (const auto &event : events) {
            list.append(event.reason);
        }
        return list;
    }
};

// The virtual clock, counting how often the monitor lets other work run.
class CountingClock final : public Clock {
public:
    explicit CountingClock(ManualClock &inner)
        : m_inner(inner)
    {
    }
    QDateTime now() const override { return m_inner.now(); }
    QCoro::Task<void> sleep(std::chrono::milliseconds duration, CancelToken token) override
    {
        return m_inner.sleep(duration, std::move(token));
    }
    QCoro::Task<void> yield() override
    {
        ++yields;
        return m_inner.yield();
    }
    int yields = 0;

private:
    ManualClock &m_inner;
};

// The virtual clock, running a hook the first time the monitor lets other work run once armed:
// a way to change the store while a refresh is half done.
class HookedClock final : public Clock {
public:
    explicit HookedClock(ManualClock &inner)
        : m_inner(inner)
    {
    }
    QDateTime now() const override { return m_inner.now(); }
    QCoro::Task<void> sleep(std::chrono::milliseconds duration, CancelToken token) override
    {
        return m_inner.sleep(duration, std::move(token));
    }
    QCoro::Task<void> yield() override
    {
        if (armed) {
            armed = false;
            hook();
        }
        return m_inner.yield();
    }
    bool armed = false;
    std::function<void()> hook;

private:
    ManualClock &m_inner;
};

} // namespace

TEST_F(Refresh, AChangeDuringARefreshLetsItFinishAndSkipsItsSettle)
{
    ManualClock::drainEvents();
    saveItems(13);
    HookedClock hooked(clock);
    ReminderMonitor watched(
        store, journal, [&](const ReminderRefreshEvent &event) { events.push_back(event); },
        [&](const QString &line) { diagnostics.push_back(line); }, hooked,
        QTimeZone(QByteArrayLiteral("Asia/Shanghai")));
    run(watched.start());
    touch(u"edited"_s);
    hooked.hook = [this] {
        Reminder r;
        r.title = u"while refreshing"_s;
        save(r);
    };
    hooked.armed = true;

    clock.advance(1000ms);
    EXPECT_FALSE(hooked.armed);
    EXPECT_EQ(storeChangeLines(), 2);
    ASSERT_EQ(reasons(), (QStringList {u"startup"_s, u"eventkit-change"_s}));
    EXPECT_EQ(events.back().totalCount, 14);

    // The new change waits its own second; the old task's settle, due 2 s after its refresh,
    // never comes.
    clock.advance(999ms);
    EXPECT_EQ(events.size(), 2u);
    clock.advance(1ms);
    EXPECT_EQ(events.back().totalCount, 15);
    clock.advance(1000ms);
    EXPECT_EQ(events.size(), 3u);
    clock.advance(1000ms);
    EXPECT_EQ(
        reasons(), (QStringList {u"startup"_s, u"eventkit-change"_s, u"eventkit-change"_s, u"eventkit-settle"_s}));
    EXPECT_EQ(clock.pendingSleepers(), 0);
}

// A refresh asked for while another is still mapping reads the store only after that one has
// journalled: the older read can never be journalled last.
TEST_F(Refresh, OverlappingRefreshesJournalInTheOrderTheyWereAskedFor)
{
    std::vector<QString> ids;
    for (const Reminder &saved : saveItems(13)) {
        ids.push_back(saved.id);
    }
    HookedClock hooked(clock);
    ReminderMonitor watched(
        store, journal, [&](const ReminderRefreshEvent &event) { events.push_back(event); }, {}, hooked,
        QTimeZone(QByteArrayLiteral("Asia/Shanghai")));
    // While the first refresh yields with 13 reminders read, two are removed and a second refresh
    // starts; it reads 11 and has nothing to yield for.
    std::optional<QCoro::Task<void>> second;
    hooked.hook = [&] {
        store.removeReminder(ids[0]);
        store.removeReminder(ids[1]);
        second = watched.refresh(u"manual"_s);
    };
    hooked.armed = true;
    run(watched.refresh(u"cloud-pull"_s));
    ASSERT_TRUE(second);
    run(std::move(*second));
    ASSERT_EQ(reasons(), (QStringList {u"cloud-pull"_s, u"manual"_s}));
    EXPECT_EQ(events[0].totalCount, 13);
    EXPECT_EQ(events[1].totalCount, 11);
    EXPECT_EQ(journal.reminderCount(), 11);
}

// A large store is read a slice at a time; a change between two slices (here one commit renaming a
// reminder of each) is never journalled half: the read starts over.
TEST_F(Refresh, AStoreChangedBetweenTheSlicesOfOneReadIsReadWhole)
{
    const std::vector<Reminder> saved = saveItems(2500);
    HookedClock hooked(clock);
    ReminderMonitor watched(
        store, journal, [&](const ReminderRefreshEvent &event) { events.push_back(event); }, {}, hooked,
        QTimeZone(QByteArrayLiteral("Asia/Shanghai")));
    hooked.hook = [&] {
        for (const std::size_t i : {std::size_t(100), std::size_t(2400)}) {
            auto renamed = saved[i];
            renamed.title = u"renamed %1"_s.arg(i);
            store.saveReminder(renamed, false);
        }
        store.commit();
    };
    hooked.armed = true;
    run(watched.refresh(u"manual"_s));
    EXPECT_FALSE(hooked.armed);
    const auto journalled = journal.payloadsByLocalID();
    EXPECT_EQ(journalled.value(saved[100].id)->title, u"renamed 100"_s);
    EXPECT_EQ(journalled.value(saved[2400].id)->title, u"renamed 2400"_s);
    EXPECT_EQ(journalled.size(), 2500);
}

// A refresh that finds the store as the last one read it takes that one's records again: nothing
// is copied or mapped, so it never has to let other work in. Reminders with rules are mapped
// afresh, and a change made while they are is read whole.
TEST_F(Refresh, AStoreUnchangedSinceTheLastRefreshIsNotReadAgain)
{
    saveItems(25);
    CountingClock counting(clock);
    ReminderMonitor counted(store, journal, {}, {}, counting, QTimeZone(QByteArrayLiteral("Asia/Shanghai")));
    run(counted.refresh(u"manual"_s));
    ASSERT_EQ(counting.yields, 2);
    run(counted.refresh(u"manual"_s));
    EXPECT_EQ(counting.yields, 2);

    RecurrenceRule daily;
    daily.frequency = RecurrenceRule::Frequency::Daily;
    for (int i = 0; i < 13; ++i) {
        Reminder r;
        r.title = u"series %1"_s.arg(i);
        r.recurrenceRules = {daily};
        save(r);
    }
    HookedClock hooked(clock);
    ReminderMonitor watched(store, journal, {}, {}, hooked, QTimeZone(QByteArrayLiteral("Asia/Shanghai")));
    run(watched.refresh(u"manual"_s));
    auto renamed = *store.reminders().begin();
    renamed.title = u"renamed"_s;
    hooked.hook = [&] { store.saveReminder(renamed, true); };
    hooked.armed = true;
    run(watched.refresh(u"manual"_s));
    EXPECT_FALSE(hooked.armed);
    EXPECT_EQ(journal.payloadsByLocalID().value(renamed.id)->title, u"renamed"_s);
    EXPECT_EQ(journal.reminderCount(), 38);
}

TEST_F(Refresh, YieldsAfterEveryTwelveReminders)
{
    saveItems(25);
    CountingClock counting(clock);
    std::vector<ReminderRefreshEvent> delivered;
    ReminderMonitor counted(
        store, journal, [&](const ReminderRefreshEvent &event) { delivered.push_back(event); }, {}, counting,
        QTimeZone(QByteArrayLiteral("Asia/Shanghai")));
    run(counted.refresh(u"manual"_s));
    EXPECT_EQ(counting.yields, 2);
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0].totalCount, 25);
}

// A refresh reuses the record of a reminder it mapped before only while that reminder and its
// list are exactly as they were: an edit from outside that keeps the modification date, and a
// renamed list, are mapped afresh.
TEST_F(Refresh, AReminderOrListChangedBehindAnUnchangedModificationDateIsMappedAfresh)
{
    Reminder r;
    r.title = u"Before"_s;
    r.dueDateComponents = at(2026, 3, 6, 9);
    const QString id = save(r).id;
    run(monitor.refresh(u"manual"_s));
    const QString hashBefore = journal.snapshotPayloads().front()->content_hash;

    auto outside = InMemoryReminderStore::initialState();
    outside.sources = store.sources();
    outside.lists = store.lists();
    outside.reminders = store.reminders();
    outside.reminders.front().title = u"After"_s;
    store.changeFromOutside(outside);
    ASSERT_EQ(store.reminder(id)->lastModifiedDate, outside.reminders.front().lastModifiedDate);
    EXPECT_EQ(monitor.mapReminder(id)->title, u"After"_s);
    run(monitor.refresh(u"manual"_s));
    ASSERT_EQ(journal.reminderCount(), 1);
    EXPECT_EQ(journal.snapshotPayloads().front()->title, u"After"_s);
    EXPECT_NE(journal.snapshotPayloads().front()->content_hash, hashBefore);
    EXPECT_EQ(events.back().upserts, 1);

    outside.reminders = store.reminders();
    outside.lists.front().title = u"Errands"_s;
    store.changeFromOutside(outside);
    EXPECT_EQ(monitor.mapReminder(id)->list_name, u"Errands"_s);
    run(monitor.refresh(u"manual"_s));
    EXPECT_EQ(journal.snapshotPayloads().front()->list_name, u"Errands"_s);
    EXPECT_EQ(events.back().upserts, 1);
}

TEST_F(Refresh, DebouncesStoreChangesInVirtualTime)
{
    ManualClock::drainEvents();
    run(monitor.start());
    ASSERT_EQ(reasons(), QStringList {u"startup"_s});

    // A burst collapses into one refresh a second after the last change and one two seconds later.
    for (int i = 0; i < 10; ++i) {
        touch(u"burst %1"_s.arg(i));
        clock.advance(100ms);
    }
    EXPECT_EQ(storeChangeLines(), 10);
    clock.advance(899ms);
    EXPECT_EQ(events.size(), 1u);
    clock.advance(1ms);
    ASSERT_EQ(reasons(), (QStringList {u"startup"_s, u"eventkit-change"_s}));
    EXPECT_EQ(events.back().upserts, 10);
    clock.advance(1999ms);
    EXPECT_EQ(events.size(), 2u);
    clock.advance(1ms);
    ASSERT_EQ(reasons(), (QStringList {u"startup"_s, u"eventkit-change"_s, u"eventkit-settle"_s}));
    EXPECT_EQ(events.back().upserts, 0);
    EXPECT_EQ(events.back().cursor, events[1].cursor);

    // A change during the settle wait replaces the pending refreshes.
    touch(u"first"_s);
    clock.advance(1000ms);
    EXPECT_EQ(events.size(), 4u);
    clock.advance(1000ms);
    touch(u"second"_s);
    clock.advance(999ms);
    EXPECT_EQ(events.size(), 4u);
    clock.advance(1ms);
    EXPECT_EQ(events.size(), 5u);
    clock.advance(2000ms);
    EXPECT_EQ(reasons().mid(3), (QStringList {u"eventkit-change"_s, u"eventkit-change"_s, u"eventkit-settle"_s}));
    EXPECT_EQ(clock.pendingSleepers(), 0);
}

TEST_F(Refresh, JournalsListsAndRemindersAndKeepsTheJournalOnFailedReads)
{
    ManualClock::drainEvents();
    touch(u"one"_s);
    run(monitor.refresh(u"manual"_s));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].reason, u"manual"_s);
    EXPECT_EQ(events[0].upserts, 1);
    EXPECT_EQ(events[0].totalCount, 1);
    EXPECT_EQ(events[0].listChanges.size(), 1u);
    const QString cursor = events[0].cursor;

    // Nothing changed: an event all the same, with the cursor as it was.
    run(monitor.refresh(u"cloud-pull"_s));
    EXPECT_EQ(events[1].upserts, 0);
    EXPECT_EQ(events[1].deletions, 0);
    EXPECT_EQ(events[1].cursor, cursor);
    EXPECT_TRUE(events[1].reminderChanges.isEmpty());

    // Renaming an empty list is a list change only, journalled as its own batch.
    ReminderList empty;
    empty.title = u"Empty"_s;
    empty.sourceId = u"local"_s;
    empty = store.saveList(empty);
    run(monitor.refresh(u"manual"_s));
    empty.title = u"Renamed"_s;
    store.saveList(empty);
    run(monitor.refresh(u"manual"_s));
    EXPECT_EQ(events.back().upserts, 0);
    ASSERT_EQ(events.back().listChanges.size(), 1u);
    EXPECT_EQ(events.back().listChanges[0].after->list_name, u"Renamed"_s);
    EXPECT_GT(events.back().cursor.toLongLong(), cursor.toLongLong());

    // An unreadable store is an error, never an empty database.
    const qint64 sequence = journal.currentSequence();
    store.failReads(true);
    EXPECT_THROW(run(monitor.refresh(u"manual"_s)), ReminderStoreError);
    store.failReads(false);
    EXPECT_EQ(journal.currentSequence(), sequence);
    EXPECT_EQ(journal.reminderCount(), 1);
    EXPECT_EQ(events.size(), 4u);

    // The diagnostic snapshot reads everything and leaves the journal alone.
    const auto snapshot = run(monitor.diagnosticSnapshot());
    EXPECT_EQ(snapshot.reminders.size(), 1);
    EXPECT_EQ(snapshot.lists.size(), 2);
    EXPECT_EQ(snapshot.generated_at, u"2026-03-05T02:00:00.000Z"_s);
    EXPECT_TRUE(encodeJson(snapshot).startsWith("{\"generated_at\":"));
    const auto decoded = decodeJson<ReminderMonitorDiagnosticSnapshot>(encodeJson(snapshot));
    EXPECT_EQ(encodeJson(decoded), encodeJson(snapshot));
    EXPECT_NO_THROW(
        decodeJson<ReminderMonitorDiagnosticSnapshot>(R"({"generated_at":"x","reminders":[],"lists":[],"extra":1})"));
    for (const QByteArray missing : {R"({"reminders":[],"lists":[]})", R"({"generated_at":"x","lists":[]})",
             R"({"generated_at":"x","reminders":[]})", R"({"generated_at":null,"reminders":[],"lists":[]})"}) {
        EXPECT_THROW(decodeJson<ReminderMonitorDiagnosticSnapshot>(missing), JSONCodingError) << missing.constData();
    }
    EXPECT_EQ(journal.currentSequence(), sequence);
    EXPECT_EQ(events.size(), 4u);
}

TEST_F(Refresh, AnUnchangedReminderKeepsTheJournalsPayload)
{
    ManualClock::drainEvents();
    Reminder kept;
    kept.title = u"kept"_s;
    kept = save(kept);
    Reminder edited;
    edited.title = u"edited"_s;
    edited = save(edited);
    ManualClock::drainEvents();
    run(monitor.refresh(u"manual"_s));
    const auto before = journal.payloadsByLocalID();
    ASSERT_EQ(before.size(), 2);

    edited.notes = u"new notes"_s;
    save(edited);
    ManualClock::drainEvents();
    run(monitor.refresh(u"manual"_s));

    // The same object, not an equal copy: a store read again is not held twice.
    const auto after = journal.payloadsByLocalID();
    ASSERT_EQ(after.size(), 2);
    EXPECT_EQ(after.value(kept.id), before.value(kept.id));
    ASSERT_NE(after.value(edited.id), nullptr);
    EXPECT_NE(after.value(edited.id), before.value(edited.id));
    EXPECT_EQ(after.value(edited.id)->notes, u"new notes"_s);
}

TEST_F(Refresh, StartNeedsFullAccess)
{
    ManualClock::drainEvents();
    struct Row {
        ReminderStore::AccessStatus status;
        bool answer;
        bool throwsStoreError;
        bool starts;
    };
    const std::vector<Row> rows = {
        {ReminderStore::AccessStatus::Denied, true, false, false},
        {ReminderStore::AccessStatus::WriteOnly, true, false, false},
        {ReminderStore::AccessStatus::NotDetermined, false, false, false},
        {ReminderStore::AccessStatus::NotDetermined, true, true, false},
        {ReminderStore::AccessStatus::NotDetermined, true, false, true},
    };
    for (const Row &row : rows) {
        store.setAccessStatus(row.status);
        store.setAccessRequestAnswer(row.answer);
        store.setAccessRequestError(row.throwsStoreError
                ? std::optional(ReminderStoreError(ReminderStoreError::Injected, u"prompt failed"_s))
                : std::nullopt);
        try {
            run(monitor.start());
            EXPECT_TRUE(row.starts);
        } catch (const SyncError &error) {
            // A refused start watches nothing.
            store.setAccessStatus(ReminderStore::AccessStatus::FullAccess);
            touch(u"after a refused start"_s);
            EXPECT_EQ(storeChangeLines(), 0);
            EXPECT_FALSE(row.starts);
            EXPECT_FALSE(row.throwsStoreError);
            EXPECT_EQ(error.description(), u"Reminders permission denied"_s);
        } catch (const ReminderStoreError &error) {
            EXPECT_TRUE(row.throwsStoreError);
            EXPECT_EQ(error.description(), u"prompt failed"_s);
        }
    }
    EXPECT_EQ(events.size(), 1u);

    // The diagnostic snapshot asks for access each time as well.
    store.setAccessStatus(ReminderStore::AccessStatus::Denied);
    EXPECT_THROW(run(monitor.diagnosticSnapshot()), SyncError);
    store.setAccessStatus(ReminderStore::AccessStatus::FullAccess);
    EXPECT_NO_THROW(run(monitor.diagnosticSnapshot()));
}
