// A full refresh of a large reminder database: fetch, map, hash and journal.

#include "matching/SyncStateStore.h"
#include "platform/concurrency/ManualClock.h"
#include "platform/reminderstore/InMemoryReminderStore.h"
#include "reminders/ReminderMonitor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimeZone>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>

using namespace Qt::Literals::StringLiterals;
using namespace quorvin;

namespace {

constexpr int kReminders = 10'000;

void fill(InMemoryReminderStore &store)
{
    std::vector<QString> lists;
    for (int i = 0; i < 8; ++i) {
        ReminderList list;
        list.title = u"List %1"_s.arg(i);
        list.sourceId = u"local"_s;
        lists.push_back(store.saveList(list).id);
    }
    for (int i = 0; i < kReminders; ++i) {
        Reminder r;
        r.listId = lists[size_t(i) % lists.size()];
        r.title = u"Reminder %1 #tag%2"_s.arg(i).arg(i % 17);
        if (i % 3 == 0) {
            r.notes = u"Some notes for reminder %1\nwith a second line"_s.arg(i);
        }
        r.priority = i % 10;
        DateComponents due;
        due.year = 2026;
        due.month = 1 + i % 12;
        due.day = 1 + i % 28;
        if (i % 2 == 0) {
            due.hour = 9;
            due.minute = 30;
            due.second = 0;
        }
        due.timeZone = u"Asia/Shanghai"_s;
        r.dueDateComponents = due;
        if (i % 5 == 0) {
            RecurrenceRule rule;
            rule.frequency = RecurrenceRule::Frequency::Weekly;
            rule.daysOfTheWeek = std::vector<RecurrenceDayOfWeek> {{2, 0}, {4, 0}};
            r.recurrenceRules = {rule};
        }
        if (i % 4 == 0) {
            r.alarms = std::vector<ReminderAlarm> {ReminderAlarm::atOffset(-600)};
        }
        r.completed = i % 7 == 0;
        store.saveReminder(r, false);
    }
    store.commit();
}

struct Setup {
    ManualClock clock;
    InMemoryReminderStore store {clock};
    Setup() { fill(store); }
};

Setup &setup()
{
    static Setup instance;
    return instance;
}

double cpuMs()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double lastCpuMs = 0;

double refreshMs(SyncStateStore &journal)
{
    Setup &s = setup();
    int delivered = 0;
    ReminderMonitor monitor(
        s.store, journal, [&](const ReminderRefreshEvent &) { ++delivered; }, [](const QString &) {}, s.clock,
        QTimeZone(QByteArrayLiteral("Asia/Shanghai")));
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = cpuMs();
    runInVirtualTime(s.clock, monitor.refresh(u"manual"_s));
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    lastCpuMs = cpuMs() - cpuStart;
    if (delivered != 1 || journal.reminderCount() != kReminders) {
        std::fprintf(stderr, "refresh did not journal every reminder\n");
        std::abort();
    }
    return ms;
}

void BM_FullRefreshIntoEmptyJournal(benchmark::State &state)
{
    for (auto _ : state) {
        SyncStateStore journal(setup().clock);
        state.SetIterationTime(refreshMs(journal) / 1000.0);
    }
}

void BM_FullRefreshUnchanged(benchmark::State &state)
{
    SyncStateStore journal(setup().clock);
    refreshMs(journal);
    for (auto _ : state) {
        state.SetIterationTime(refreshMs(journal) / 1000.0);
    }
}

BENCHMARK(BM_FullRefreshIntoEmptyJournal)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_FullRefreshUnchanged)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    setup();
    {
        SyncStateStore journal(setup().clock);
        double ms = refreshMs(journal);
        std::printf(
            "full refresh of %d reminders: %.1f ms wall, %.1f ms cpu (empty journal)\n", kReminders, ms, lastCpuMs);
        ms = refreshMs(journal);
        std::printf("full refresh of %d reminders: %.1f ms wall, %.1f ms cpu (unchanged)\n", kReminders, ms, lastCpuMs);
        std::fflush(stdout);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
