#include "matching/CloudIDMappingIndex.h"
#include "matching/CloudPullUploadCheckpoint.h"
#include "platform/defaults/FileUserDefaults.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

namespace {

// The reverse map must stay the exact inverse of the forward map, with no empty set.
void expectConsistent(const CloudIDMappingIndex &index)
{
    int reverseCount = 0;
    for (auto it = index.localToServers().cbegin(); it != index.localToServers().cend(); ++it) {
        EXPECT_FALSE(it->empty());
        for (const auto &server : *it) {
            EXPECT_EQ(index.serverToLocal().value(server), it.key());
            ++reverseCount;
        }
    }
    EXPECT_EQ(reverseCount, index.recordCount());
}

} // namespace

TEST(CloudIDMappingIndex, KeepsUniqueAndSharedLocalIDs)
{
    CloudIDMappingIndex index;
    index.set(u"s1"_s, u"L"_s, false);
    index.set(u"s2"_s, u"L"_s, false);
    EXPECT_EQ(index.serverIDs(u"L"_s), (CloudIDMappingIndex::ServerIDSet {u"s1"_s, u"s2"_s}));
    expectConsistent(index);

    // Uniqueness drops every other server id of the local id.
    index.set(u"s3"_s, u"L"_s, true);
    EXPECT_EQ(index.serverIDs(u"L"_s), CloudIDMappingIndex::ServerIDSet {u"s3"_s});
    EXPECT_FALSE(index.containsServerID(u"s1"_s));
    EXPECT_EQ(index.recordCount(), 1);
    expectConsistent(index);

    // Re-pointing a server id leaves no empty entry behind.
    index.set(u"s3"_s, u"L2"_s, false);
    EXPECT_FALSE(index.containsLocalID(u"L"_s));
    EXPECT_EQ(index.localID(u"s3"_s), u"L2"_s);
    expectConsistent(index);

    // "The first server id" is the smallest, whatever the insertion order.
    for (const auto &s : {u"s9"_s, u"s10"_s, u"s5"_s}) {
        index.set(s, u"L2"_s, false);
    }
    EXPECT_EQ(index.firstServerID(u"L2"_s), u"s10"_s);
    EXPECT_FALSE(index.firstServerID(u"nobody"_s));

    index.remove(u"s10"_s);
    index.remove(u"unknown"_s);
    EXPECT_EQ(index.firstServerID(u"L2"_s), u"s3"_s);
    expectConsistent(index);

    index.removeAll();
    EXPECT_TRUE(index.isEmpty());
    EXPECT_TRUE(index.localToServers().isEmpty());
}

TEST(CloudIDMappingIndex, SurvivesARestartThroughTheSettingsFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(u"settings.json"_s);
    {
        FileUserDefaults defaults(path);
        CloudIDMappingIndex index;
        index.set(u"srv-1"_s, u"local-a"_s, false);
        index.set(u"srv-2"_s, u"local-a"_s, false);
        index.set(u"srv-3"_s, u"local-b"_s, false);
        index.save(defaults, u"Quorvin.CloudReminderMap"_s);
        defaults.setString(u"Quorvin.CloudListMap"_s, u"not a map"_s);
    }
    FileUserDefaults reopened(path);
    const auto index = CloudIDMappingIndex::load(reopened, u"Quorvin.CloudReminderMap"_s);
    EXPECT_EQ(index.recordCount(), 3);
    EXPECT_EQ(index.serverIDs(u"local-a"_s), (CloudIDMappingIndex::ServerIDSet {u"srv-1"_s, u"srv-2"_s}));
    expectConsistent(index);
    // A value of the wrong shape, or no value, loads as empty.
    EXPECT_TRUE(CloudIDMappingIndex::load(reopened, u"Quorvin.CloudListMap"_s).isEmpty());
    EXPECT_TRUE(CloudIDMappingIndex::load(reopened, u"Quorvin.Missing"_s).isEmpty());
}

// The journal's answer holding what `envelope` holds.
SyncStateStore::JournalAnswer answerOf(SyncResponseEnvelope envelope)
{
    SyncStateStore::JournalAnswer answer;
    for (const auto &item : std::as_const(envelope.items)) {
        answer.items.push_back(std::make_shared<const ReminderPayload>(item));
    }
    envelope.items.clear();
    answer.envelope = std::move(envelope);
    return answer;
}

TEST(CloudPullUploadCheckpoint, TellsEchoesFromLocalChanges)
{
    SyncResponseEnvelope empty;
    empty.next_cursor = u"7"_s;
    SyncResponseEnvelope pending = empty;
    pending.deleted_list_ids = {u"L9"_s};

    ReminderPayload written;
    written.local_id = u"r1"_s;
    ReminderListDirectoryPayload list;
    list.list_id = u"L1"_s;

    SyncResponseEnvelope echo = empty;
    echo.items = {written};
    echo.lists = {list};
    SyncResponseEnvelope fullEcho = echo;
    fullEcho.full_snapshot = true;
    SyncResponseEnvelope deletedElsewhere = empty;
    deletedElsewhere.deleted_ids = {u"r2"_s};

    const QSet<QString> reminders {u"r1"_s};
    const QSet<QString> lists {u"L1"_s};
    struct Case {
        const char *name;
        const SyncResponseEnvelope &before;
        const SyncResponseEnvelope &observed;
        QSet<QString> reminderIDs, listIDs;
        bool expected;
    };
    const Case cases[] = {
        {"nothing anywhere", empty, empty, {}, {}, false},
        {"pending before the apply", pending, empty, reminders, lists, true},
        {"only the apply's own writes", empty, echo, reminders, lists, false},
        {"a list change the apply did not make", empty, echo, reminders, {}, true},
        {"a reminder the apply did not write", empty, echo, {}, lists, true},
        {"a full snapshot", empty, fullEcho, reminders, lists, true},
        {"a deletion the apply did not make", empty, deletedElsewhere, reminders, lists, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const CloudPullUploadCheckpoint checkpoint(answerOf(c.before));
        EXPECT_EQ(checkpoint.cursor(), u"7"_s);
        EXPECT_EQ(checkpoint.requiresLocalUpload(answerOf(c.observed), c.reminderIDs, c.listIDs), c.expected);
    }
}
