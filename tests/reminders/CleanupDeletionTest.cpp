#include "MonitorFixture.h"

#include "reminders/Strings.h"

using namespace Qt::Literals::StringLiterals;
using namespace quorvin;
using namespace quorvin::test;

namespace {

using CleanupDeletion = MonitorFixture;

// Only reminders that are still completed go, in one commit; the rest are counted. A removal or a
// commit that fails part-way leaves the store exactly as it was, and nothing it staged can be
// committed later by an unrelated write.
TEST_F(CleanupDeletion, RemovesWhatIsStillCompletedAndAFailureChangesNothing)
{
    Reminder done;
    done.title = u"Done"_s;
    done.completed = true;
    const QString a = save(done).id;
    const QString b = save(done).id;
    const QString c = save(done).id;
    Reminder open;
    open.title = u"Reopened"_s;
    const QString reopened = save(open).id;
    const auto before = store.reminders();
    run(monitor.refresh(RemindersText::reasonStartup));

    for (const bool failCommit : {false, true}) {
        SCOPED_TRACE(failCommit ? "commit fails" : "second removal fails");
        if (failCommit) {
            store.failNextCommit();
        } else {
            store.failRemoval(2);
        }
        EXPECT_THROW(run(monitor.deleteCompletedCleanupCandidates({a, b, c}, false)), ReminderStoreError);
        EXPECT_FALSE(store.hasUncommittedChanges());
        Reminder unrelated;
        unrelated.title = u"Unrelated"_s;
        store.removeReminder(save(unrelated).id);
        EXPECT_EQ(store.reminders(), before);
    }

    const int removed
        = run(monitor.deleteCompletedCleanupCandidates({u" "_s + a + u"\n"_s, b, a, reopened, u"gone"_s, u""_s}, true));
    EXPECT_EQ(removed, 2);
    EXPECT_FALSE(store.reminder(a));
    EXPECT_FALSE(store.reminder(b));
    EXPECT_TRUE(store.reminder(c));
    EXPECT_TRUE(store.reminder(reopened));
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().reason, RemindersText::reasonCompletedCleanup);
    EXPECT_EQ(events.back().deletions, 2);
    ASSERT_FALSE(diagnostics.empty());
    EXPECT_EQ(diagnostics.back(), RemindersText::diagCleanupSkippedPrefix + u"2"_s);
}

} // namespace
