#include "model/JsonCodec.h"
#include "model/SyncResponseEnvelope.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <functional>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

namespace {

QJsonObject validReminder()
{
    return QJsonDocument::fromJson(R"({
        "local_id": "r1", "title": "T", "fingerprint": "f", "has_due_time": false, "is_completed": false,
        "content_hash": "h", "priority": 3, "tags": ["a"], "due_date": "not a date",
        "alarms": [{"kind": "relative", "relative_offset_seconds": -900,
                    "location": {"title": "Office", "latitude": 31.2, "longitude": 121, "radius_meters": 50}}],
        "recurrence_rule": {"frequency": "monthly", "month_days": [1, 15], "source_rule_json": {"x": [null]}},
        "raw_apple_payload_json": {"k": null, "n": 1}
    })")
        .object();
}

QJsonObject validEnvelope()
{
    QJsonObject envelope;
    envelope[u"items"_s] = QJsonArray {validReminder(), validReminder()};
    envelope[u"deleted_ids"_s] = QJsonArray {u"d1"_s};
    envelope[u"deleted_list_ids"_s] = QJsonArray();
    envelope[u"lists"_s] = QJsonArray {QJsonObject {{u"list_id"_s, u"L"_s}, {u"list_name"_s, u"N"_s}}};
    envelope[u"next_cursor"_s] = u"42"_s;
    envelope[u"generated_at"_s] = u"2024-05-01T08:30:00.000Z"_s;
    envelope[u"full_snapshot"_s] = false;
    return envelope;
}

// Replaces the value at a dotted path ("items[1].alarms[0].kind"); an undefined value removes it.
QJsonValue edited(const QJsonValue &root, QStringView path, const QJsonValue &value)
{
    if (path.isEmpty()) {
        return value;
    }
    if (path.startsWith(u'[')) {
        const qsizetype close = path.indexOf(u']');
        const int index = path.mid(1, close - 1).toInt();
        QStringView rest = path.mid(close + 1);
        if (rest.startsWith(u'.')) {
            rest = rest.mid(1);
        }
        QJsonArray array = root.toArray();
        array[index] = edited(array[index], rest, value);
        return array;
    }
    qsizetype end = 0;
    while (end < path.size() && path[end] != u'.' && path[end] != u'[') {
        ++end;
    }
    const QString key = path.left(end).toString();
    QStringView rest = path.mid(end);
    if (rest.startsWith(u'.')) {
        rest = rest.mid(1);
    }
    QJsonObject object = root.toObject();
    if (rest.isEmpty() && value.isUndefined()) {
        object.remove(key);
    } else {
        object[key] = edited(object[key], rest, value);
    }
    return object;
}

struct Edit {
    QString path;
    QJsonValue value; // Undefined: remove the key
    QString error; // empty: decodes
};

template <class T> void checkEdits(const QJsonObject &valid, const QList<Edit> &edits)
{
    for (const Edit &e : edits) {
        const QByteArray text = QJsonDocument(edited(valid, e.path, e.value).toObject()).toJson();
        // Also as a large answer, whose records in arrays are parsed only when they are read.
        for (const QByteArray &form : {text, text + QByteArray(json_detail::deferElementsFrom, ' ')}) {
            try {
                decodeJson<T>(form);
                EXPECT_TRUE(e.error.isEmpty()) << "decoded, wanted " << e.error.toStdString();
            } catch (const JSONCodingError &error) {
                EXPECT_EQ(error.description(), e.error) << e.path.toStdString();
                EXPECT_EQ(error.code(), JSONCodingError::Decoding);
            }
        }
    }
}

const QJsonValue removed = QJsonValue(QJsonValue::Undefined);
const QJsonValue null = QJsonValue(QJsonValue::Null);

} // namespace

TEST(RecordCodec, ReminderFamilyDecodesStrictly)
{
    checkEdits<ReminderPayload>(validReminder(),
        {
            {u"extra_field"_s, u"new server field"_s, {}},
            {u"priority"_s, null, {}},
            {u"priority"_s, 2.0, {}},
            {u"notes"_s, null, {}},
            {u"alarms[0].relative_offset_seconds"_s, removed, {}},
            {u"has_due_time"_s, removed, u"has_due_time: missing"_s},
            {u"local_id"_s, removed, u"local_id: missing"_s},
            {u"fingerprint"_s, removed, u"fingerprint: missing"_s},
            {u"content_hash"_s, removed, u"content_hash: missing"_s},
            {u"is_completed"_s, removed, u"is_completed: missing"_s},
            {u"title"_s, null, u"title: null"_s},
            {u"title"_s, 5, u"title: expected string"_s},
            {u"is_completed"_s, 1, u"is_completed: expected boolean"_s},
            {u"has_start_time"_s, u"true"_s, u"has_start_time: expected boolean"_s},
            {u"priority"_s, u"3"_s, u"priority: expected integer"_s},
            {u"priority"_s, 2.5, u"priority: expected integer"_s},
            {u"priority"_s, 1e30, u"priority: expected integer"_s},
            {u"schema_version"_s, true, u"schema_version: expected integer"_s},
            {u"tags"_s, QJsonArray {1}, u"tags[0]: expected string"_s},
            {u"tags"_s, u"a"_s, u"tags: expected array"_s},
            {u"alarms"_s, QJsonObject(), u"alarms: expected array"_s},
            {u"alarms[0].kind"_s, removed, u"alarms[0].kind: missing"_s},
            {u"alarms[0].relative_offset_seconds"_s, u"-900"_s,
                u"alarms[0].relative_offset_seconds: expected number"_s},
            {u"alarms[0].location.latitude"_s, u"x"_s, u"alarms[0].location.latitude: expected number"_s},
            {u"alarms[0].location"_s, QJsonArray(), u"alarms[0].location: expected object"_s},
            {u"recurrence_rule.month_days"_s, QJsonArray {1, 1.5},
                u"recurrence_rule.month_days[1]: expected integer"_s},
            {u"recurrence_rule.interval"_s, u"2"_s, u"recurrence_rule.interval: expected integer"_s},
            {u"recurrence_rule.source_rule_json"_s, 1, u"recurrence_rule.source_rule_json: expected object"_s},
            {u"raw_apple_payload_json"_s, QJsonArray(), u"raw_apple_payload_json: expected object"_s},
        });

    const auto reminder = decodeJson<ReminderPayload>(QJsonDocument(validReminder()).toJson());
    EXPECT_EQ(reminder.due_date, u"not a date"_s);
    EXPECT_EQ(*reminder.alarms->at(0).relative_offset_seconds, -900.0);
    EXPECT_EQ(*reminder.alarms->at(0).location->longitude, 121.0);
    EXPECT_EQ(reminder.recurrence_rule->month_days, (QList<qint64> {1, 15}));
    EXPECT_FALSE(reminder.notes);
    EXPECT_TRUE(reminder.raw_apple_payload_json->value(u"k"_s).isNull());
    EXPECT_TRUE(reminder.raw_apple_payload_json->contains(u"k"_s));
}

TEST(RecordCodec, EnvelopeAndListsDecodeStrictly)
{
    checkEdits<SyncResponseEnvelope>(validEnvelope(),
        {
            {u"rebuild_generation"_s, null, {}},
            {u"rebuild_generation"_s, 7, {}},
            {u"lists[0].sort_order"_s, 2, {}},
            {u"lists"_s, removed, u"lists: missing"_s},
            {u"deleted_list_ids"_s, removed, u"deleted_list_ids: missing"_s},
            {u"deleted_ids"_s, null, u"deleted_ids: null"_s},
            {u"full_snapshot"_s, removed, u"full_snapshot: missing"_s},
            {u"next_cursor"_s, 42, u"next_cursor: expected string"_s},
            {u"items[1].has_due_time"_s, removed, u"items[1].has_due_time: missing"_s},
            {u"items[0].alarms[0].kind"_s, removed, u"items[0].alarms[0].kind: missing"_s},
            {u"lists[0].sort_order"_s, 2.5, u"lists[0].sort_order: expected integer"_s},
            {u"lists[0].list_name"_s, removed, u"lists[0].list_name: missing"_s},
            {u"rebuild_generation"_s, u"1"_s, u"rebuild_generation: expected integer"_s},
        });

    for (const QByteArray &text : {QByteArray("{"), QByteArray("[]"), QByteArray("")}) {
        EXPECT_THROW(decodeJson<SyncResponseEnvelope>(text), JSONCodingError) << text.toStdString();
    }
}

TEST(RecordCodec, EncodingLeavesAbsentOptionalsOutAndRoundTrips)
{
    const QByteArray text = QJsonDocument(validEnvelope()).toJson();
    auto envelope = decodeJson<SyncResponseEnvelope>(text);
    EXPECT_FALSE(envelope.rebuild_generation);
    QJsonObject encoded = QJsonDocument::fromJson(encodeJson(envelope)).object();
    EXPECT_FALSE(encoded.contains(u"rebuild_generation"_s));
    EXPECT_EQ(encoded.value(u"deleted_list_ids"_s), QJsonArray());
    const QJsonObject item = encoded.value(u"items"_s).toArray().at(0).toObject();
    EXPECT_FALSE(item.contains(u"notes"_s));
    EXPECT_FALSE(item.contains(u"extra_field"_s));
    EXPECT_EQ(item.value(u"alarms"_s).toArray().at(0).toObject().value(u"relative_offset_seconds"_s), -900);
    EXPECT_TRUE(item.value(u"raw_apple_payload_json"_s).toObject().value(u"k"_s).isNull());

    envelope.rebuild_generation = 3;
    envelope.items[0].tags = QList<QString>();
    envelope.items[0].title = u"引号\" 反斜杠\\ 换行\n 控制\x01 😀"_s;
    const QByteArray again = encodeJson(envelope);
    encoded = QJsonDocument::fromJson(again).object();
    EXPECT_EQ(encoded.value(u"rebuild_generation"_s), 3);
    EXPECT_EQ(encoded.value(u"items"_s).toArray().at(0).toObject().value(u"tags"_s), QJsonArray());
    const auto back = decodeJson<SyncResponseEnvelope>(again);
    EXPECT_EQ(back.items[0].title, envelope.items[0].title);
    EXPECT_EQ(encodeJson(back), again);
    EXPECT_EQ(back.items[0].withContentHash().content_hash, envelope.items[0].withContentHash().content_hash);
}

TEST(RecordCodec, NonFiniteNumbersFailEncodingWithTheirPath)
{
    ReminderPayload reminder;
    ReminderAlarmPayload alarm;
    alarm.kind = u"relative"_s;
    alarm.relative_offset_seconds = std::nan("");
    reminder.alarms = QList<ReminderAlarmPayload> {ReminderAlarmPayload {}, alarm};
    try {
        encodeJson(reminder);
        ADD_FAILURE() << "encoded a NaN";
    } catch (const JSONCodingError &error) {
        EXPECT_EQ(error.description(), u"alarms[1].relative_offset_seconds: non-finite number"_s);
        EXPECT_EQ(error.code(), JSONCodingError::Encoding);
    }
    reminder.alarms.reset();
    reminder.raw_apple_payload_json = JSONObject {{u"inf"_s, JSONValue(HUGE_VAL)}};
    EXPECT_THROW(encodeJson(reminder), JSONCodingError);

    // Never a null in its place, on the way to Qt's form either.
    const JSONValue nested(JSONValue::Array {JSONValue(1), JSONValue(JSONObject {{u"x"_s, JSONValue(-HUGE_VAL)}})});
    try {
        nested.toQJsonValue();
        ADD_FAILURE() << "converted an infinity";
    } catch (const JSONCodingError &error) {
        EXPECT_EQ(error.code(), JSONCodingError::Encoding);
    }
    const JSONValue finite(JSONValue::Array {JSONValue(1), JSONValue(JSONObject {{u"x"_s, JSONValue()}})});
    EXPECT_EQ(finite.toQJsonValue(), QJsonDocument::fromJson(R"([1,{"x":null}])").array());
    EXPECT_EQ(JSONValue::fromQJsonValue(finite.toQJsonValue()), finite);
}

TEST(RecordCodec, RecordsWriteEveryKeyInDeclarationOrder)
{
    // Each record is read from an object listing its keys backwards, then written again.
    const auto writtenKeys = [](const QByteArray &json) {
        QStringList keys;
        qsizetype depth = 0;
        bool inString = false;
        qsizetype keyStart = -1;
        for (qsizetype i = 0; i < json.size(); ++i) {
            const char c = json[i];
            if (inString) {
                if (c == '\\') {
                    ++i;
                } else if (c == '"') {
                    inString = false;
                    if (depth == 1 && i + 1 < json.size() && json[i + 1] == ':') {
                        keys.append(QString::fromUtf8(json.mid(keyStart, i - keyStart)));
                    }
                }
                continue;
            }
            if (c == '"') {
                inString = true;
                keyStart = i + 1;
            } else if (c == '{' || c == '[') {
                ++depth;
            } else if (c == '}' || c == ']') {
                --depth;
            }
        }
        return keys;
    };
    const auto reversedObject = [](const QList<std::pair<QString, QByteArray>> &members) {
        QByteArray text = "{";
        for (qsizetype i = members.size() - 1; i >= 0; --i) {
            text += '"' + members[i].first.toUtf8() + "\":" + members[i].second;
            if (i) {
                text += ',';
            }
        }
        return text + '}';
    };
    const auto keysOf = [](const QList<std::pair<QString, QByteArray>> &members) {
        QStringList keys;
        for (const auto &member : members) {
            keys.append(member.first);
        }
        return keys;
    };

    const QList<std::pair<QString, QByteArray>> alarm = {{u"alarm_id"_s, "\"a\""}, {u"kind"_s, "\"location\""},
        {u"absolute_date"_s, "\"d\""}, {u"relative_offset_seconds"_s, "-900"}, {u"proximity"_s, "\"enter\""},
        {u"location"_s, R"({"radius_meters":1,"longitude":2,"latitude":3,"title":"t"})"},
        {u"source_alarm_id"_s, "\"s\""}};
    const QList<std::pair<QString, QByteArray>> rule = {{u"frequency"_s, "\"weekly\""}, {u"interval"_s, "2"},
        {u"week_days"_s, R"(["MO"])"}, {u"month_days"_s, "[1]"}, {u"months"_s, "[2]"}, {u"set_positions"_s, "[-1]"},
        {u"end_date"_s, "\"e\""}, {u"occurrence_count"_s, "3"}, {u"source_rule_json"_s, "{}"}};
    const QList<std::pair<QString, QByteArray>> list = {{u"list_id"_s, "\"L\""}, {u"list_name"_s, "\"N\""},
        {u"icon_kind"_s, "\"k\""}, {u"icon_value"_s, "\"v\""}, {u"theme_color"_s, "\"c\""}, {u"sort_order"_s, "1"},
        {u"last_modified"_s, "\"m\""}, {u"source"_s, "\"s\""}, {u"source_list_id"_s, "\"i\""}};
    QList<std::pair<QString, QByteArray>> reminder;
    for (const char *key : {"schema_version", "source", "source_item_id", "source_external_id", "created_at",
             "updated_at", "local_id", "external_id", "list_id", "list_name", "title", "notes", "fingerprint",
             "start_date", "has_start_time", "due_date", "has_due_time", "time_zone", "is_floating_time", "url",
             "location_text", "repeat_type", "repeat_summary", "alarms", "recurrence_rule", "raw_apple_payload_json",
             "unsupported_fields_json", "priority", "tags", "is_completed", "completion_date", "last_modified",
             "content_hash", "last_modified_by_device_id", "last_modified_by_client_kind"}) {
        const QByteArrayView k(key);
        QByteArray value = "\"x\"";
        if (k == "schema_version" || k == "priority") {
            value = "2";
        } else if (k.startsWith("has_") || k.startsWith("is_")) {
            value = "true";
        } else if (k == "alarms") {
            value = '[' + reversedObject(alarm) + ']';
        } else if (k == "recurrence_rule") {
            value = reversedObject(rule);
        } else if (k.endsWith("_json")) {
            value = "{}";
        } else if (k == "tags") {
            value = "[]";
        }
        reminder.append({QString::fromLatin1(key), value});
    }
    ASSERT_EQ(reminder.size(), 35);
    const QList<std::pair<QString, QByteArray>> envelope
        = {{u"items"_s, '[' + reversedObject(reminder) + ']'}, {u"deleted_ids"_s, "[]"}, {u"deleted_list_ids"_s, "[]"},
            {u"lists"_s, '[' + reversedObject(list) + ']'}, {u"next_cursor"_s, "\"c\""}, {u"generated_at"_s, "\"g\""},
            {u"rebuild_generation"_s, "4"}, {u"full_snapshot"_s, "true"}};

    const auto decoded = decodeJson<SyncResponseEnvelope>(reversedObject(envelope));
    EXPECT_EQ(writtenKeys(encodeJson(decoded)), keysOf(envelope));
    EXPECT_EQ(writtenKeys(encodeJson(decoded.items[0])), keysOf(reminder));
    EXPECT_EQ(writtenKeys(encodeJson(decoded.items[0].alarms->at(0))), keysOf(alarm));
    EXPECT_EQ(writtenKeys(encodeJson(*decoded.items[0].recurrence_rule)), keysOf(rule));
    EXPECT_EQ(writtenKeys(encodeJson(decoded.lists[0])), keysOf(list));
    EXPECT_EQ(writtenKeys(encodeJson(*decoded.items[0].alarms->at(0).location)),
        (QStringList {u"title"_s, u"latitude"_s, u"longitude"_s, u"radius_meters"_s}));
}
