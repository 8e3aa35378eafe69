#include "matching/SyncStateStore.h"
#include "matching/PayloadEquality.h"
#include "matching/TestPayloads.h"
#include "platform/concurrency/ManualClock.h"

#include <gtest/gtest.h>

using namespace quorvin;
using namespace quorvin::test;
using namespace Qt::Literals::StringLiterals;

namespace {

QList<QString> ids(const QList<ReminderPayload> &items)
{
    QList<QString> result;
    for (const auto &item : items) {
        result.append(item.local_id);
    }
    return result;
}

QList<QString> listIDs(const QList<ReminderListDirectoryPayload> &lists)
{
    QList<QString> result;
    for (const auto &l : lists) {
        result.append(l.list_id);
    }
    return result;
}

} // namespace

TEST(SyncStateStore, JournalsRemindersByContentHash)
{
    ManualClock clock;
    SyncStateStore store(clock);

    auto first = store.applySnapshot({reminder(u"b"_s), reminder(u"a"_s), reminder(u"c"_s)});
    EXPECT_EQ(first.reason, u"refresh"_s);
    EXPECT_EQ(first.upserts, 3);
    EXPECT_EQ(first.deletions, 0);
    EXPECT_EQ(first.totalCount, 3);
    EXPECT_EQ(first.cursor, u"1"_s);
    ASSERT_EQ(first.reminderChanges.size(), 3);
    EXPECT_EQ(first.reminderChanges[0].after->local_id, u"b"_s); // snapshot order, not id order
    for (const auto &change : first.reminderChanges) {
        EXPECT_FALSE(change.before);
    }
    ASSERT_EQ(store.batches().size(), 1u);
    // The event and the batch hold one payload, not two copies.
    EXPECT_EQ(first.reminderChanges[0].after.get(), store.batches().back().upserts[0].get());

    // Same snapshot again: nothing journalled, same cursor.
    auto again = store.applySnapshot({reminder(u"b"_s), reminder(u"a"_s), reminder(u"c"_s)});
    EXPECT_EQ(again.cursor, u"1"_s);
    EXPECT_TRUE(again.reminderChanges.isEmpty());
    EXPECT_EQ(store.currentSequence(), 1);

    // A field change without a new hash is not a change; a new hash is, and a missing id is a
    // deletion listed after the upserts.
    auto renamed = reminder(u"a"_s, u"Other title"_s);
    auto edited = reminder(u"b"_s, u"Buy milk"_s, u"new-hash"_s);
    auto third = store.applySnapshot({renamed, edited});
    EXPECT_EQ(third.upserts, 1);
    EXPECT_EQ(third.deletions, 1);
    EXPECT_EQ(third.totalCount, 2);
    EXPECT_EQ(third.cursor, u"2"_s);
    ASSERT_EQ(third.reminderChanges.size(), 2);
    EXPECT_EQ(third.reminderChanges[0].before->content_hash, u"hash-b"_s);
    EXPECT_EQ(third.reminderChanges[0].after->content_hash, u"new-hash"_s);
    EXPECT_EQ(third.reminderChanges[1].before->local_id, u"c"_s);
    EXPECT_FALSE(third.reminderChanges[1].after);
    // The snapshot keeps the latest payload even when its hash did not change.
    EXPECT_EQ(store.currentSnapshot().items[0].title, u"Other title"_s);
    EXPECT_EQ(store.reminderCount(), 2);

    // An unchanged payload stays the stored one; a change outside the content hash is kept
    // without being journalled.
    const auto storedB = store.snapshotPayloads()[1];
    store.applySnapshot({renamed, edited});
    EXPECT_EQ(store.snapshotPayloads()[1].get(), storedB.get());
    auto touched = edited;
    touched.last_modified = u"2026-01-05T10:00:00Z"_s;
    EXPECT_TRUE(store.applySnapshot({renamed, touched}).reminderChanges.isEmpty());
    EXPECT_EQ(store.snapshotPayloads()[1]->last_modified, u"2026-01-05T10:00:00Z"_s);
    EXPECT_EQ(store.currentSequence(), 2);
    // The batch and the snapshot share the journalled payload.
    EXPECT_EQ(store.batches().back().upserts[0].get(), storedB.get());

    // The same unchanged reminder twice in place of another one still deletes the other.
    const auto doubled = store.applySnapshot({renamed, renamed});
    EXPECT_EQ(doubled.deletions, 1);
    EXPECT_EQ(doubled.totalCount, 1);
    store.applySnapshot({renamed, touched});

    // An id handed in twice counts once, with the later payload.
    auto twice = store.applySnapshot({reminder(u"a"_s, u"x"_s, u"h1"_s), reminder(u"a"_s, u"y"_s, u"h2"_s), edited});
    ASSERT_EQ(twice.reminderChanges.size(), 1);
    EXPECT_EQ(twice.reminderChanges[0].after->title, u"y"_s);
}

// The records a refresh hands back unchanged are the stored ones themselves; handed back so they
// are no change, but the same one twice in place of another still deletes the other.
TEST(SyncStateStore, TheStoredRecordsHandedBackAreNoChangeUnlessOneComesTwice)
{
    ManualClock clock;
    SyncStateStore store(clock);
    const auto a = std::make_shared<const ReminderPayload>(reminder(u"a"_s));
    const auto b = std::make_shared<const ReminderPayload>(reminder(u"b"_s));
    store.applySnapshot(std::vector<ReminderPayloadRef> {a, b});
    ASSERT_EQ(store.currentSequence(), 1);

    const auto same = store.applySnapshot(std::vector<ReminderPayloadRef> {b, a});
    EXPECT_TRUE(same.reminderChanges.isEmpty());
    EXPECT_EQ(same.totalCount, 2);
    EXPECT_EQ(store.currentSequence(), 1);

    const auto doubled = store.applySnapshot(std::vector<ReminderPayloadRef> {a, a});
    EXPECT_EQ(doubled.deletions, 1);
    EXPECT_EQ(doubled.totalCount, 1);
    EXPECT_EQ(store.currentSequence(), 2);
}

TEST(SyncStateStore, JournalsListDirectoryChanges)
{
    ManualClock clock;
    SyncStateStore store(clock);
    const QString now = u"2026-01-05T09:00:00.000Z"_s;

    auto work = list(u"L2"_s, u"Work"_s);
    auto lowerWork = list(u"L1"_s, u"work"_s);
    auto home = list(u"L3"_s, u"Home"_s);
    home.last_modified = u"  2025-01-01T00:00:00Z \n"_s;
    auto changes = store.replaceListDirectory({work, lowerWork, home});
    ASSERT_EQ(changes.size(), 3);
    // Names equal but for case are ordered by id.
    EXPECT_EQ(listIDs(store.listDirectory()), (QList<QString> {u"L3"_s, u"L1"_s, u"L2"_s}));
    EXPECT_EQ(changes[0].after->list_id, u"L3"_s);
    EXPECT_FALSE(changes[0].before);
    EXPECT_EQ(store.listDirectory()[0].last_modified, u"2025-01-01T00:00:00Z"_s);
    EXPECT_EQ(store.listDirectory()[1].last_modified, now);
    EXPECT_EQ(store.currentSequence(), 1);
    EXPECT_EQ(store.batches().back().changedListIDs, (QList<QString> {u"L1"_s, u"L2"_s, u"L3"_s}));
    EXPECT_TRUE(store.batches().back().upserts.empty());

    // Only the stamp, the source or the source list id differ: no change, and the stored stamp
    // stays while the incoming one is empty.
    clock.advance(std::chrono::minutes(5));
    auto sourced = work;
    sourced.source = u"apple_reminders"_s;
    sourced.source_list_id = u"elsewhere"_s;
    EXPECT_TRUE(store.replaceListDirectory({sourced, lowerWork, home}).isEmpty());
    EXPECT_EQ(store.currentSequence(), 1);
    EXPECT_EQ(store.listDirectory()[2].last_modified, now);
    EXPECT_EQ(store.listDirectory()[2].source, u"apple_reminders"_s);

    // A rename gets a new stamp; a removed list comes last.
    auto renamed = work;
    renamed.list_name = u"Office"_s;
    auto next = store.replaceListDirectory({renamed, home});
    ASSERT_EQ(next.size(), 2);
    EXPECT_EQ(next[0].before->list_name, u"Work"_s);
    EXPECT_EQ(next[0].after->list_name, u"Office"_s);
    EXPECT_EQ(next[0].after->last_modified, u"2026-01-05T09:05:00.000Z"_s);
    EXPECT_EQ(next[1].before->list_id, u"L1"_s);
    EXPECT_FALSE(next[1].after);
    EXPECT_EQ(store.batches().back().changedListIDs, QList<QString> {u"L2"_s});
    EXPECT_EQ(store.batches().back().deletedListIDs, QList<QString> {u"L1"_s});
    EXPECT_EQ(store.currentSequence(), 2);
}

TEST(SyncStateStore, AnswersEachKindOfCursor)
{
    ManualClock clock;
    SyncStateStore store(clock);

    // A fresh store answers a negative cursor with an empty delta.
    auto fresh = store.syncResponse(u"-3"_s);
    EXPECT_FALSE(fresh.full_snapshot);
    EXPECT_EQ(fresh.next_cursor, u"0"_s);
    EXPECT_TRUE(fresh.items.isEmpty());

    store.replaceListDirectory({list(u"L1"_s, u"Inbox"_s)});
    store.applySnapshot({reminder(u"b"_s), reminder(u"a"_s)});
    ASSERT_EQ(store.currentSequence(), 2);

    struct Case {
        std::optional<QString> cursor;
        bool full;
    };
    const Case cases[] = {
        {std::nullopt, true}, {u""_s, true}, {u"abc"_s, true}, {u"+"_s, true}, {u"-"_s, true}, {u" 1"_s, true},
        {u"1 "_s, true}, {u"1.0"_s, true}, {u"3"_s, true}, // ahead of the journal
        {u"9223372036854775808"_s, true}, // overflow
        {u"+1"_s, false}, {u"1"_s, false}, {u"0"_s, false}, {u"-1"_s, true}, // older than the oldest batch
    };
    for (const auto &c : cases) {
        const auto answer = store.syncResponse(c.cursor);
        SCOPED_TRACE(c.cursor.value_or(u"<absent>"_s).toStdString());
        EXPECT_EQ(answer.full_snapshot, c.full);
        EXPECT_EQ(answer.next_cursor, u"2"_s);
        EXPECT_EQ(answer.generated_at, u"2026-01-05T09:00:00.000Z"_s);
        EXPECT_FALSE(answer.rebuild_generation);
        if (c.full) {
            EXPECT_EQ(ids(answer.items), (QList<QString> {u"a"_s, u"b"_s}));
            EXPECT_EQ(listIDs(answer.lists), QList<QString> {u"L1"_s});
        }
    }
    EXPECT_EQ(ids(store.syncResponse(u"+1"_s).items), (QList<QString> {u"a"_s, u"b"_s}));
    EXPECT_TRUE(store.syncResponse(u"+1"_s).lists.isEmpty());
    EXPECT_EQ(listIDs(store.syncResponse(u"0"_s).lists), QList<QString> {u"L1"_s});

    const auto equal = store.syncResponse(u"2"_s);
    EXPECT_FALSE(equal.full_snapshot);
    EXPECT_TRUE(equal.items.isEmpty() && equal.deleted_ids.isEmpty() && equal.lists.isEmpty()
        && equal.deleted_list_ids.isEmpty());

    EXPECT_EQ(SyncStateStore::parseCursor(u"+42"_s), 42);
    EXPECT_EQ(SyncStateStore::parseCursor(u"-42"_s), -42);
    EXPECT_EQ(SyncStateStore::parseCursor(u"9223372036854775807"_s), std::numeric_limits<qint64>::max());
    EXPECT_EQ(SyncStateStore::parseCursor(u"-9223372036854775808"_s), std::numeric_limits<qint64>::min());
    EXPECT_FALSE(SyncStateStore::parseCursor(u"٣"_s)); // a digit, but not an ASCII one

    // Answers and snapshots go in the order of the ids as texts, for ids of any length or script.
    QList<QString> mixed {u"abcd2"_s, u"abcd10"_s, u"ab"_s, u"abcdé"_s, u"abc"_s, u"B"_s, u"a"_s, u"abcd"_s, u"zz"_s,
        u"一二三四五"_s, u"一二三四"_s, u"abcd1"_s, u"ab\u0001"_s};
    QList<ReminderPayload> payloads;
    for (const auto &id : mixed) {
        payloads.append(reminder(id));
    }
    store.applySnapshot(payloads);
    std::sort(mixed.begin(), mixed.end());
    EXPECT_EQ(ids(store.syncResponse(std::nullopt).items), mixed);
    EXPECT_EQ(ids(store.currentSnapshot().items), mixed);
}

TEST(SyncStateStore, MergesDeltasAndDropsOldBatches)
{
    ManualClock clock;
    SyncStateStore store(clock);
    store.replaceListDirectory({list(u"L1"_s, u"Inbox"_s), list(u"L2"_s, u"Work"_s)}); // 1
    store.applySnapshot({reminder(u"keep"_s), reminder(u"gone"_s)}); // 2
    store.applySnapshot({reminder(u"keep"_s), reminder(u"back"_s)}); // 3: gone deleted, back new
    store.applySnapshot({reminder(u"keep"_s)}); // 4: back deleted
    store.applySnapshot({reminder(u"keep"_s), reminder(u"gone"_s, u"again"_s, u"h2"_s)}); // 5: gone re-created
    store.replaceListDirectory({list(u"L1"_s, u"Inbox 2"_s)}); // 6: L1 changed, L2 deleted

    const auto delta = store.syncResponse(u"2"_s);
    EXPECT_FALSE(delta.full_snapshot);
    EXPECT_EQ(ids(delta.items), QList<QString> {u"gone"_s});
    EXPECT_EQ(delta.items[0].title, u"again"_s);
    EXPECT_EQ(delta.deleted_ids, QList<QString> {u"back"_s});
    EXPECT_EQ(listIDs(delta.lists), QList<QString> {u"L1"_s});
    EXPECT_EQ(delta.deleted_list_ids, QList<QString> {u"L2"_s});

    // A list changed and then removed is only a removal.
    const auto fromStart = store.syncResponse(u"0"_s);
    EXPECT_EQ(listIDs(fromStart.lists), QList<QString> {u"L1"_s});
    EXPECT_EQ(fromStart.deleted_list_ids, QList<QString> {u"L2"_s});
    EXPECT_EQ(ids(fromStart.items), (QList<QString> {u"gone"_s, u"keep"_s}));
    EXPECT_EQ(fromStart.deleted_ids, QList<QString> {u"back"_s});

    // 205 batches in all: the journal keeps 6..205.
    for (int i = 7; i <= 205; ++i) {
        store.applySnapshot({reminder(u"keep"_s, u"t"_s, QString::number(i))});
    }
    ASSERT_EQ(store.currentSequence(), 205);
    ASSERT_EQ(store.batches().size(), 200u);
    EXPECT_EQ(store.batches().front().sequence, 6);
    EXPECT_FALSE(store.syncResponse(u"5"_s).full_snapshot);
    EXPECT_TRUE(store.syncResponse(u"4"_s).full_snapshot);
}

TEST(PayloadEquality, ComparesEveryDeclaredFieldDeeply)
{
    auto a = reminder(u"r"_s);
    ReminderAlarmPayload alarm;
    alarm.kind = u"location"_s;
    alarm.location = ReminderAlarmLocationPayload {};
    a.alarms = QList<ReminderAlarmPayload> {alarm};
    a.raw_apple_payload_json = JSONObject {{u"k"_s, JSONValue(QString(u"v"_s))}};
    a.tags = QList<QString> {u"one"_s};
    const ReminderPayload b = a;
    EXPECT_TRUE(PayloadEquality::same(a, b));

    struct Case {
        const char *name;
        std::function<void(ReminderPayload &)> change;
    };
    const Case cases[] = {
        {"a nested alarm field", [](auto &p) { (*p.alarms)[0].location->title = u"Home"_s; }},
        {"a JSON value", [](auto &p) { (*p.raw_apple_payload_json)[u"k"_s] = JSONValue(2.0); }},
        {"absent against empty", [](auto &p) { p.notes = u""_s; }},
        {"a flag", [](auto &p) { p.is_completed = true; }},
        {"one more tag", [](auto &p) { p.tags->append(u"two"_s); }},
        {"the last declared field", [](auto &p) { p.last_modified_by_client_kind = u"mqv"_s; }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto changed = a;
        c.change(changed);
        EXPECT_FALSE(PayloadEquality::same(a, changed));
    }
}
