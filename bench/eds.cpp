// The reminder store on the desktop task database against the JSON file: a full read of 10,000
// reminders from the database by a store that starts fresh, and a commit of 1,000 changes (half
// modifies, a quarter creates, a quarter removes, over eight lists). Prints milliseconds.
//
// It fills a task database with test data, so it runs only inside a private session:
//
//     tests/eds/private-session build/bench/bench_eds

#include "platform/concurrency/ManualClock.h"
#include "platform/reminderstore/JsonFileReminderStore.h"
#include "platform/reminderstore/eds/EdsReminderStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

using namespace Qt::Literals::StringLiterals;
using namespace quorvin;

namespace {

constexpr int kReminders = 10'000;
constexpr int kChanges = 1'000;
constexpr int kLists = 8;

Reminder sample(int i, const QString &listId)
{
    Reminder r;
    r.listId = listId;
    r.title = u"Reminder %1 #tag%2"_s.arg(i).arg(i % 17);
    if (i % 3 == 0) {
        r.notes = u"Some notes for reminder %1\nwith a second line"_s.arg(i);
    }
    r.priority = i % 10;
    DateComponents due;
    due.era = 1;
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
    return r;
}

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

void fill(ReminderStore &store, const QString &sourceId)
{
    std::vector<QString> lists;
    for (int i = 0; i < kLists; ++i) {
        lists.push_back(store.saveList(ReminderList {{}, u"List %1"_s.arg(i), sourceId}).id);
    }
    for (int i = 0; i < kReminders; ++i) {
        store.saveReminder(sample(i, lists[std::size_t(i % kLists)]), false);
    }
    store.commit();
}

// 500 modifies, 250 creates and 250 removes, spread over the lists; `round` keeps every run's
// changes new.
double commitChanges(ReminderStore &store, int round)
{
    auto reminders = store.reminders();
    const auto lists = store.lists();
    // Every tenth reminder, so that each list gets its share: the first 500 are modified and the
    // next 250 removed.
    const auto pick = [&](int change) { return reminders[std::size_t(change * 10 + round) % reminders.size()]; };
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kChanges / 2; ++i) {
        auto r = pick(i);
        r.title = u"Changed %1 in round %2"_s.arg(i).arg(round);
        store.saveReminder(r, false);
    }
    for (int i = 0; i < kChanges / 4; ++i) {
        store.saveReminder(sample(kReminders + round * kChanges + i, lists[std::size_t(i) % lists.size()].id), false);
    }
    for (int i = kChanges / 2; i < kChanges * 3 / 4; ++i) {
        store.removeReminder(pick(i).id, false);
    }
    store.commit();
    return msSince(timer);
}

struct Stores {
    ManualClock clock;
    QTemporaryDir directory;
    QString jsonPath = directory.filePath(u"reminders.json"_s);
    double edsFillMs = 0;
    double jsonFillMs = 0;

    Stores()
    {
        QElapsedTimer timer;
        timer.start();
        JsonFileReminderStore json(jsonPath, clock);
        fill(json, u"local"_s);
        jsonFillMs = msSince(timer);
        timer.restart();
        EdsReminderStore eds(clock);
        fill(eds, u"local-stub"_s);
        edsFillMs = msSince(timer);
        ManualClock::drainEvents();
    }
};

Stores &stores()
{
    static Stores instance;
    return instance;
}

// A store that starts fresh and reads everything; returns the time to the first answer.
template <typename Store> double fullRead(const std::function<std::unique_ptr<Store>()> &make)
{
    QElapsedTimer timer;
    timer.start();
    auto store = make();
    const auto count = store->reminders().size();
    const double ms = msSince(timer);
    if (count < std::size_t(kReminders)) {
        std::fprintf(stderr, "read %zu reminders, expected at least %d\n", count, kReminders);
        std::abort();
    }
    return ms;
}

double edsRead()
{
    return fullRead<EdsReminderStore>([] { return std::make_unique<EdsReminderStore>(stores().clock); });
}

double jsonRead()
{
    return fullRead<JsonFileReminderStore>(
        [] { return std::make_unique<JsonFileReminderStore>(stores().jsonPath, stores().clock); });
}

void BM_FullReadTaskDatabase(benchmark::State &state)
{
    for (auto _ : state) {
        state.SetIterationTime(edsRead() / 1000.0);
    }
}

void BM_FullReadJsonFile(benchmark::State &state)
{
    for (auto _ : state) {
        state.SetIterationTime(jsonRead() / 1000.0);
    }
}

void BM_Commit1000ChangesTaskDatabase(benchmark::State &state)
{
    EdsReminderStore store(stores().clock);
    int round = 10;
    for (auto _ : state) {
        state.SetIterationTime(commitChanges(store, round++) / 1000.0);
    }
}

BENCHMARK(BM_FullReadTaskDatabase)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FullReadJsonFile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Commit1000ChangesTaskDatabase)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qgetenv("QUORVIN_EDS_PRIVATE_SESSION") != "1") {
        std::fprintf(stderr,
            "bench_eds fills a task database with test data; run it as\n"
            "    tests/eds/private-session %s\n",
            argv[0]);
        return 2;
    }
    auto &s = stores();
    std::printf("fill with %d reminders in %d lists (one commit): task database %.1f ms, JSON file %.1f ms\n",
        kReminders, kLists, s.edsFillMs, s.jsonFillMs);
    std::vector<double> eds;
    std::vector<double> json;
    for (int i = 0; i < 5; ++i) {
        eds.push_back(edsRead());
        json.push_back(jsonRead());
    }
    std::sort(eds.begin(), eds.end());
    std::sort(json.begin(), json.end());
    std::printf("full read of %d reminders by a fresh store (median of 5): task database %.1f ms, JSON file %.1f ms "
                "(%.2fx)\n",
        kReminders, eds[2], json[2], eds[2] / json[2]);
    {
        EdsReminderStore store(s.clock);
        JsonFileReminderStore jsonStore(s.jsonPath, s.clock);
        std::vector<double> edsCommit;
        std::vector<double> jsonCommit;
        for (int round = 0; round < 5; ++round) {
            edsCommit.push_back(commitChanges(store, round));
            jsonCommit.push_back(commitChanges(jsonStore, round));
        }
        std::sort(edsCommit.begin(), edsCommit.end());
        std::sort(jsonCommit.begin(), jsonCommit.end());
        std::printf("commit of %d changes (median of 5): task database %.1f ms, JSON file %.1f ms\n", kChanges,
            edsCommit[2], jsonCommit[2]);
    }
    {
        // What the database itself needs on this machine: 1,000 to-dos with a title only, into an
        // empty list, in one batch.
        EdsReminderStore store(s.clock);
        const auto list = store.saveList(ReminderList {{}, u"Plain"_s, u"local-stub"_s});
        std::vector<double> plain;
        for (int round = 0; round < 5; ++round) {
            for (int i = 0; i < kChanges; ++i) {
                Reminder r;
                r.listId = list.id;
                r.title = u"Plain %1"_s.arg(i);
                store.saveReminder(r, false);
            }
            QElapsedTimer timer;
            timer.start();
            store.commit();
            plain.push_back(msSince(timer));
        }
        store.removeList(list.id);
        std::sort(plain.begin(), plain.end());
        std::printf(
            "for scale, a commit of %d title-only creates into one list (median of 5): %.1f ms\n", kChanges, plain[2]);
    }
    std::fflush(stdout);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
