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
    return RUN_ALL_TESTS();
}
