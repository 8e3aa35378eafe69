// First sync of 10,000 local reminders to an empty in-process cloud service, then an idle pass;
// and a first pull of thousands of server reminders into an empty reminders file, with the
// settings in a real file, counting the file writes it makes. Prints wall and CPU time and the
// requests each pass sent. Time inside the service runs on a virtual clock, so only real work is
// measured (the in-process server's share included).

#include "activity/DiagnosticLog.h"
#include "platform/concurrency/ManualClock.h"
#include "platform/defaults/FileUserDefaults.h"
#include "platform/defaults/InMemoryUserDefaults.h"
#include "platform/reminderstore/InMemoryReminderStore.h"
#include "platform/reminderstore/JsonFileReminderStore.h"
#include "support/cloudserver/CloudServer.h"
#include "support/cloudserver/InProcessHttpSession.h"
#include "support/cloudserver/Phone.h"
#include "sync/QuorvinMacService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>

using namespace quorvin;
using namespace quorvin::test;
using namespace std::chrono_literals;

namespace {

struct Measurement {
    double wallSeconds = 0;
    double cpuSeconds = 0;
    qsizetype requests = 0;
    qsizetype mutations = 0;
};

template <typename Work> Measurement measure(CloudServer &server, Work work)
{
    server.clearJournal();
    QElapsedTimer wall;
    wall.start();
    const std::clock_t cpuStart = std::clock();
    work();
    Measurement result;
    result.cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    result.wallSeconds = double(wall.nsecsElapsed()) / 1e9;
    for (const auto &entry : server.journal()) {
        ++result.requests;
        if (entry.request.method == QStringLiteral("POST")) {
            ++result.mutations;
        }
    }
    return result;
}

void print(const char *label, const Measurement &m)
{
    std::printf("%-28s wall %.3f s  cpu %.3f s  requests %lld  mutations %lld\n", label, m.wallSeconds, m.cpuSeconds,
        static_cast<long long>(m.requests), static_cast<long long>(m.mutations));
}

void runFirstSyncAndIdlePass(int reminderCount)
{
    ManualClock clock;
    CloudServer server(clock);
    InProcessHttpSession http(server, clock);
    InMemoryUserDefaults defaults;
    InMemoryReminderStore store(clock);

    const auto userId = server.createUser(QStringLiteral("+8613800138000"));
    defaults.setString(QStringLiteral("Quorvin.CloudBaseURL"), InProcessHttpSession::baseUrl());
    defaults.setString(QStringLiteral("Quorvin.CloudAuthToken"), server.createSession(userId, QStringLiteral("mqv")));
    ReminderList list;
    list.title = QStringLiteral("Inbox");
    list.sourceId = store.sources().front().id;
    list = store.saveList(list);
    for (int i = 0; i < reminderCount; ++i) {
        Reminder reminder;
        reminder.listId = list.id;
        reminder.title = QStringLiteral("Reminder %1").arg(i);
        reminder.completed = i % 5 == 0;
        store.saveReminder(reminder, false);
    }
    store.commit();

    QuorvinMacService service(defaults, http, clock, store);
    auto idle = [&] { return !service.isCloudSyncRunnerActive(); };

    const auto first = measure(server, [&] {
        runInVirtualTime(clock, service.startIfNeeded());
        ManualClock::drainEvents();
        clock.runUntil(idle, 24h);
    });
    print("first sync", first);

    // Let the store-change debounce of the first sync's own writes run out before the idle pass.
    clock.advance(5s);
    clock.runUntil(idle, 24h);

    const auto second = measure(server, [&] {
        service.scheduleCloudSync(QStringLiteral("manual"));
        ManualClock::drainEvents();
        clock.runUntil(idle, 24h);
    });
    print("idle pass", second);
    std::printf("status: %s\n", qPrintable(service.lastSyncAttemptStatus()));
    service.shutdown();
    ManualClock::drainEvents();
}

void BM_FirstSyncOf10000(benchmark::State &state)
{
    for (auto _ : state) {
        runFirstSyncAndIdlePass(int(state.range(0)));
    }
}
BENCHMARK(BM_FirstSyncOf10000)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);

// Counts the files a writer replaced and the bytes it wrote.
struct WriteCounter {
    qint64 files = 0;
    qint64 bytes = 0;
};

AtomicFileWriter::SystemCalls counting(const std::shared_ptr<WriteCounter> &counter)
{
    auto calls = AtomicFileWriter::realSystemCalls();
    calls.write = [counter, real = calls.write](int fd, const char *data, size_t size) {
        const auto written = real(fd, data, size);
        if (written > 0) {
            counter->bytes += written;
        }
        return written;
    };
    calls.fsync = [counter, real = calls.fsync](int fd) {
        ++counter->files;
        return real(fd);
    };
    return calls;
}

void runFirstPullIntoEmptyFile(int reminderCount)
{
    ManualClock clock;
    CloudServer server(clock);
    InProcessHttpSession http(server, clock);
    QTemporaryDir dir;
    const auto userId = server.createUser(QStringLiteral("+8613800138000"));
    Phone phone(server, userId);
    const auto listId = phone.createList(QStringLiteral("Inbox"));
    for (int i = 0; i < reminderCount; ++i) {
        Phone::Reminder reminder;
        reminder.listId = listId;
        reminder.title = QStringLiteral("Phone reminder %1").arg(i);
        reminder.completed = i % 5 == 0;
        phone.createReminder(reminder);
    }
    FileUserDefaults defaults(dir.filePath(QStringLiteral("settings.json")), clock);
    defaults.setString(QStringLiteral("Quorvin.CloudBaseURL"), InProcessHttpSession::baseUrl());
    defaults.setString(QStringLiteral("Quorvin.CloudAuthToken"), server.createSession(userId, QStringLiteral("mqv")));
    JsonFileReminderStore store(dir.filePath(QStringLiteral("reminders.json")), clock);
    const auto settingsWrites = std::make_shared<WriteCounter>();
    const auto storeWrites = std::make_shared<WriteCounter>();
    defaults.fileWriter().setSystemCalls(counting(settingsWrites));
    store.fileWriter().setSystemCalls(counting(storeWrites));

    QuorvinMacService service(defaults, http, clock, store);
    const auto first = measure(server, [&] {
        runInVirtualTime(clock, service.startIfNeeded());
        ManualClock::drainEvents();
        clock.runUntil([&] { return !service.isCloudSyncRunnerActive(); }, std::chrono::hours(24));
    });
    print("first pull", first);
    std::printf("local reminders %zu  settings files %lld (%.1f MB)  reminder files %lld (%.1f MB)\n",
        store.reminders().size(), static_cast<long long>(settingsWrites->files), double(settingsWrites->bytes) / 1e6,
        static_cast<long long>(storeWrites->files), double(storeWrites->bytes) / 1e6);
    std::printf("status: %s\n", qPrintable(service.lastSyncAttemptStatus()));
    if (!service.diagnosticLog().logs().isEmpty()) {
        for (const auto &line : service.diagnosticLog().logs()) {
            if (line.text.contains(QStringLiteral("失败"))) {
                std::printf("%s\n", qPrintable(line.text));
            }
        }
    }
    service.shutdown();
    ManualClock::drainEvents();
}

void BM_FirstPullIntoEmptyFile(benchmark::State &state)
{
    for (auto _ : state) {
        runFirstPullIntoEmptyFile(int(state.range(0)));
    }
}
BENCHMARK(BM_FirstPullIntoEmptyFile)->Arg(1000)->Arg(5000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
