// First sync of 10,000 local reminders to an empty in-process cloud service, then an idle pass.
// Prints wall and CPU time and the requests each pass sent. Time inside the service runs on a
// virtual clock, so only real work is measured (the in-process server's share included).

#include "platform/concurrency/ManualClock.h"
#include "platform/defaults/InMemoryUserDefaults.h"
#include "platform/reminderstore/InMemoryReminderStore.h"
#include "support/cloudserver/CloudServer.h"
#include "support/cloudserver/InProcessHttpSession.h"
#include "sync/QuorvinMacService.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>

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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
