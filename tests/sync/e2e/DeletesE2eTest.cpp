#include "Convergence.h"
#include "SyncE2eHarness.h"
#include "matching/CloudIDMappingIndex.h"

#include <QJsonObject>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace quorvin::test {
namespace {

TEST(SyncE2e, DeletesOnBothSides)
{
    SyncE2eHarness h;
    const QString keep = h.localReminder({.title = u"Keep"_s});
    h.localReminder({.title = u"Phone deletes"_s});
    const QString macDeletes = h.localReminder({.title = u"Mac deletes"_s});
    h.launch();
    ASSERT_TRUE(h.settle());
    const QString macDeletesOnServer = h.phone->findByTitle(u"Mac deletes"_s);

    h.phone->deleteReminder(h.phone->findByTitle(u"Phone deletes"_s));
    h.deleteLocal(macDeletes);
    ASSERT_TRUE(h.settle());

    EXPECT_TRUE(converged(h));
    EXPECT_FALSE(h.localByTitle(u"Phone deletes"_s));
    EXPECT_TRUE(h.store.reminder(keep));
    EXPECT_TRUE(h.model.deletedItemIds(h.userId).contains(macDeletesOnServer));
    EXPECT_EQ(h.model.liveItems(h.userId).size(), 1);
}

TEST(SyncE2e, ListRenamesAndDeletesOnBothSides)
{
    SyncE2eHarness h;
    const QString home = h.localList(u"Home"_s);
    const QString work = h.localList(u"Work"_s);
    const QString trips = h.localList(u"Trips"_s);
    h.localReminder({.title = u"Vacuum"_s, .listId = home});
    h.localReminder({.title = u"Report"_s, .listId = work});
    h.localReminder({.title = u"Pack"_s, .listId = trips});
    h.launch();
    ASSERT_TRUE(h.settle());
    const auto serverListNamed = [&](const QString &name) {
        for (const QJsonObject &list : h.phone->lists()) {
            if (list.value("list_name"_L1).toString() == name) {
                return list.value("list_id"_L1).toString();
            }
        }
        return QString();
    };
    const QString workOnServer = serverListNamed(u"Work"_s);
    const QString tripsOnServer = serverListNamed(u"Trips"_s);
    ASSERT_FALSE(workOnServer.isEmpty());

    // The phone renames one list and deletes another (with its reminder); this machine renames
    // and deletes too.
    h.phone->renameList(workOnServer, u"Office"_s);
    h.phone->deleteList(tripsOnServer);
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.store.list(work)->title, u"Office"_s);
    EXPECT_FALSE(h.store.list(trips));
    EXPECT_FALSE(h.localByTitle(u"Pack"_s));
    EXPECT_TRUE(converged(h));

    h.renameLocalList(work, u"Office 2"_s);
    h.deleteLocalList(home);
    ASSERT_TRUE(h.settle());
    EXPECT_TRUE(converged(h));
    EXPECT_TRUE(serverListNamed(u"Home"_s).isEmpty());
    EXPECT_FALSE(serverListNamed(u"Office 2"_s).isEmpty());
    EXPECT_TRUE(h.phone->findByTitle(u"Vacuum"_s).isEmpty());
    EXPECT_EQ(h.phone->reminder(h.phone->findByTitle(u"Report"_s))->value("list_name"_L1).toString(), u"Office 2"_s);
}

// Deletes made while this machine is not running, on the phone and here. The first pass after the
// launch asks for the server's changes since its stored cursor before the full snapshot, so the
// phone's delete arrives whether or not full snapshots list tombstones; a reminder that is mapped
// but gone from the local store was deleted here, and its deletion goes up. A stored cursor the
// server no longer knows gets a full snapshot at once, which the pass then goes on with. Whether
// every mapped reminder is gone is judged on the store as the launch found it, before the phone's
// deletes are applied.
TEST(SyncE2e, DeletesOnEachSideWhileClosed)
{
    enum class Case { Tombstones, NoTombstones, UnknownCursor, NothingStays };
    for (const Case variant : {Case::Tombstones, Case::NoTombstones, Case::UnknownCursor, Case::NothingStays}) {
        SCOPED_TRACE(int(variant));
        SyncE2eHarness h;
        h.model.setTombstonesInFullSnapshots(variant != Case::NoTombstones);
        if (variant != Case::NothingStays) {
            h.localReminder({.title = u"Stays"_s});
        }
        h.localReminder({.title = u"Deleted by phone"_s});
        const QString deletedHere = h.localReminder({.title = u"Deleted here"_s});
        h.launch();
        ASSERT_TRUE(h.settle());
        h.quit();

        const QString deletedHereOnServer = h.phone->findByTitle(u"Deleted here"_s);
        h.phone->deleteReminder(h.phone->findByTitle(u"Deleted by phone"_s));
        h.deleteLocal(deletedHere);
        if (variant == Case::UnknownCursor) {
            FileUserDefaults(h.dir.filePath(u"defaults.json"_s)).setString(u"Quorvin.CloudPullCursor"_s, u"g9-1"_s);
        }
        const qsizetype before = h.journalSize();
        h.launch();
        ASSERT_TRUE(h.settle());

        EXPECT_TRUE(converged(h));
        EXPECT_FALSE(h.localByTitle(u"Deleted by phone"_s));
        EXPECT_FALSE(h.localByTitle(u"Deleted here"_s));
        EXPECT_TRUE(h.model.deletedItemIds(h.userId).contains(deletedHereOnServer));
        EXPECT_EQ(h.model.liveItems(h.userId).size(), variant == Case::NothingStays ? 0 : 1);
        // The changes since the cursor first; then the full snapshot, unless that answer was one.
        QList<bool> withCursor;
        for (const CloudJournalEntry &entry : h.server.journal().mid(before)) {
            if (entry.request.method == u"GET"_s && entry.request.path() == u"/sync"_s && withCursor.size() < 2) {
                withCursor << entry.request.hasQuery;
            }
        }
        EXPECT_EQ(withCursor, QList<bool>({true, variant == Case::UnknownCursor}));
    }
}

} // namespace
} // namespace quorvin::test
