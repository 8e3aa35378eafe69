// Content hash of 10,000 reminders and decoding of a 10,000-item sync envelope: the two costs paid
// on every refresh of the reminder snapshot and on every full pull.

#include "model/Digest.h"
#include "model/JsonCodec.h"
#include "model/SyncResponseEnvelope.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QJsonDocument>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int itemCount = 10'000;

ReminderPayload sampleReminder(int i)
{
    ReminderPayload p;
    p.schema_version = 2;
    p.source = u"apple_reminders"_s;
    p.local_id = u"x-apple-reminder://8C3F2A9E-%1-4B7D-9E21-5A6C0D1F3B%2"_s.arg(i, 6, 10, QChar(u'0')).arg(i % 97);
    p.source_item_id = p.local_id;
    p.external_id = u"EXT-%1"_s.arg(i);
    p.created_at = u"2024-01-02T03:04:05.678Z"_s;
    p.updated_at = u"2024-05-01T08:30:00.000Z"_s;
    p.list_id = u"LIST-%1"_s.arg(i % 12);
    p.list_name = u"工作清单 %1"_s.arg(i % 12);
    p.title = u"提醒事项 number %1 with a reasonably long title"_s.arg(i);
    p.notes = u"Some notes\nwith two lines for item %1"_s.arg(i);
    p.fingerprint = u"6b86b273ff34fce19d6b804eff5a3f5747ada4eaa22f1d49c01e52ddb7875b4b"_s;
    p.due_date = u"2024-05-02T09:00:00.000Z"_s;
    p.has_due_time = true;
    p.time_zone = u"Asia/Shanghai"_s;
    p.url = u"https://example.invalid/item/%1"_s.arg(i);
    if (i % 3 == 0) {
        p.repeat_type = u"weekly"_s;
        p.repeat_summary = u"每周"_s;
        ReminderRecurrenceRulePayload rule;
        rule.frequency = u"weekly"_s;
        rule.interval = 1;
        rule.week_days = QList<QString> {u"MO"_s, u"WE"_s};
        p.recurrence_rule = rule;
    }
    ReminderAlarmPayload alarm;
    alarm.alarm_id = u"alarm-0"_s;
    alarm.kind = u"relative"_s;
    alarm.relative_offset_seconds = -900;
    p.alarms = QList<ReminderAlarmPayload> {alarm};
    p.raw_apple_payload_json = JSONValue::stringMap(
        {{u"calendarItemIdentifier"_s, p.local_id}, {u"priority"_s, u"0"_s}, {u"hasNotes"_s, u"true"_s}});
    p.priority = i % 10 == 0 ? std::optional<qint64>(5) : std::nullopt;
    p.tags = QList<QString> {u"home"_s};
    p.is_completed = i % 4 == 0;
    if (p.is_completed) {
        p.completion_date = u"2024-05-03T10:00:00.000Z"_s;
    }
    p.last_modified = p.updated_at;
    return p.withContentHash();
}

QList<ReminderPayload> sampleReminders()
{
    QList<ReminderPayload> reminders;
    reminders.reserve(itemCount);
    for (int i = 0; i < itemCount; ++i) {
        reminders.append(sampleReminder(i));
    }
    return reminders;
}

void BM_ContentHash10k(benchmark::State &state)
{
    const QList<ReminderPayload> reminders = sampleReminders();
    for (auto _ : state) {
        for (const ReminderPayload &p : reminders) {
            ReminderPayload hashed = p.withContentHash();
            benchmark::DoNotOptimize(hashed.content_hash);
        }
    }
}

void BM_DecodeSyncEnvelope10k(benchmark::State &state)
{
    SyncResponseEnvelope envelope;
    envelope.items = sampleReminders();
    envelope.lists.append(ReminderListDirectoryPayload {u"LIST-0"_s, u"工作清单"_s});
    envelope.next_cursor = u"123456"_s;
    envelope.generated_at = u"2024-05-01T08:30:00.000Z"_s;
    envelope.full_snapshot = true;
    const QByteArray body = encodeJson(envelope);
    state.counters["bytes"] = double(body.size());
    for (auto _ : state) {
        SyncResponseEnvelope decoded = decodeJson<SyncResponseEnvelope>(body);
        benchmark::DoNotOptimize(decoded.items.size());
    }
}

// Reference: Qt's parse of the same body alone, the floor under the decoding.
void BM_QtParseOnly(benchmark::State &state)
{
    SyncResponseEnvelope envelope;
    envelope.items = sampleReminders();
    const QByteArray body = encodeJson(envelope);
    for (auto _ : state) {
        QJsonDocument document = QJsonDocument::fromJson(body);
        benchmark::DoNotOptimize(document.isObject());
    }
}

// The two SHA-256 engines on a text of the size of one reminder's canonical form.
void BM_Sha256Engine(benchmark::State &state)
{
    const auto engine = static_cast<Sha256Engine>(state.range(0));
    const QByteArray text(400, 'x');
    for (auto _ : state) {
        benchmark::DoNotOptimize(sha256Hex(QByteArrayView(text), engine));
    }
    state.SetLabel(engine == Sha256Engine::Portable ? "portable" : "processor instructions");
}

} // namespace

BENCHMARK(BM_Sha256Engine)
    ->Arg(int(Sha256Engine::ProcessorInstructions))
    ->Arg(int(Sha256Engine::Portable))
    ->Unit(benchmark::kNanosecond);
BENCHMARK(BM_QtParseOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContentHash10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSyncEnvelope10k)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
