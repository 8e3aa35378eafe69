#include "platform/concurrency/ManualClock.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

// Every test binary gets a Qt application so timers, queued calls and networking work; GUI test
// binaries construct their own QApplication through QUORVIN_GUI_TESTS.
#ifdef QUORVIN_GUI_TESTS
#include <QApplication>
using TestApplication = QApplication;
#else
using TestApplication = QCoreApplication;
#endif

namespace {

// A task cancelled when a test's objects go away wakes through the event loop. Running the loop
// once more after each test lets such tasks end, so their frames are freed rather than reported
// as leaks, and no test runs what the one before it left queued.
class EndCancelledTasksAfterEachTest : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo &) override { quorvin::ManualClock::drainEvents(); }
};

} // namespace

int main(int argc, char **argv)
{
#ifdef QUORVIN_GUI_TESTS
    // Headless unless told otherwise, also when the build lists the tests without ctest's
    // environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
#endif
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new EndCancelledTasksAfterEachTest);
    return RUN_ALL_TESTS();
}
