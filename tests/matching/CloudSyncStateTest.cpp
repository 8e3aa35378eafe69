#include "InMemoryReminderLookup.h"
#include "TestPayloads.h"

#include "matching/CloudSyncState.h"
#include "platform/concurrency/ManualClock.h"
#include "platform/core/DiagnosticSink.h"
#include "platform/defaults/FileUserDefaults.h"
#include "platform/defaults/InMemoryUserDefaults.h"
#include "support/HeldWrites.h"

#include <QFile>
#include <QTemporaryDir>

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace quorvin::test {

namespace {
const QString reminderMapKey = u"Quorvin.CloudReminderMap"_s;
const QString listMapKey = u"Quorvin.CloudListMap"_s;
const QString serverIDsKey = u"Quorvin.RemoteServerIDs"_s;

struct RecordingSink : DiagnosticSink {
    void appendLog(const QString &message) override { lines.append(message); }
    QStringList lines;
};

// How often each key was written with a new value since the spy was made.
int writes(const QSignalSpy &spy, const QString &key)
{
    return int(std::count_if(spy.cbegin(), spy.cend(), [&](const QList<QVariant> &args) { return args.at(0) == key; }));
}

// Holds a batch across an await of the clock and fails after it, as a push that fails half-way.
QCoro::Task<void> failingPush(CloudSyncState &state, Clock &clock)
{
    const auto batch = state.beginCloudMappingMutationBatch();
    state.setReminderMapping(u"s-late"_s, u"l-late"_s, false);
    co_await clock.sleep(1s);
    state.setListMapping(u"list-s"_s, u"list-l"_s, true);
    throw std::runtime_error("the server went away");
}

SyncResponseEnvelope pulled(QList<ReminderPayload> items, bool fullSnapshot)
{
    SyncResponseEnvelope envelope;
    envelope.items = std::move(items);
    envelope.full_snapshot = fullSnapshot;
    return envelope;
}

ReminderPayload serverItem(const QString &serverID, const std::optional<QString> &sourceID)
{
    auto item = reminder(serverID);
    item.source_item_id = sourceID;
    return item;
}
} // namespace

// Inside a batch the maps are only marked; the close of the outermost batch writes each changed map
// once, whichever way its scope is left.
TEST(CloudSyncStateTest, BatchWritesEachMapOnceAndEveryExitClosesIt)
{
    InMemoryUserDefaults defaults;
    RecordingSink log;
    CloudSyncState state(defaults, log);
    QSignalSpy spy(&defaults, &UserDefaults::changed);

    {
        const auto batch = state.beginCloudMappingMutationBatch();
        {
            const auto nested = state.beginCloudMappingMutationBatch();
            for (int i = 0; i < 10; ++i) {
                state.setReminderMapping(u"s%1"_s.arg(i), u"l%1"_s.arg(i), false);
            }
        }
        state.removeReminderMapping(u"s9"_s);
        EXPECT_EQ(writes(spy, reminderMapKey), 0) << "neither the changes nor the nested close write";
    }
    EXPECT_EQ(writes(spy, reminderMapKey), 1);
    EXPECT_EQ(writes(spy, listMapKey), 0) << "an unchanged map is not written";
    EXPECT_EQ(defaults.stringMap(reminderMapKey)->size(), 9);

    // Outside a batch every change is written at once.
    state.setListMapping(u"list-1"_s, u"local-list-1"_s, true);
    EXPECT_EQ(writes(spy, listMapKey), 1);

    // A thrown error closes the batch too, also one held by a coroutine across an await.
    ManualClock clock;
    EXPECT_THROW(runInVirtualTime(clock, failingPush(state, clock)), std::runtime_error);
    EXPECT_EQ(writes(spy, reminderMapKey), 2);
    EXPECT_EQ(writes(spy, listMapKey), 2);
    EXPECT_EQ(defaults.stringMap(reminderMapKey)->value(u"s-late"_s), u"l-late"_s);
    state.setReminderMapping(u"s-after"_s, u"l-after"_s, false);
    EXPECT_EQ(writes(spy, reminderMapKey), 3) << "no batch is left open";

    // What was written is what a restart reads back.
    const CloudSyncState restarted(defaults, log);
    EXPECT_EQ(restarted.reminderMappingIndex().serverToLocal(), state.reminderMappingIndex().serverToLocal());
    EXPECT_EQ(restarted.listMappingIndex().serverToLocal(), state.listMappingIndex().serverToLocal());
}

// A pull writes the cache, and a change made between pulls (an upload, a remapped or forgotten
// server item) is written back by the next save.
TEST(CloudSyncStateTest, IdentityCacheIsWrittenBackAfterItChanged)
{
    InMemoryUserDefaults defaults;
    RecordingSink log;
    InMemoryReminderLookup reminders;
    CloudSyncState state(defaults, log);
    EXPECT_EQ(state.remoteIdentityCacheVersion(), 0);

    state.updateRemoteIdentityCache(
        pulled({serverItem(u"s2"_s, u"l2"_s), serverItem(u"s1"_s, u" l1 "_s), serverItem(u"  "_s, u"x"_s)}, true));
    EXPECT_EQ(state.remoteIdentityCacheVersion(), 1);
    EXPECT_EQ(defaults.stringArray(serverIDsKey), QStringList({u"s1"_s, u"s2"_s}));
    EXPECT_EQ(state.cachedRemoteSourceIdentityByServerID().value(u"s1"_s), u"l1"_s);

    const auto storedIdentity = [&](const QString &serverID) {
        return defaults.stringMap(u"Quorvin.RemoteSourceIdentityMap"_s)->value(serverID);
    };
    state.setReminderMapping(u"s1"_s, u"l1"_s, false);
    reminders.put(reminder(u"l1"_s));
    state.mapCloudReminder(u"s1"_s, u"l1-next"_s, reminders);
    state.saveRemoteIdentityCache();
    EXPECT_EQ(storedIdentity(u"s1"_s), u"l1-next"_s) << "the series moved on to another reminder";
    state.noteRemoteReminderUpsert(u"s3"_s, u"l3"_s);
    state.saveRemoteIdentityCache();
    EXPECT_EQ(storedIdentity(u"s3"_s), u"l3"_s);
    state.forgetServerReminder(u"s2"_s);
    state.saveRemoteIdentityCache();
    EXPECT_EQ(defaults.stringArray(serverIDsKey), QStringList({u"s1"_s, u"s3"_s}));
    EXPECT_FALSE(state.reminderMappingIndex().localID(u"s2"_s).has_value());

    CloudSyncState restarted(defaults, log);
    EXPECT_EQ(restarted.remoteIdentityCacheVersion(), 1);
    EXPECT_EQ(restarted.cachedRemoteServerIDs(), state.cachedRemoteServerIDs());
    EXPECT_EQ(restarted.cachedRemoteSourceIdentityByServerID(), state.cachedRemoteSourceIdentityByServerID());
    EXPECT_EQ(restarted.reminderMappingIndex().localID(u"s1"_s), u"l1-next"_s);
    // The cache read back as it was saved is not written again by the first save after a start.
    QSignalSpy spy(&defaults, &UserDefaults::changed);
    restarted.saveRemoteIdentityCache();
    EXPECT_EQ(writes(spy, serverIDsKey), 0);
    restarted.noteRemoteReminderUpsert(u"s4"_s, u"l4"_s);
    restarted.saveRemoteIdentityCache();
    EXPECT_EQ(writes(spy, serverIDsKey), 1);
}

// The clear empties cursors, mappings and cache under their own keys and nothing else: the local
// reminders, the journal and the account are out of its reach, and the rebase flag is the caller's.
TEST(CloudSyncStateTest, ClearTouchesOnlyTheCloudSideState)
{
    InMemoryUserDefaults defaults;
    defaults.setString(u"Quorvin.CloudAuthToken"_s, u"qvk_token"_s);
    RecordingSink log;
    CloudSyncState state(defaults, log);
    state.saveCloudPullCursor(u"7"_s);
    state.saveCloudPushCursor(u"3"_s);
    state.setListMapping(u"list-s"_s, u"list-l"_s, true);
    state.updateRemoteIdentityCache(pulled({serverItem(u"s1"_s, u"l1"_s)}, true));
    state.setCloudPushCursorNeedsRebase(false);
    ASSERT_TRUE(state.holdsState());
    const auto epoch = state.syncStateEpoch();

    {
        const auto batch = state.beginCloudMappingMutationBatch();
        state.clearCloudSyncState(u"reason line"_s);
        EXPECT_TRUE(state.listMappingIndex().isEmpty());
        EXPECT_EQ(defaults.stringMap(listMapKey)->size(), 1) << "written when the batch closes";
    }
    EXPECT_TRUE(defaults.stringMap(listMapKey)->isEmpty());
    EXPECT_FALSE(state.holdsState());
    EXPECT_EQ(defaults.string(u"Quorvin.CloudPullCursor"_s), QString()) << "kept as an empty text";
    EXPECT_EQ(defaults.string(u"Quorvin.CloudPushCursor"_s), QString());
    EXPECT_FALSE(defaults.contains(serverIDsKey));
    EXPECT_FALSE(defaults.contains(u"Quorvin.RemoteIdentityCacheVersion"_s));
    EXPECT_EQ(state.remoteIdentityCacheVersion(), 0);
    EXPECT_EQ(state.cloudCursorSummary(), u"push=- / pull=-"_s);
    EXPECT_GT(state.syncStateEpoch(), epoch);
    EXPECT_FALSE(state.cloudPushCursorNeedsRebase());
    EXPECT_EQ(defaults.string(u"Quorvin.CloudAuthToken"_s), u"qvk_token"_s);
    EXPECT_EQ(log.lines, QStringList({u"reason line"_s}));
}

} // namespace quorvin::test

namespace quorvin::test {

namespace {
// What a kill leaves: the settings file and its journal as they are now, opened again.
qsizetype mappedAfterKillOf(const QString &path, RecordingSink &log)
{
    QTemporaryDir copy;
    QFile::copy(path, copy.filePath(u"settings.json"_s));
    QFile::copy(path + u".journal"_s, copy.filePath(u"settings.json.journal"_s));
    FileUserDefaults defaults(copy.filePath(u"settings.json"_s));
    const CloudSyncState state(defaults, log);
    const auto count = state.reminderMappingIndex().serverToLocal().size();
    defaults.flush();
    EXPECT_FALSE(QFile::exists(copy.filePath(u"settings.json.journal"_s))) << "folded into the settings";
    EXPECT_EQ(defaults.stringMap(reminderMapKey).value_or(UserDefaults::StringMap()).size(), count);
    return count;
}
} // namespace

// With settings in a file, each flush inside a batch appends the new mappings to the journal
// beside it; the settings take them every 200 changes, once a second and when the batch closes.
// A process killed in between leaves the journal, and the next start folds it in, a line the kill
// cut short excepted.
TEST(CloudSyncStateTest, AJournalKeepsEveryFlushedMappingAcrossAKill)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"settings.json"_s);
    const QString journal = path + u".journal"_s;
    RecordingSink log;
    FileUserDefaults defaults(path);
    CloudSyncState state(defaults, log);
    const auto mappedInFile = [&] {
        defaults.flush();
        return FileUserDefaults(path).stringMap(reminderMapKey).value_or(UserDefaults::StringMap()).size();
    };
    const auto mappedAfterKill = [&] { return mappedAfterKillOf(path, log); };
    {
        const auto batch = state.beginCloudMappingMutationBatch();
        for (int i = 0; i < 150; ++i) {
            state.setReminderMapping(u"s%1"_s.arg(i), u"l%1"_s.arg(i), false);
            state.flushCloudMappings();
        }
        state.setReminderMapping(u"s-unflushed"_s, u"l-unflushed"_s, false);
        EXPECT_EQ(mappedInFile(), 0);
        EXPECT_EQ(mappedAfterKill(), 150);

        for (int i = 150; i < 199; ++i) {
            state.setReminderMapping(u"s%1"_s.arg(i), u"l%1"_s.arg(i), false);
            state.flushCloudMappings();
        }
        EXPECT_EQ(mappedInFile(), 200) << "folded at the 200th change";
        EXPECT_FALSE(QFile::exists(journal));

        state.removeReminderMapping(u"s0"_s);
        state.flushCloudMappings();
        EXPECT_EQ(mappedAfterKill(), 199) << "a removal is journalled too";
        state.setReminderMapping(u"s-late"_s, u"l-late"_s, false);
        state.flushCloudMappings();
        EXPECT_EQ(mappedAfterKill(), 200);

        state.setReminderMapping(u"s-torn"_s, u"l-torn"_s, false);
        state.flushCloudMappings();
        QFile torn(journal);
        ASSERT_TRUE(torn.open(QIODevice::Append));
        torn.write(R"({"s":"s-half","l":"l-)");
        torn.close();
        EXPECT_EQ(mappedAfterKill(), 201);
    }
    EXPECT_EQ(mappedInFile(), 201);
    EXPECT_FALSE(QFile::exists(journal));

    // With thousands of mappings a fold waits for as many changes: each rewrites the whole file.
    {
        const auto batch = state.beginCloudMappingMutationBatch();
        for (int i = 0; i < 4000; ++i) {
            state.setReminderMapping(u"b%1"_s.arg(i), u"m%1"_s.arg(i), false);
        }
    }
    EXPECT_EQ(mappedInFile(), 4201);
    const auto batch = state.beginCloudMappingMutationBatch();
    for (int i = 0; i < 1000; ++i) {
        state.setReminderMapping(u"c%1"_s.arg(i), u"n%1"_s.arg(i), false);
        state.flushCloudMappings();
    }
    EXPECT_EQ(mappedInFile(), 4201);
    EXPECT_EQ(mappedAfterKill(), 5201);
}

// The settings are written on a thread of their own: the journal is cut only once the fold's write
// is on disk, and keeps the lines that came after the fold.
TEST(CloudSyncStateTest, TheJournalIsCutOnlyOnceItsFoldIsOnDisk)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"settings.json"_s);
    RecordingSink log;
    FileUserDefaults defaults(path);
    CloudSyncState state(defaults, log);
    defaults.flush();
    const auto held = HeldWrites::make();
    defaults.fileWriter().setSystemCalls(HeldWrites::calls(held));
    const auto batch = state.beginCloudMappingMutationBatch();
    for (int i = 0; i < 200; ++i) {
        state.setReminderMapping(u"s%1"_s.arg(i), u"l%1"_s.arg(i), false);
        state.flushCloudMappings();
    }
    state.setReminderMapping(u"s-after"_s, u"l-after"_s, false);
    state.flushCloudMappings();
    EXPECT_EQ(mappedAfterKillOf(path, log), 201) << "the fold's write is still running";

    held->release();
    defaults.flush();
    EXPECT_EQ(held->files().size(), 1);
    QFile journal(path + u".journal"_s);
    ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
    EXPECT_EQ(journal.readAll().count('\n'), 1);
    EXPECT_EQ(mappedAfterKillOf(path, log), 201);
}

} // namespace quorvin::test

namespace quorvin::test {

// A commit killed half-way: the mappings of its reminders were journalled as tentative just before
// it. The next start keeps those whose reminder the commit did write, never a second server id for
// one reminder nor another reminder for a mapped server id, and drops the rest.
TEST(CloudSyncStateTest, TentativeMappingsOfAnInterruptedCommitKeepOnlyWhatItWrote)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"settings.json"_s);
    RecordingSink log;
    {
        FileUserDefaults defaults(path);
        CloudSyncState state(defaults, log);
        state.setReminderMapping(u"s-old"_s, u"l-mapped"_s, false);
        const auto batch = state.beginCloudMappingMutationBatch();
        for (const auto &[server, local] : {std::pair {u"s1"_s, u"l1"_s}, std::pair {u"s2"_s, u"l2"_s},
                 std::pair {u"s3"_s, u"l-mapped"_s}, std::pair {u"s-old"_s, u"l4"_s}}) {
            state.setReminderMapping(server, local, false);
        }
        state.journalUncommittedMappings();
        // Killed in the commit: what the batch would write at its close never happens.
        defaults.flush();
        QFile::copy(path, dir.filePath(u"killed.json"_s));
        QFile::copy(path + u".journal"_s, dir.filePath(u"killed.json.journal"_s));
    }
    const QString killed = dir.filePath(u"killed.json"_s);
    {
        FileUserDefaults defaults(killed);
        CloudSyncState state(defaults, log);
        EXPECT_EQ(state.reminderMappingIndex().serverToLocal().size(), 1)
            << "nothing tentative before the store is read";
    }
    FileUserDefaults defaults(killed);
    CloudSyncState state(defaults, log);
    const QSet<QString> written {u"l1"_s, u"l-mapped"_s, u"l4"_s};
    state.resolveTentativeMappings([&](const QString &localID) { return written.contains(localID); });
    const QHash<QString, QString> expected {{u"s-old"_s, u"l-mapped"_s}, {u"s1"_s, u"l1"_s}};
    EXPECT_EQ(state.reminderMappingIndex().serverToLocal(), expected);
    defaults.flush();
    EXPECT_FALSE(QFile::exists(killed + u".journal"_s));
    EXPECT_EQ(CloudSyncState(defaults, log).reminderMappingIndex().serverToLocal(), expected);
}

} // namespace quorvin::test
