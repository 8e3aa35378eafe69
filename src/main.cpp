#include "app/QuorvinApp.h"
#include "platform/core/AllocatorArenas.h"
#include "platform/core/UnicodeText.h"
#include "platform/files/DataDirectoryLock.h"
#include "sync/QuorvinMacService.h"
#include "ui/ContentView.h"

#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

using namespace quorvin;

namespace {

// Without any display to reach (a server, a terminal session), the application still runs its
// sync, with its windows drawn nowhere.
void useOffscreenWithoutDisplay()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QTextStream(stderr) << "No display: running without windows" << Qt::endl;
    }
}

// Each new status line goes to standard output, where scripts and the desktop journal read it.
void printStatusLines(QuorvinMacService &service)
{
    QObject::connect(&service, &QuorvinMacService::changed, &service, [&service, last = QString()]() mutable {
        if (service.lastSyncAttemptStatus() != last) {
            last = service.lastSyncAttemptStatus();
            QTextStream(stdout) << UnicodeText::escapingControlCharacters(last) << Qt::endl;
        }
    });
}

int signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// A termination request is always granted: the service first lets a running pass reach a point
// where everything it wrote is saved, then the loop quits.
void quitWhenStopped(QuorvinMacService &service)
{
    QObject::connect(&service, &QuorvinMacService::stopped, QCoreApplication::instance(), &QCoreApplication::quit);
}

void quitOnTerminationSignals(QuorvinMacService &service)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        return;
    }
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    // Tied to the service: a signal that comes in while it winds down at exit reaches nothing.
    QObject::connect(notifier, &QSocketNotifier::activated, &service, [&service] { service.requestStop(); });
    std::signal(SIGINT, onTerminationSignal);
    std::signal(SIGTERM, onTerminationSignal);
}

// Why a start-up or a pass failed, for the terminal and the journal.
void printSyncFailures(QuorvinMacService &service)
{
    QObject::connect(&service, &QuorvinMacService::syncFailureReported, [](const QString &description) {
        QTextStream(stderr) << UnicodeText::escapingControlCharacters(description) << Qt::endl;
    });
}

QWidget *makeMainWindowContent(const QuorvinAppContext &context)
{
    return new ContentView(context);
}

} // namespace

int main(int argc, char **argv)
{
    limitAllocatorArenas();
    useOffscreenWithoutDisplay();
    QuorvinApp app(argc, argv, QStringLiteral(QUORVIN_VERSION));

    // One copy per data directory. A later launch brings the running copy forward and leaves.
    const QString dataDirectory = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const bool primary = app.becomePrimaryInstance(dataDirectory);
    if (!primary && app.activatedRunningCopy()) {
        QTextStream(stderr) << "Quorvin is already running; its window was brought forward" << Qt::endl;
        return 0;
    }

    // Decided before any file is opened: a second copy leaves everything as it found it.
    DataDirectoryLock lock(dataDirectory);
    if (lock.state() == DataDirectoryLock::State::HeldByAnother) {
        QTextStream(stderr) << lock.failure() << Qt::endl;
        return 1;
    }
    if (!primary) {
        QTextStream(stderr) << "Another copy of Quorvin holds the single-instance lock but does not answer" << Qt::endl;
        return 1;
    }
    if (lock.state() == DataDirectoryLock::State::Failed) {
        // A file system without locks should not keep the app from running.
        QTextStream(stderr) << lock.failure() << "; starting without the one-copy guard" << Qt::endl;
    }

    QuorvinMacService &service = app.makeService();
    printStatusLines(service);
    printSyncFailures(service);
    quitWhenStopped(service);
    quitOnTerminationSignals(service);
    app.finishLaunching(&makeMainWindowContent, [&service] { service.requestStop(); });
    const int status = app.exec();
    service.finishAfterStop();
    // Every settings write still under way lands while this copy holds the data directory.
    app.flushSettings();
    return status;
}
