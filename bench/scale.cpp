// The app at 1,000, 10,000 and 50,000 reminders, each case on the real event loop and clock with the
// main window open, the reminders in the app's JSON file and the settings in a real file, against
// the test cloud service on loopback, in a process of its own (on the cores the app is not pinned to):
//   pull     a first pull of what a phone made into an empty store,
//   push     a first push of local reminders (a third with an alarm) to an empty service,
//   restart  the pass at the next start when nothing changed (after the pull).
// Each prints the bytes written to the reminders and settings files against their final sizes, the
// worst lateness of a 10 ms timer (the longest stall of the window), the peak resident memory of
// the app's process during the case, the requests sent and the wall time. Run one size at a time,
// pinned to one core: taskset -c 2 bench_scale --benchmark_filter=/10000/
// Targets at 10,000 / 50,000: bytes of a pull at most 3x the final files, stall 50 / 100 ms, peak
// 120 / 450 MB, restart pass at 50,000 3 s.

#include "activity/DiagnosticLog.h"
#include "app/AppVisibility.h"
#include "app/QuorvinAppearanceController.h"
#include "app/QuorvinUpdateController.h"
#include "platform/concurrency/Clock.h"
#include "platform/core/AllocatorArenas.h"
#include "platform/defaults/FileUserDefaults.h"
#include "platform/http/QtHttpSession.h"
#include "platform/reminderstore/JsonFileReminderStore.h"
#include "platform/shell/FakeDockIconPolicy.h"
#include "platform/shell/FakeLoginItem.h"
#include "platform/shell/FakeSystemAppearance.h"
#include "platform/shell/FakeUpdater.h"
#include "support/cloudserver/CloudServer.h"
#include "support/cloudserver/LoopbackCloudServer.h"
#include "support/cloudserver/Phone.h"
#include "sync/QuorvinMacService.h"
#include "ui/ContentView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QTimer>

#include "FirstSync.h"
#include "StallMeter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <memory>

#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvin;
using namespace quorvin::test;

namespace {

using bench::StallMeter;

// Peak resident memory since the last reset (Linux: VmHWM, reset through clear_refs).
void resetPeakMemory()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly)) {
        file.write("5");
    }
}

double peakMemoryMB()
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const auto &line : file.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').front().toDouble() / 1024;
        }
    }
    return 0;
}

struct WriteCounter {
    qint64 bytes = 0;
    qint64 files = 0;
};

AtomicFileWriter::SystemCalls counting(const std::shared_ptr<WriteCounter> &counter)
{
    auto calls = AtomicFileWriter::realSystemCalls();
    calls.write = [counter, real = calls.write](int fd, const char *data, size_t size) {
        const auto written = real(fd, data, size);
        counter->bytes += written > 0 ? written : 0;
        return written;
    };
    calls.fsync = [counter, real = calls.fsync](int fd) {
        ++counter->files;
        return real(fd);
    };
    return calls;
}

// The cloud service in a process of its own, so that its memory is not counted as the app's. It is
// forked before the case builds anything and serves on loopback until it is ended; it counts the
// requests it answered into a file, emptying its journal as it goes.
class ServiceProcess {
public:
    ServiceProcess(int phoneReminders, const QString &requestsFile)
        : m_requestsFile(requestsFile)
    {
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        std::fflush(stdout);
        m_pid = fork();
        if (m_pid == 0) {
            close(fds[0]);
            leaveTheAppsCores();
            serve(phoneReminders, fds[1]);
            _exit(0);
        }
        close(fds[1]);
        QByteArray answer;
        char buffer[512];
        for (ssize_t got; (got = read(fds[0], buffer, sizeof buffer)) > 0;) {
            answer.append(buffer, got);
        }
        close(fds[0]);
        const auto lines = answer.split('\n');
        if (lines.size() >= 2) {
            m_baseUrl = QString::fromUtf8(lines[0]);
            m_token = QString::fromUtf8(lines[1]);
        }
    }
    ~ServiceProcess()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    bool running() const { return !m_baseUrl.isEmpty(); }
    const QString &baseUrl() const { return m_baseUrl; }
    const QString &token() const { return m_token; }
    qsizetype requests() const
    {
        QFile file(m_requestsFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
    }

private:
    // The app is measured pinned to its core(s) (taskset); the service, no part of the app, runs
    // on the others, so its work is not counted as the app's time.
    static void leaveTheAppsCores()
    {
        cpu_set_t apps;
        CPU_ZERO(&apps);
        if (sched_getaffinity(0, sizeof apps, &apps) != 0) {
            return;
        }
        cpu_set_t others;
        CPU_ZERO(&others);
        const long cores = sysconf(_SC_NPROCESSORS_ONLN);
        for (int core = 0; core < cores && core < CPU_SETSIZE; ++core) {
            if (!CPU_ISSET(core, &apps)) {
                CPU_SET(core, &others);
            }
        }
        if (CPU_COUNT(&others) > 0) {
            sched_setaffinity(0, sizeof others, &others);
        }
    }

    void serve(int phoneReminders, int answerFd) const
    {
        CloudServer server;
        const QString userId = server.createUser(QStringLiteral("+8613800138000"));
        const QString token = server.createSession(userId, QStringLiteral("mqv"), QStringLiteral("mac-bench"));
        if (phoneReminders > 0) {
            Phone phone(server, userId);
            const QString list = phone.createList(QStringLiteral("Inbox"));
            for (int i = 0; i < phoneReminders; ++i) {
                phone.createReminder({.title = QStringLiteral("Phone reminder %1").arg(i), .listId = list});
            }
        }
        server.clearJournal();
        LoopbackCloudServer loopback(server);
        const QByteArray answer
            = loopback.start() ? (loopback.baseUrl() + u'\n' + token + u'\n').toUtf8() : QByteArray("\n\n");
        (void)!write(answerFd, answer.constData(), size_t(answer.size()));
        close(answerFd);
        qsizetype total = 0;
        for (;;) {
            usleep(200 * 1000);
            total += server.journal().size();
            server.clearJournal();
            // Replaced whole, so that a reader never sees it half written.
            QFile file(m_requestsFile + QStringLiteral(".new"));
            if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                file.write(QByteArray::number(total));
                file.close();
                std::rename(qPrintable(file.fileName()), qPrintable(m_requestsFile));
            }
        }
    }

    QString m_requestsFile;
    pid_t m_pid = -1;
    QString m_baseUrl;
    QString m_token;
};

// One app over the files in `dir`, with its window open, running until its first pass succeeds.
struct RunResult {
    qint64 stallMs = 0;
    qint64 stallCpuMs = 0;
    double seconds = 0;
    double peakMB = 0;
    qint64 storeBytes = 0;
    qint64 settingsBytes = 0;
    qint64 storeFiles = 0;
    qint64 settingsFiles = 0;
    qsizetype requests = 0;
    double firstApplySeconds = 0;
    double steadyHeapMB = 0;
    bool finished = false;
};

RunResult runApp(
    const QTemporaryDir &dir, const ServiceProcess &cloud, const std::function<void(JsonFileReminderStore &)> &fill)
{
    JsonFileReminderStore store(dir.filePath(QStringLiteral("reminders.json")), Clock::system());
    if (fill) {
        fill(store);
    }
    FileUserDefaults defaults(dir.filePath(QStringLiteral("settings.json")));
    const auto storeWrites = std::make_shared<WriteCounter>();
    const auto settingsWrites = std::make_shared<WriteCounter>();
    store.fileWriter().setSystemCalls(counting(storeWrites));
    defaults.fileWriter().setSystemCalls(counting(settingsWrites));
    QtHttpSession http;
    QuorvinMacService service(defaults, http, Clock::system(), store);
    FakeUpdater updater;
    QuorvinUpdateController updates(updater, defaults, Clock::system(), QStringLiteral("1"));
    FakeSystemAppearance system;
    QuorvinAppearanceController appearance(defaults, system);
    FakeDockIconPolicy dock;
    AppVisibility visibility(dock);
    FakeLoginItem loginItem;
    ContentView window({service, defaults, updates, appearance, visibility, loginItem, [] {}});
    window.show();
    // The window's first layout and paint (fonts, styles) are no part of the sync.
    QEventLoop warmUp;
    QTimer::singleShot(500, &warmUp, &QEventLoop::quit);
    warmUp.exec();

    RunResult result;
    const qsizetype requestsBefore = cloud.requests();
    // From the pass's start to the end of its first apply (its match-index line): the first pull's
    // request, decoding and local apply. Read from the diagnostic log's own timestamps.
    std::optional<QDateTime> passStart;
    std::optional<QDateTime> firstApplyEnd;
    QUuid newestSeen;
    QTimer logWatch;
    QObject::connect(&logWatch, &QTimer::timeout, [&] {
        const auto &lines = service.diagnosticLog().logs();
        for (const auto &line : lines) {
            if (line.id == newestSeen) {
                break;
            }
            const auto at = QDateTime::fromString(line.text.mid(1, line.text.indexOf(u']') - 1), Qt::ISODateWithMs);
            if (line.text.contains(QStringLiteral("云同步开始 ["))) {
                passStart = at;
            } else if (line.text.contains(QStringLiteral("Cloud match index items=")) && passStart && !firstApplyEnd) {
                firstApplyEnd = at;
            }
        }
        if (!lines.isEmpty()) {
            newestSeen = lines.first().id;
        }
    });
    logWatch.start(5);
    QElapsedTimer wall;
    wall.start();
    StallMeter meter;
    bench::runFirstSync(service, 30 * 60 * 1000);
    result.seconds = double(wall.elapsed()) / 1000;
    logWatch.stop();
    // The window's showing of the outcome comes after the success that ended the loop: the meter's
    // timer fires once more before its worst is read, or a stall there would go unseen.
    {
        QEventLoop tail;
        QTimer::singleShot(200, &tail, &QEventLoop::quit);
        tail.exec();
    }
    result.stallMs = meter.worstMs();
    result.stallCpuMs = meter.worstCpuMs();
    result.peakMB = peakMemoryMB();
    result.finished = service.lastSyncSuccessAt().has_value();
    // What stays once the sync is over and its last writes are done: the heap a running app keeps.
    {
        QEventLoop idle;
        QTimer::singleShot(3000, &idle, &QEventLoop::quit);
        idle.exec();
        result.steadyHeapMB = double(mallinfo2().uordblks) / 1e6;
    }
    if (passStart && firstApplyEnd) {
        result.firstApplySeconds = double(passStart->msecsTo(*firstApplyEnd)) / 1000;
    }
    service.shutdown();
    // Let the store's change debounce and the last writes run out before the files are measured.
    QEventLoop settle;
    QTimer::singleShot(4000, &settle, &QEventLoop::quit);
    settle.exec();
    // The settings' writer counts on its own thread.
    defaults.flush();
    result.storeBytes = storeWrites->bytes;
    result.settingsBytes = settingsWrites->bytes;
    result.storeFiles = storeWrites->files;
    result.settingsFiles = settingsWrites->files;
    // The service counts what it answered every 200 ms.
    result.requests = cloud.requests() - requestsBefore;
    return result;
}

void report(benchmark::State &state, const char *what, int count, const QTemporaryDir &dir, const RunResult &r)
{
    const double storeMB = double(QFileInfo(dir.filePath(QStringLiteral("reminders.json"))).size()) / 1e6;
    const double settingsMB = double(QFileInfo(dir.filePath(QStringLiteral("settings.json"))).size()) / 1e6;
    std::printf("%-7s %6d: %s%.2f s (first pull and apply %.2f s), %lld requests, worst stall %lld ms (on the main "
                "thread's own time %lld ms), peak %.0f MB (heap in use after it %.0f MB), "
                "written reminders %.1f MB in %lld "
                "files + settings %.1f MB in %lld files (final files %.1f + %.1f MB: %.1fx)\n",
        what, count, r.finished ? "" : "(did not finish) ", r.seconds, r.firstApplySeconds,
        static_cast<long long>(r.requests), static_cast<long long>(r.stallMs), static_cast<long long>(r.stallCpuMs),
        r.peakMB, r.steadyHeapMB, double(r.storeBytes) / 1e6, static_cast<long long>(r.storeFiles),
        double(r.settingsBytes) / 1e6, static_cast<long long>(r.settingsFiles), storeMB, settingsMB,
        (double(r.storeBytes + r.settingsBytes) / 1e6) / std::max(0.001, storeMB + settingsMB));
    std::fflush(stdout);
    state.counters[std::string(what) + "_s"] = r.seconds;
    state.counters[std::string(what) + "_first_apply_s"] = r.firstApplySeconds;
    state.counters[std::string(what) + "_stall_ms"] = double(r.stallMs);
    state.counters[std::string(what) + "_stall_cpu_ms"] = double(r.stallCpuMs);
    state.counters[std::string(what) + "_peak_MB"] = r.peakMB;
    state.counters[std::string(what) + "_written_MB"] = double(r.storeBytes + r.settingsBytes) / 1e6;
}

bool signIn(benchmark::State &state, const ServiceProcess &cloud, const QTemporaryDir &dir)
{
    if (!cloud.running()) {
        state.SkipWithError("the service did not start");
        return false;
    }
    FileUserDefaults defaults(dir.filePath(QStringLiteral("settings.json")));
    defaults.setString(QStringLiteral("Quorvin.CloudBaseURL"), cloud.baseUrl());
    defaults.setString(QStringLiteral("Quorvin.CloudAuthToken"), cloud.token());
    return true;
}

// A first pull of `count` phone reminders, then the restart pass over the same files.
void BM_PullThenRestart(benchmark::State &state)
{
    const int count = int(state.range(0));
    for (auto _ : state) {
        QTemporaryDir dir;
        const ServiceProcess cloud(count, dir.filePath(QStringLiteral("requests")));
        if (!signIn(state, cloud, dir)) {
            return;
        }
        resetPeakMemory();
        report(state, "pull", count, dir, runApp(dir, cloud, {}));
        resetPeakMemory();
        report(state, "restart", count, dir, runApp(dir, cloud, {}));
    }
}
BENCHMARK(BM_PullThenRestart)->Arg(1000)->Arg(10000)->Arg(50000)->Iterations(1)->Unit(benchmark::kMillisecond);

// A first push of `count` local reminders to an empty service.
void BM_Push(benchmark::State &state)
{
    const int count = int(state.range(0));
    for (auto _ : state) {
        QTemporaryDir dir;
        const ServiceProcess cloud(0, dir.filePath(QStringLiteral("requests")));
        if (!signIn(state, cloud, dir)) {
            return;
        }
        const auto fill = [count](JsonFileReminderStore &store) {
            ReminderList list;
            list.title = QStringLiteral("Inbox");
            list.sourceId = store.sources().front().id;
            list = store.saveList(list);
            for (int i = 0; i < count; ++i) {
                Reminder reminder;
                reminder.listId = list.id;
                reminder.title = QStringLiteral("Reminder %1").arg(i);
                reminder.completed = i % 5 == 0;
                if (i % 3 == 0) {
                    // Items with an alarm come back in the pull after the push and are written again.
                    reminder.alarms = std::vector {
                        ReminderAlarm::atDate(QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC)
                                                  .addDays(1 + i % 30))};
                }
                store.saveReminder(reminder, false);
            }
            store.commit();
        };
        resetPeakMemory();
        report(state, "push", count, dir, runApp(dir, cloud, fill));
    }
}
BENCHMARK(BM_Push)->Arg(1000)->Arg(10000)->Arg(50000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    // As the app itself starts.
    limitAllocatorArenas();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
