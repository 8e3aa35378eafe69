// How long the event loop stalls while a diagnostics report is built and sent, with tens of
// thousands of reminders: a 10 ms timer's worst lateness, on the real event loop and clock, with
// no window. The test cloud service serves on loopback from its own thread, so its parsing of the
// report is not counted. Target: 50 ms or less.
//
// Each case first pulls the reminders a phone made into an empty store (not measured), so the
// report carries them twice (the store's view and the journal's) along with one mapping each.

#include "platform/concurrency/Clock.h"
#include "platform/defaults/FileUserDefaults.h"
#include "platform/http/QtHttpSession.h"
#include "platform/reminderstore/InMemoryReminderStore.h"
#include "support/cloudserver/CloudServer.h"
#include "support/cloudserver/LoopbackCloudServer.h"
#include "support/cloudserver/Phone.h"
#include "sync/DiagnosticsUpload.h"
#include "sync/QuorvinMacService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include "FirstSync.h"
#include "StallMeter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>

using namespace quorvin;
using namespace quorvin::test;

namespace {

using bench::StallMeter;

// Runs the event loop until `done` holds after a change of the service, or `limitMs` passes.
bool runUntil(QuorvinMacService &service, const std::function<bool()> &done, int limitMs)
{
    if (done()) {
        return true;
    }
    QEventLoop loop;
    QObject::connect(&service, &QuorvinMacService::changed, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

void settleFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void runReport(benchmark::State &state, int count)
{
    QTemporaryDir dir;
    CloudServer server;
    const QString userId = server.createUser(QStringLiteral("+8613800138000"));
    const QString token = server.createSession(userId, QStringLiteral("mqv"), QStringLiteral("mac-bench"));
    {
        Phone phone(server, userId);
        const QString list = phone.createList(QStringLiteral("Inbox"));
        for (int i = 0; i < count; ++i) {
            phone.createReminder({.title = QStringLiteral("Reminder %1").arg(i),
                .notes = QStringLiteral("Notes of reminder %1").arg(i),
                .listId = list,
                .completed = i % 5 == 0});
        }
    }
    InMemoryReminderStore store(Clock::system());
    LoopbackCloudServer loopback(server);
    if (!loopback.start()) {
        state.SkipWithError("cannot listen on 127.0.0.1");
        return;
    }
    FileUserDefaults defaults(dir.filePath(QStringLiteral("settings.json")));
    defaults.setString(QStringLiteral("Quorvin.CloudBaseURL"), loopback.baseUrl());
    defaults.setString(QStringLiteral("Quorvin.CloudAuthToken"), token);
    QtHttpSession http;
    QuorvinMacService service(defaults, http, Clock::system(), store);

    QElapsedTimer setup;
    setup.start();
    if (!bench::runFirstSync(service, 20 * 60 * 1000)) {
        state.SkipWithError("the first sync did not finish");
        return;
    }
    // The store's change debounce after the pull's writes, and the pass that may follow it.
    settleFor(6000);
    runUntil(
        service, [&] { return !service.isCloudSyncRunnerActive(); }, 5 * 60 * 1000);

    const qsizetype reportsBefore = server.journalFor(QStringLiteral("/diagnostics/reports")).size();
    QElapsedTimer wall;
    StallMeter meter;
    wall.start();
    QTimer::singleShot(0, &service, [&service] { service.diagnosticsUpload().uploadDiagnosticsReport(); });
    settleFor(20);
    const bool finished = runUntil(
        service, [&] { return !service.diagnosticsUpload().isDiagnosticUploading(); }, 10 * 60 * 1000);
    const auto uploads = server.journalFor(QStringLiteral("/diagnostics/reports"));
    const double megabytes = uploads.size() > reportsBefore ? double(uploads.last().request.body.size()) / 1e6 : 0;

    std::printf("report %d reminders: worst stall %lld ms, ticks late by >50 ms: %d, report %.1f MB in %.2f s "
                "(setup %.1f s)%s\n",
        count, static_cast<long long>(meter.worstMs()), meter.over50(), megabytes, double(wall.elapsed()) / 1000,
        double(setup.elapsed()) / 1000, finished && uploads.size() > reportsBefore ? "" : " (no report arrived)");
    std::fflush(stdout);
    state.counters["worst_stall_ms"] = double(meter.worstMs());
    service.shutdown();
    loopback.stop();
}

void BM_StallWhileTheDiagnosticsReportIsBuilt(benchmark::State &state)
{
    for (auto _ : state) {
        runReport(state, int(state.range(0)));
    }
}
BENCHMARK(BM_StallWhileTheDiagnosticsReportIsBuilt)
    ->Arg(10000)
    ->Arg(30000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
