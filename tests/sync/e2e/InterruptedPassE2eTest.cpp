#include "Convergence.h"
#include "SyncE2eHarness.h"
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

} // namespace
} // namespace quorvin::test
