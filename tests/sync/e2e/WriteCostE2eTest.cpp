#include "SyncE2eHarness.h"

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace quorvin::test {
namespace {

// A large pull writes the reminders and the settings a few times, not once per few items: each
// write replaces a whole file, so writing per few items grew with the square of the pull.
TEST(WriteCost, APullOfTenThousandRemindersCommitsTheStoreAndTheSettingsAFewTimes)
{
    SyncE2eHarness h;
    h.launch();
    ASSERT_TRUE(h.settle());
    const auto settingsFiles = std::make_shared<int>(0);
    auto calls = AtomicFileWriter::realSystemCalls();
    calls.fsync = [settingsFiles, real = calls.fsync](int fd) {
        ++*settingsFiles;
        return real(fd);
    };
    h.defaults->fileWriter().setSystemCalls(calls);

    constexpr int pulled = 10000;
    for (int i = 0; i < pulled; ++i) {
        h.phone->createReminder({.title = u"Phone %1"_s.arg(i)});
    }
    const int commitsBefore = h.store.counters().commits;
    h.service->scheduleCloudSync(u"manual"_s);
    ASSERT_TRUE(h.settle()) << h.unrest().toStdString();

    EXPECT_EQ(h.localReminders().size(), std::size_t(pulled));
    EXPECT_LE(h.store.counters().commits - commitsBefore, 2);
    // The cursors of an apply ride in its mappings' fold: each write is the whole settings file.
    EXPECT_LE(*settingsFiles, 8);
}

} // namespace
} // namespace quorvin::test
