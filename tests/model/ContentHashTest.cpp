#include "model/ReminderPayload.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>

#include <functional>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

namespace {

QString sha256(const QString &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex());
}

ReminderPayload minimal()
{
    ReminderPayload p;
    p.local_id = u"L1"_s;
    p.title = u"T"_s;
    p.fingerprint = u"F"_s;
    return p;
}

ReminderPayload full()
{
    ReminderPayload p;
    p.local_id = u"x-1"_s;
    p.schema_version = 2;
    p.source = u"apple_reminders"_s;
    p.source_item_id = u"SI"_s;
    p.source_external_id = u"SE"_s;
    p.created_at = u"2024-01-02T03:04:05.678Z"_s;
    p.updated_at = u"U"_s;
    p.external_id = u"EX"_s;
    p.list_id = u"LID"_s;
    p.list_name = u"工作"_s;
    p.title = u" Buy  milk "_s;
    p.notes = u"line1\nline2"_s;
    p.fingerprint = u"fp"_s;
    p.start_date = u"2024-05-01T00:00:00.000Z"_s;
    p.has_start_time = true;
    p.due_date = u"2024-05-02T09:00:00.000Z"_s;
    p.has_due_time = true;
    p.time_zone = u"Asia/Shanghai"_s;
    p.url = u"https://e.x/a?b=c|d"_s;
    p.location_text = u"Home"_s;
    p.repeat_type = u"weekly"_s;
    p.repeat_summary = u"每2周"_s;
    ReminderAlarmPayload relative;
    relative.alarm_id = u"alarm-0"_s;
    relative.kind = u"relative"_s;
    relative.relative_offset_seconds = -900;
    ReminderAlarmPayload absolute;
    absolute.kind = u"absolute"_s;
    absolute.absolute_date = u"2024-05-01T08:30:00.000Z"_s;
    ReminderAlarmPayload geofence;
    geofence.kind = u"location"_s;
    geofence.relative_offset_seconds = 0.5;
    geofence.proximity = u"enter"_s;
    geofence.source_alarm_id = u"S"_s;
    geofence.location = ReminderAlarmLocationPayload {u"Office"_s, 31.2, 121.5, 100};
    p.alarms = QList<ReminderAlarmPayload> {relative, absolute, geofence};
    ReminderRecurrenceRulePayload rule;
    rule.frequency = u"weekly"_s;
    rule.interval = 2;
    rule.week_days = QList<QString> {u"MO"_s, u"WE"_s};
    rule.months = QList<qint64> {1, 12};
    rule.set_positions = QList<qint64> {};
    rule.end_date = u"2025-01-01T00:00:00.000Z"_s;
    rule.source_rule_json = JSONObject {{u"rrule"_s, JSONValue(u"FREQ=WEEKLY"_s)}};
    p.recurrence_rule = rule;
    p.raw_apple_payload_json = JSONObject {{u"a"_s, JSONValue(1)}};
    p.priority = 5;
    p.tags = QList<QString> {u"a"_s, u"b c"_s};
    p.is_completed = true;
    p.completion_date = u"2024-05-03T10:00:00.000Z"_s;
    p.last_modified = u"LM"_s;
    p.content_hash = u"stale"_s;
    p.last_modified_by_device_id = u"dev"_s;
    p.last_modified_by_client_kind = u"hqv"_s;
    return p;
}

} // namespace

TEST(ContentHash, GoldenVectorsFollowTheCanonicalText)
{
    // Minimal: 28 texts, most empty, flags as 0.
    const QString minimalText = u"L1|||||||||T||F||0||0||0|||||||||0|"_s;
    ASSERT_EQ(minimalText.count(u'|'), 27);
    EXPECT_EQ(minimal().withContentHash().content_hash, sha256(minimalText));
    EXPECT_EQ(minimal().withContentHash().content_hash,
        u"46a57306d783e0ff4e4633dfc3bd7418b1d1366d0720b291546a0de1366d489c"_s);

    // Every hashed field set; updated_at, the maps, the location, the rule's source map and the
    // last-modified fields stay out.
    const QStringList parts = {u"x-1"_s, u"2"_s, u"apple_reminders"_s, u"SI"_s, u"SE"_s, u"2024-01-02T03:04:05.678Z"_s,
        u"EX"_s, u"LID"_s, u"工作"_s, u" Buy  milk "_s, u"line1\nline2"_s, u"fp"_s, u"2024-05-01T00:00:00.000Z"_s,
        u"1"_s, u"2024-05-02T09:00:00.000Z"_s, u"1"_s, u"Asia/Shanghai"_s, u"0"_s, u"https://e.x/a?b=c|d"_s, u"Home"_s,
        u"weekly"_s, u"每2周"_s,
        u"alarm-0/relative//-900.0//;/absolute/2024-05-01T08:30:00.000Z///;/location//0.5/enter/S"_s,
        u"weekly/2/MO,WE//1,12//2025-01-01T00:00:00.000Z/"_s, u"5"_s, u"a,b c"_s, u"1"_s,
        u"2024-05-03T10:00:00.000Z"_s};
    ASSERT_EQ(parts.size(), 28);
    const ReminderPayload hashed = full().withContentHash();
    EXPECT_EQ(hashed.content_hash, sha256(parts.join(u'|')));
    EXPECT_EQ(hashed.content_hash, u"5da42a17dd5fc6f805764a6cdb783fbb575d2472625c8bab8ebd4917ad2ef091"_s);
    EXPECT_EQ(hashed.content_hash.size(), 64);
    // Everything but the hash is copied unchanged.
    EXPECT_EQ(hashed.title, full().title);
    EXPECT_EQ(hashed.last_modified_by_client_kind, full().last_modified_by_client_kind);
}

TEST(ContentHash, WhatCountsAsAChange)
{
    using Edit = std::function<void(ReminderPayload &)>;
    struct Case {
        const char *name;
        Edit edit;
        bool changesHash;
    };
    const Case cases[] = {
        {"empty alarms equal absent", [](ReminderPayload &p) { p.alarms = QList<ReminderAlarmPayload>(); }, false},
        {"empty tags equal absent", [](ReminderPayload &p) { p.tags = QList<QString>(); }, false},
        {"has_start_time false equals absent", [](ReminderPayload &p) { p.has_start_time = false; }, false},
        {"is_floating_time false equals absent", [](ReminderPayload &p) { p.is_floating_time = false; }, false},
        {"updated_at", [](ReminderPayload &p) { p.updated_at = u"x"_s; }, false},
        {"last_modified", [](ReminderPayload &p) { p.last_modified = u"x"_s; }, false},
        {"raw map",
            [](ReminderPayload &p) {
                p.raw_apple_payload_json = JSONObject {{u"k"_s, JSONValue(true)}};
            },
            false},
        {"unsupported map", [](ReminderPayload &p) { p.unsupported_fields_json = JSONObject(); }, false},
        {"previous content_hash", [](ReminderPayload &p) { p.content_hash = u"abc"_s; }, false},
        {"modifier", [](ReminderPayload &p) { p.last_modified_by_device_id = u"d"_s; }, false},
        {"client kind", [](ReminderPayload &p) { p.last_modified_by_client_kind = u"mqv"_s; }, false},
        {"an empty rule is still a rule",
            [](ReminderPayload &p) { p.recurrence_rule = ReminderRecurrenceRulePayload(); }, true},
        {"has_start_time true", [](ReminderPayload &p) { p.has_start_time = true; }, true},
        {"empty notes", [](ReminderPayload &p) { p.notes = u""_s; }, false},
        {"title whitespace", [](ReminderPayload &p) { p.title = u"T "_s; }, true},
        {"priority", [](ReminderPayload &p) { p.priority = 0; }, true},
        {"completed", [](ReminderPayload &p) { p.is_completed = true; }, true},
        {"due time flag", [](ReminderPayload &p) { p.has_due_time = true; }, true},
        {"one tag", [](ReminderPayload &p) { p.tags = QList<QString> {u"x"_s}; }, true},
        {"date text not reformatted", [](ReminderPayload &p) { p.due_date = u"2024-05-01T08:30:00Z"_s; }, true},
    };
    const QString base = minimal().withContentHash().content_hash;
    for (const Case &c : cases) {
        ReminderPayload p = minimal();
        c.edit(p);
        EXPECT_EQ(p.withContentHash().content_hash != base, c.changesHash) << c.name;
    }

    // Rule and alarm details that stay out of the digest, and order that counts.
    const QString fullHash = full().withContentHash().content_hash;
    const std::pair<const char *, Edit> unchanged[] = {
        {"location", [](ReminderPayload &p) { (*p.alarms)[2].location->title = u"Elsewhere"_s; }},
        {"no location", [](ReminderPayload &p) { (*p.alarms)[2].location.reset(); }},
        {"rule source map", [](ReminderPayload &p) { p.recurrence_rule->source_rule_json.reset(); }},
        {"absent set_positions", [](ReminderPayload &p) { p.recurrence_rule->set_positions.reset(); }},
        {"hash applied twice", [](ReminderPayload &p) { p = p.withContentHash(); }},
    };
    for (const auto &[name, edit] : unchanged) {
        ReminderPayload p = full();
        edit(p);
        EXPECT_EQ(p.withContentHash().content_hash, fullHash) << name;
    }
    const std::pair<const char *, Edit> changed[] = {
        {"alarm order", [](ReminderPayload &p) { std::swap((*p.alarms)[0], (*p.alarms)[1]); }},
        {"tag order", [](ReminderPayload &p) { std::swap((*p.tags)[0], (*p.tags)[1]); }},
        {"offset 0 is not absent", [](ReminderPayload &p) { (*p.alarms)[1].relative_offset_seconds = 0.0; }},
        {"month order",
            [](ReminderPayload &p) {
                p.recurrence_rule->months = QList<qint64> {12, 1};
            }},
        {"no rule", [](ReminderPayload &p) { p.recurrence_rule.reset(); }},
    };
    for (const auto &[name, edit] : changed) {
        ReminderPayload p = full();
        edit(p);
        EXPECT_NE(p.withContentHash().content_hash, fullHash) << name;
    }
}

TEST(ContentHash, AlarmOffsetsAreShortestDecimalsWithAFraction)
{
    const std::pair<double, const char *> offsets[] = {
        {-900, "-900.0"},
        {0.5, "0.5"},
        {0, "0.0"},
        {-86400, "-86400.0"},
        {1e6, "1000000.0"},
        {0.1, "0.1"},
        {-1.25, "-1.25"},
        {3600.75, "3600.75"},
        {-0.0, "-0.0"},
    };
    for (const auto &[offset, text] : offsets) {
        ReminderPayload p = minimal();
        ReminderAlarmPayload alarm;
        alarm.kind = u"relative"_s;
        alarm.relative_offset_seconds = offset;
        p.alarms = QList<ReminderAlarmPayload> {alarm};
        const QString expected
            = u"L1|||||||||T||F||0||0||0|||||/relative//"_s + QLatin1StringView(text) + u"//||||0|"_s;
        ASSERT_EQ(expected.count(u'|'), 27);
        EXPECT_EQ(p.withContentHash().content_hash, sha256(expected)) << text;
    }
}
