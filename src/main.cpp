#include "platform/concurrency/Spawn.h"
#include "platform/concurrency/SystemClock.h"
#include "platform/defaults/FileUserDefaults.h"
#include "platform/files/DataDirectoryLock.h"
#include "platform/http/QtHttpSession.h"
#include "platform/reminderstore/eds/ReminderStoreSelection.h"
#include "sync/QuorvinMacService.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

using namespace quorvin;

namespace {

int signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// A termination request is always granted: the service first lets a running pass reach a point
// where everything it wrote is saved, then the loop quits.
void quitOnTerminationSignals(QuorvinMacService &service)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        return;
    }
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [&service] { service.requestStop(); });
    QObject::connect(&service, &QuorvinMacService::stopped, QCoreApplication::instance(), &QCoreApplication::quit);
    std::signal(SIGINT, onTerminationSignal);
    std::signal(SIGTERM, onTerminationSignal);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quorvin"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVIN_VERSION));

    // One copy per data directory, decided before any file is opened: a second copy leaves
    // everything as it found it.
    DataDirectoryLock lock(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    if (lock.state() == DataDirectoryLock::State::HeldByAnother) {
        QTextStream(stderr) << lock.failure() << Qt::endl;
        return 1;
    }
    if (lock.state() == DataDirectoryLock::State::Failed) {
        // A file system without locks should not keep the app from running.
        QTextStream(stderr) << lock.failure() << "; starting without the one-copy guard" << Qt::endl;
    }

    Clock &clock = Clock::system();
    FileUserDefaults defaults(FileUserDefaults::standardFilePath());
    QtHttpSession http;
    const auto store = ReminderStoreSelection::make(defaults, clock);
    QuorvinMacService service(defaults, http, clock, *store);

    // Until the desktop shell exists the status line goes to the terminal.
    QTextStream out(stdout);
    QString lastStatus;
    QObject::connect(&service, &QuorvinMacService::changed, [&] {
        if (service.lastSyncAttemptStatus() != lastStatus) {
            lastStatus = service.lastSyncAttemptStatus();
            out << lastStatus << Qt::endl;
        }
    });

    // Why a start-up or a pass failed, for the terminal and the journal.
    QObject::connect(&service, &QuorvinMacService::syncFailureReported,
        [](const QString &description) { QTextStream(stderr) << description << Qt::endl; });

    quitOnTerminationSignals(service);
    spawn(service.startIfNeeded(), QStringLiteral("startIfNeeded"));
    const int status = QCoreApplication::exec();
    service.finishAfterStop();
    return status;
}
