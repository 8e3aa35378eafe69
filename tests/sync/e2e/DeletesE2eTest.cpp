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

// A peer deletes while this machine is not running; the first pass after the launch is a restart
// pass on a full snapshot. The server lists its retained tombstones there, so the delete reaches
// this machine. Without them the snapshot cannot tell this machine that the reminder is gone: it
// stays here, still mapped to the deleted server id, and goes up again as a new server copy the
// next time it is edited here.
TEST(SyncE2e, PeerDeleteWhileClosed)
{
    for (const bool tombstones : {true, false}) {
        SCOPED_TRACE(tombstones ? "tombstones listed" : "tombstones not listed");
        SyncE2eHarness h;
        h.model.setTombstonesInFullSnapshots(tombstones);
        h.localReminder({.title = u"Stays"_s});
        h.localReminder({.title = u"Deleted by phone"_s});
        h.launch();
        ASSERT_TRUE(h.settle());
        h.quit();

        const QString deleted = h.phone->findByTitle(u"Deleted by phone"_s);
        h.phone->deleteReminder(deleted);
        h.launch();
        ASSERT_TRUE(h.settle());
        if (tombstones) {
            EXPECT_TRUE(converged(h));
            EXPECT_FALSE(h.localByTitle(u"Deleted by phone"_s));
            EXPECT_EQ(h.model.liveItems(h.userId).size(), 1);
            continue;
        }
        const std::optional<Reminder> survivor = h.localByTitle(u"Deleted by phone"_s);
        ASSERT_TRUE(survivor);
        EXPECT_EQ(h.model.liveItems(h.userId).size(), 1);
        EXPECT_EQ(h.service->syncState().reminderMappingIndex().localID(deleted), survivor->id);

        h.editLocal(survivor->id, [](Reminder &reminder) { reminder.notes = u"still wanted"_s; });
        ASSERT_TRUE(h.settle());
        EXPECT_TRUE(converged(h));
        EXPECT_EQ(h.model.liveItems(h.userId).size(), 2);
        EXPECT_TRUE(h.model.deletedItemIds(h.userId).contains(deleted)) << "a new copy, not the old record";
    }
}

} // namespace
} // namespace quorvin::test
