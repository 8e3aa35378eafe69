#include "Convergence.h"
#include "SyncE2eHarness.h"
#include "activity/ActivityLog.h"
#include "matching/CloudSyncState.h"
#include "support/cloudserver/CloudFault.h"

#include <QJsonObject>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace quorvin::test {
namespace {

qsizetype localPhoneReminders(const SyncE2eHarness &h)
{
    qsizetype count = 0;
    for (const Reminder &reminder : h.localReminders()) {
        count += reminder.title.startsWith(u"Phone "_s) ? 1 : 0;
    }
    return count;
}

// A long pull cut short by a quit or a kill in the middle of its apply, between two of its commits,
// leaves every reminder it committed with its mapping saved and drops what it had only staged: when
// the phone then edits one of them, the next start updates it in place. Without the mapping the
// stale local copy would be uploaded as a new server item. A quit is a quiet stop: no failure is
// reported for it.
TEST(SyncE2e, APassCutShortInTheMiddleOfItsApplyLeavesNoDuplicate)
{
    for (const auto how : {SyncE2eHarness::Interruption::Quit, SyncE2eHarness::Interruption::Kill}) {
        SCOPED_TRACE(how == SyncE2eHarness::Interruption::Quit ? "quit" : "kill");
        SyncE2eHarness h;
        h.localReminder({.title = u"Already here"_s});
        h.launch();
        ASSERT_TRUE(h.settle());

        // Each stretch of items takes time, so the apply commits more than once.
        h.clock.setWorkBetweenYields(400ms);
        QStringList ids;
        for (int i = 0; i < 60; ++i) {
            ids << h.phone->createReminder({.title = u"Phone %1"_s.arg(i, 2, 10, QLatin1Char('0'))});
        }
        ASSERT_TRUE(h.interruptPass([&] { return localPhoneReminders(h) > 0; }, how));
        const qsizetype written = localPhoneReminders(h);
        EXPECT_GT(written, 0);
        EXPECT_LT(written, 60) << "the pass ended in the middle of its apply";

        h.phone->setTitle(ids.first(), u"Phone 00 (edited)"_s);
        h.launch();
        ASSERT_TRUE(h.settle()) << h.unrest().toStdString();
        EXPECT_TRUE(converged(h));
        EXPECT_TRUE(h.localByTitle(u"Phone 00 (edited)"_s));
        EXPECT_FALSE(h.localByTitle(u"Phone 00"_s));
        EXPECT_EQ(h.model.liveItems(h.userId).size(), 61);
        for (const auto &entry : h.service->activityLog().activityLogs()) {
            EXPECT_NE(entry.summary, u"云同步失败"_s) << entry.details.join(u"; "_s).toStdString();
        }
    }
}

// A quit while the pass waits for a server that does not answer: the wait is cut after a few
// seconds, and the next start picks up from what was saved.
TEST(SyncE2e, AQuitDoesNotWaitForAServerThatHangs)
{
    SyncE2eHarness h;
    h.localReminder({.title = u"Before"_s});
    h.launch();
    ASSERT_TRUE(h.settle());

    h.localReminder({.title = u"Made while the server hangs"_s});
    h.server.addFault(u"POST"_s, u"/reminders/upsert"_s, CloudFault::hanging());
    const auto askedAt = h.clock.monotonicNow();
    ASSERT_TRUE(h.interruptPass(
        [&] { return !h.server.journalFor(u"/reminders/upsert"_s).isEmpty(); }, SyncE2eHarness::Interruption::Quit));
    EXPECT_LE(h.clock.monotonicNow() - askedAt, 1min);

    h.launch();
    ASSERT_TRUE(h.settle()) << h.unrest().toStdString();
    EXPECT_TRUE(converged(h));
    EXPECT_EQ(h.serverItemsTitled(u"Made while the server hangs"_s).size(), 1);
}

// A push killed between two answers keeps the mapping of the first: when the phone then edits that
// item and drops this machine's ids of it on the way, the restart updates the reminder in place
// instead of uploading it again while pulling the phone's edit as a new one.
TEST(SyncE2e, AKillBetweenTwoAnswersOfAPushLeavesNoDouble)
{
    // The first start uploads all five in one push.
    SyncE2eHarness h;
    QStringList local;
    for (int i = 0; i < 5; ++i) {
        local << h.localReminder({.title = u"Mac %1"_s.arg(i)});
    }
    h.launch();
    QStringList answered;
    ASSERT_TRUE(h.interruptPass(
        [&] {
            answered.clear();
            for (const QString &id : std::as_const(local)) {
                if (const auto serverID = h.service->syncState().reminderMappingIndex().firstServerID(id)) {
                    answered << *serverID;
                }
            }
            return !answered.isEmpty();
        },
        SyncE2eHarness::Interruption::Kill));
    ASSERT_LT(answered.size(), 5) << "the kill fell in the middle of the push";

    // A service that keeps no source id the phone leaves out.
    h.model.setKeepSourceItemIdWhenOmitted(false);
    for (const QString &serverID : std::as_const(answered)) {
        h.phone->editReminder(serverID, [](QJsonObject &record) {
            record.remove(u"source_external_id"_s);
            record.insert(u"title"_s, record.value(u"title"_s).toString() + u" (phone)"_s);
        });
    }
    h.launch();
    ASSERT_TRUE(h.settle()) << h.unrest().toStdString();
    EXPECT_TRUE(converged(h));
    EXPECT_EQ(h.model.liveItems(h.userId).size(), 5);
    EXPECT_EQ(h.localReminders().size(), 5u);
    for (int i = 0; i < 5; ++i) {
        const QString title = u"Mac %1"_s.arg(i);
        EXPECT_EQ(h.serverItemsTitled(title).size() + h.serverItemsTitled(title + u" (phone)"_s).size(), 1)
            << title.toStdString();
    }
}

} // namespace
} // namespace quorvin::test
