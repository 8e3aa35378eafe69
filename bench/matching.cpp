#include "matching/CloudReminderMatchSession.h"
#include "matching/CloudRestartReconciliationPlanner.h"
#include "matching/LocalReminderMatchResolver.h"
#include "matching/ReminderLookup.h"
#include "matching/SyncStateStore.h"
#include "platform/concurrency/ManualClock.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int count = 10000;

// A reminder as the bridge delivers it: every commonly used field set, content hash included.
ReminderPayload localReminder(int i)
{
    ReminderPayload p;
    p.schema_version = 2;
    p.source = u"apple_reminders"_s;
    p.local_id = u"reminder-%1"_s.arg(i, 8, 16, QChar(u'0'));
    p.source_item_id = p.local_id;
    p.title = u"Task number %1"_s.arg(i);
    p.notes = u"Some notes for task %1\nsecond line"_s.arg(i % 50);
    p.list_id = u"LIST-%1"_s.arg(i % 12);
    p.list_name = u"List %1"_s.arg(i % 12);
    p.created_at = u"2024-%1-01T08:00:00.000Z"_s.arg(1 + i % 12, 2, 10, QChar(u'0'));
    p.updated_at = p.created_at;
    p.last_modified = p.created_at;
    p.due_date = u"2025-06-%1T09:30:00.000Z"_s.arg(1 + i % 28, 2, 10, QChar(u'0'));
    p.has_due_time = true;
    p.priority = (i % 3 == 0) ? std::optional<qint64>(5) : std::nullopt;
    p.url = (i % 5 == 0) ? std::optional(u"https://example.com/%1"_s.arg(i)) : std::nullopt;
    p.is_completed = i % 4 == 0;
    if (p.is_completed) {
        p.completion_date = u"2025-06-01T10:00:00.000Z"_s;
    }
    return p.withContentHash();
}

QList<ReminderPayload> locals()
{
    static const QList<ReminderPayload> items = [] {
        QList<ReminderPayload> result;
        for (int i = 0; i < count; ++i) {
            result.append(localReminder(i));
        }
        return result;
    }();
    return items;
}

// What the bridge hands over after a fetch: every payload and text newly built.
QList<ReminderPayload> freshList()
{
    QList<ReminderPayload> result;
    result.reserve(count);
    for (int i = 0; i < count; ++i) {
        result.append(localReminder(i));
    }
    return result;
}

QList<ReminderPayload> cloudItems()
{
    static const QList<ReminderPayload> items = [] {
        QList<ReminderPayload> result;
        for (int i = 0; i < count; ++i) {
            auto item = localReminder(i);
            item.local_id = u"srv-%1"_s.arg(i);
            item.list_id = u"server-list-%1"_s.arg(i % 12);
            // Half of them name their local twin, half are found by content.
            if (i % 2) {
                item.source_item_id.reset();
            }
            result.append(item);
        }
        return result;
    }();
    return items;
}

class NoStore final : public ReminderLookup {
public:
    std::optional<LocalReminderState> reminder(const QString &) const override { return std::nullopt; }
    ReminderPayloadRef mapReminder(const QString &) const override { return nullptr; }
    std::optional<QString> localListID(const std::optional<QString> &) const override { return std::nullopt; }
};

void applySnapshotNew(benchmark::State &state)
{
    ManualClock clock;
    for (auto _ : state) {
        state.PauseTiming();
        auto journal = std::make_unique<SyncStateStore>(clock);
        auto fetched = freshList();
        state.ResumeTiming();
        benchmark::DoNotOptimize(journal->applySnapshot(fetched));
        state.PauseTiming();
        journal.reset();
        fetched.clear();
        state.ResumeTiming();
    }
}

void applySnapshotUnchanged(benchmark::State &state)
{
    ManualClock clock;
    SyncStateStore journal(clock);
    journal.applySnapshot(freshList());
    for (auto _ : state) {
        state.PauseTiming();
        auto fetched = freshList();
        state.ResumeTiming();
        benchmark::DoNotOptimize(journal.applySnapshot(fetched));
        state.PauseTiming();
        fetched.clear();
        state.ResumeTiming();
    }
}

// The local changes after the first refresh when the journal is full: 200 batches of 50 changed
// reminders each, merged into one delta.
void deltaOverTwoHundredBatches(benchmark::State &state)
{
    ManualClock clock;
    SyncStateStore journal(clock);
    journal.applySnapshot(freshList());
    std::vector<ReminderPayloadRef> snapshot = journal.snapshotPayloads();
    for (int b = 0; b < 200; ++b) {
        for (int i = 0; i < 50; ++i) {
            const std::size_t at = std::size_t((b * 50 + i) % count);
            auto changed = *snapshot[at];
            changed.content_hash = u"changed-%1"_s.arg(b);
            snapshot[at] = std::make_shared<const ReminderPayload>(std::move(changed));
        }
        journal.applySnapshot(snapshot);
    }
    const QString cursor = QString::number(journal.batches().front().sequence - 1);
    for (auto _ : state) {
        const auto delta = journal.syncResponse(cursor);
        if (delta.items.size() != count || delta.full_snapshot) {
            state.SkipWithError("expected a delta of every reminder");
        }
    }
}

void buildMatchSession(benchmark::State &state)
{
    ManualClock clock;
    SyncStateStore journal(clock);
    journal.applySnapshot(locals());
    const auto payloads = journal.snapshotPayloads();
    for (auto _ : state) {
        CloudReminderMatchSession session(payloads);
        benchmark::DoNotOptimize(session.index().size());
    }
}

void resolveCloudItems(benchmark::State &state)
{
    ManualClock clock;
    SyncStateStore journal(clock);
    journal.applySnapshot(locals());
    const auto payloads = journal.snapshotPayloads();
    const auto items = cloudItems();
    NoStore store;
    const LocalReminderMatchResolver resolver(store);
    for (auto _ : state) {
        state.PauseTiming();
        CloudReminderMatchSession session(payloads);
        state.ResumeTiming();
        int found = 0;
        for (const auto &item : items) {
            found += resolver.resolveLocalReminderMatch(item, std::nullopt, session).has_value();
        }
        if (found != count) {
            state.SkipWithError("not every cloud item found its local reminder");
        }
    }
}

void restartPlan(benchmark::State &state)
{
    ManualClock clock;
    SyncStateStore journal(clock);
    journal.applySnapshot(locals());
    const auto payloads = journal.snapshotPayloads();
    const auto remote = cloudItems();
    QHash<QString, QString> mapping;
    for (int i = 0; i < count; i += 3) {
        mapping.insert(u"srv-%1"_s.arg(i), payloads[std::size_t(i)]->local_id);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(CloudRestartReconciliationPlanner::makePlan(payloads, remote, mapping));
    }
}

} // namespace

BENCHMARK(applySnapshotNew)->Unit(benchmark::kMillisecond);
BENCHMARK(applySnapshotUnchanged)->Unit(benchmark::kMillisecond);
BENCHMARK(deltaOverTwoHundredBatches)->Unit(benchmark::kMillisecond);
BENCHMARK(buildMatchSession)->Unit(benchmark::kMillisecond);
BENCHMARK(resolveCloudItems)->Unit(benchmark::kMillisecond);
BENCHMARK(restartPlan)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
