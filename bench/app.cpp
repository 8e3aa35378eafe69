// How long the event loop stalls while a first sync runs with the main window open: a 10 ms
// timer's worst lateness, on the real event loop and clock, with the test cloud service on
// loopback (serving from its own thread) and the settings in a real file. Target: 50 ms or less.
//
// Each case is one first sync: "pull" brings the reminders a phone made into an empty store,
// "push" sends local reminders to an empty service. The store is the one kept in memory, or the
// app's JSON file (which writes itself whole on every commit, so that case runs fewer reminders).
// Each prints its worst stall, how many ticks were more than 50 ms late, and the sync's wall time.

#include "app/AppVisibility.h"
#include "app/QuorvinAppearanceController.h"
#include "app/QuorvinUpdateController.h"
#include "platform/concurrency/Clock.h"
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
#include <QTemporaryDir>
#include <QTimer>

#include "FirstSync.h"
#include "StallMeter.h"

#include <benchmark/benchmark.h>

#include <cstdio>

using namespace quorvin;
using namespace quorvin::test;

namespace {

using bench::StallMeter;

enum Direction { Pull, Push };
enum StoreKind { Memory, JsonFile };

void runFirstSync(benchmark::State &state, Direction direction, StoreKind kind, int count)
{
    QTemporaryDir dir;
    CloudServer server;
    const QString userId = server.createUser(QStringLiteral("+8613800138000"));
    const QString token = server.createSession(userId, QStringLiteral("mqv"), QStringLiteral("mac-bench"));
    std::unique_ptr<InMemoryReminderStore> store;
    if (kind == JsonFile) {
        store
            = std::make_unique<JsonFileReminderStore>(dir.filePath(QStringLiteral("reminders.json")), Clock::system());
    } else {
        store = std::make_unique<InMemoryReminderStore>(Clock::system());
    }
    if (direction == Pull) {
        Phone phone(server, userId);
        const QString list = phone.createList(QStringLiteral("Inbox"));
        for (int i = 0; i < count; ++i) {
            phone.createReminder({.title = QStringLiteral("Reminder %1").arg(i), .listId = list});
        }
    } else {
        ReminderList list;
        list.title = QStringLiteral("Inbox");
        list.sourceId = store->sources().front().id;
        list = store->saveList(list);
        for (int i = 0; i < count; ++i) {
            Reminder reminder;
            reminder.listId = list.id;
            reminder.title = QStringLiteral("Reminder %1").arg(i);
            store->saveReminder(reminder, false);
        }
        store->commit();
    }
    LoopbackCloudServer loopback(server);
    if (!loopback.start()) {
        state.SkipWithError("cannot listen on 127.0.0.1");
        return;
    }

    FileUserDefaults defaults(dir.filePath(QStringLiteral("settings.json")));
    defaults.setString(QStringLiteral("Quorvin.CloudBaseURL"), loopback.baseUrl());
    defaults.setString(QStringLiteral("Quorvin.CloudAuthToken"), token);
    QtHttpSession http;
    QuorvinMacService service(defaults, http, Clock::system(), *store);

    FakeUpdater updater;
    QuorvinUpdateController updates(updater, defaults, Clock::system(), QStringLiteral("1"));
    FakeSystemAppearance system;
    QuorvinAppearanceController appearance(defaults, system);
    FakeDockIconPolicy dock;
    AppVisibility visibility(dock);
    FakeLoginItem loginItem;
    ContentView window({service, defaults, updates, appearance, visibility, loginItem, [] {}});
    window.show();

    QElapsedTimer wall;
    wall.start();
    StallMeter meter;
    bench::runFirstSync(service, 15 * 60 * 1000);

    std::printf("%s %s %d reminders: worst stall %lld ms, ticks late by >50 ms: %d, sync %.1f s%s\n",
        direction == Pull ? "pull" : "push", kind == JsonFile ? "json-file" : "memory", count,
        static_cast<long long>(meter.worstMs()), meter.over50(), double(wall.elapsed()) / 1000,
        service.lastSyncSuccessAt() ? "" : " (did not finish)");
    std::fflush(stdout);
    state.counters["worst_stall_ms"] = double(meter.worstMs());
    service.shutdown();
    loopback.stop();
}

void BM_WindowStallDuringFirstSync(benchmark::State &state, Direction direction, StoreKind kind, int count)
{
    for (auto _ : state) {
        runFirstSync(state, direction, kind, count);
    }
}
BENCHMARK_CAPTURE(BM_WindowStallDuringFirstSync, pull_10000_memory, Pull, Memory, 10000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WindowStallDuringFirstSync, push_10000_memory, Push, Memory, 10000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WindowStallDuringFirstSync, pull_2000_json_file, Pull, JsonFile, 2000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
