#include "Convergence.h"
#include "SyncE2eHarness.h"
#include "sync/Strings.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace quorvin::test {
namespace {

// The server stores an upload but its answer is lost (it fails after the write). The next pass
// pulls the stored item, which carries this machine's id of the reminder, and updates that item
// instead of uploading the reminder a second time.
TEST(SyncE2e, UploadStoredButItsAnswerLost)
{
    SyncE2eHarness h;
    h.localReminder({.title = u"Existing"_s});
    h.launch();
    ASSERT_TRUE(h.settle());

    h.server.addFault(
        u"POST"_s, u"/reminders/upsert"_s, CloudFault::appliedThenAnswer(500, R"({"error":"internal error"})"));
    const QString lost = h.localReminder({.title = u"Answer lost"_s});
    ASSERT_TRUE(h.settle());

    EXPECT_EQ(h.serverItemsTitled(u"Answer lost"_s).size(), 1);
    EXPECT_TRUE(h.logged(SyncText::logKnownRemotelyPrefix + lost));
    EXPECT_TRUE(converged(h));
}

} // namespace
} // namespace quorvin::test
