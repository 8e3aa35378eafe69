#include "model/CompletionMutationPayload.h"
#include "model/JsonCodec.h"
#include "model/ListCreateMutationPayload.h"
#include "model/ListDeleteMutationPayload.h"
#include "model/ListMutationResponse.h"
#include "model/ListUpdateMutationPayload.h"
#include "model/ReminderDeleteMutationPayload.h"
#include "model/ReminderUpsertMutationPayload.h"
#include "model/ReminderUpsertMutationResponse.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

namespace {

QStringList keysInWrittenOrder(const QByteArray &json)
{
    // Our writer keeps field order; recover it from the text rather than from QJsonObject (which sorts).
    QStringList keys;
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    QList<std::pair<qsizetype, QString>> positions;
    for (const QString &key : object.keys()) {
        positions.append({json.indexOf(QByteArray("\"" + key.toUtf8() + "\":")), key});
    }
    std::sort(positions.begin(), positions.end());
    for (const auto &[position, key] : positions) {
        keys.append(key);
    }
    return keys;
}

const QStringList upsertKeys = {u"schema_version"_s, u"source"_s, u"source_item_id"_s, u"source_external_id"_s,
    u"created_at"_s, u"updated_at"_s, u"local_id"_s, u"title"_s, u"notes"_s, u"start_date"_s, u"has_start_time"_s,
    u"due_date"_s, u"has_due_time"_s, u"time_zone"_s, u"is_floating_time"_s, u"url"_s, u"location_text"_s, u"list_id"_s,
    u"list_name"_s, u"repeat_type"_s, u"repeat_summary"_s, u"alarms"_s, u"recurrence_rule"_s,
    u"raw_apple_payload_json"_s, u"unsupported_fields_json"_s, u"priority"_s, u"is_completed"_s, u"completion_date"_s,
    u"client_last_modified"_s};

} // namespace

TEST(UpsertMutation, AbsentValuesAreNullExceptTheFiveLeftOut)
{
    ReminderUpsertMutationPayload onlyTitle;
    onlyTitle.title = u"买菜"_s;
    const QByteArray json = encodeJson(onlyTitle);
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    EXPECT_EQ(object.size(), 24);
    for (const QString &key : upsertKeys) {
        const bool leftOut = key == u"schema_version"_s || key == u"created_at"_s || key == u"updated_at"_s
            || key == u"local_id"_s || key == u"client_last_modified"_s;
        if (leftOut) {
            EXPECT_FALSE(object.contains(key)) << key.toStdString();
        } else if (key == u"title"_s) {
            EXPECT_EQ(object.value(key).toString(), u"买菜"_s);
        } else {
            EXPECT_TRUE(object.contains(key) && object.value(key).isNull()) << key.toStdString();
        }
    }

    // Empty and false values are values, never null.
    ReminderUpsertMutationPayload full;
    full.schema_version = 2;
    full.source = u""_s;
    full.source_item_id = u"s"_s;
    full.source_external_id = u"e"_s;
    full.created_at = u"c"_s;
    full.updated_at = u"u"_s;
    full.local_id = u"tmp:1"_s;
    full.title = u"t"_s;
    full.notes = u"n"_s;
    full.start_date = u"sd"_s;
    full.has_start_time = false;
    full.due_date = u"dd"_s;
    full.has_due_time = true;
    full.time_zone = u"Asia/Shanghai"_s;
    full.is_floating_time = false;
    full.url = u"https://x"_s;
    full.location_text = u"l"_s;
    full.list_id = u"L"_s;
    full.list_name = u"LN"_s;
    full.repeat_type = u"daily"_s;
    full.repeat_summary = u"每天"_s;
    full.alarms = QList<ReminderAlarmPayload>();
    full.recurrence_rule = ReminderRecurrenceRulePayload();
    full.raw_apple_payload_json = JSONObject();
    full.unsupported_fields_json = JSONObject {{u"k"_s, JSONValue()}};
    full.priority = 0;
    full.is_completed = false;
    full.completion_date = u"cd"_s;
    full.client_last_modified = u"clm"_s;
    const QByteArray fullJson = encodeJson(full);
    EXPECT_EQ(keysInWrittenOrder(fullJson), upsertKeys);
    EXPECT_FALSE(fullJson.contains(":null,")) << fullJson.toStdString();
    EXPECT_TRUE(fullJson.contains(R"("alarms":[])"));
    EXPECT_TRUE(fullJson.contains(R"("raw_apple_payload_json":{})"));
    EXPECT_TRUE(fullJson.contains(R"("recurrence_rule":{})"));
    EXPECT_TRUE(fullJson.contains(R"("unsupported_fields_json":{"k":null})"));
    EXPECT_TRUE(fullJson.contains(R"("priority":0)"));
    EXPECT_TRUE(fullJson.contains(R"("has_start_time":false)"));
    EXPECT_TRUE(fullJson.contains(R"("is_completed":false)"));
    EXPECT_TRUE(fullJson.contains(R"("source":"")"));

    // Reading back: every null and missing optional is absent.
    const auto back = decodeJson<ReminderUpsertMutationPayload>(json);
    EXPECT_EQ(back.title, u"买菜"_s);
    EXPECT_FALSE(back.source || back.alarms || back.priority || back.has_due_time || back.raw_apple_payload_json);
    EXPECT_EQ(encodeJson(decodeJson<ReminderUpsertMutationPayload>(fullJson)), fullJson);
}

TEST(MutationRecords, OtherRecordsNeverWriteNull)
{
    struct Case {
        QByteArray actual;
        QByteArray expected;
    };
    ListUpdateMutationPayload update;
    update.list_id = u"L1"_s;
    update.list_name = u""_s;
    update.sort_order = 0;
    ListCreateMutationPayload create;
    create.list_name = u"工作"_s;
    create.source = u"apple_reminders"_s;
    const Case cases[] = {
        {encodeJson(ReminderDeleteMutationPayload {u"srv-1"_s, std::nullopt}), R"({"local_id":"srv-1"})"},
        {encodeJson(ListDeleteMutationPayload {u"L1"_s, std::nullopt}), R"({"list_id":"L1"})"},
        {encodeJson(ListDeleteMutationPayload {u"L1"_s, u"2024-05-01T08:30:00.000Z"_s}),
            R"({"list_id":"L1","client_last_modified":"2024-05-01T08:30:00.000Z"})"},
        {encodeJson(CompletionMutationPayload {u"srv-1"_s, false, std::nullopt, std::nullopt}),
            R"({"local_id":"srv-1","is_completed":false})"},
        {encodeJson(CompletionMutationPayload {u"srv-1"_s, true, u"d"_s, u"m"_s}),
            R"({"local_id":"srv-1","is_completed":true,"completion_date":"d","client_last_modified":"m"})"},
        {encodeJson(update), R"({"list_id":"L1","list_name":"","sort_order":0})"},
        {encodeJson(create), R"({"list_name":"工作","source":"apple_reminders"})"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.actual, c.expected);
    }
}

TEST(MutationRecords, AnswersDecodeStrictly)
{
    const auto upsert = decodeJson<ReminderUpsertMutationResponse>(R"({"local_id":"srv-9","request_local_id":null})");
    EXPECT_EQ(upsert.local_id, u"srv-9"_s);
    EXPECT_FALSE(upsert.request_local_id);
    EXPECT_EQ(*decodeJson<ReminderUpsertMutationResponse>(R"({"local_id":"a","request_local_id":"tmp:1","x":1})")
                   .request_local_id,
        u"tmp:1"_s);
    const auto list = decodeJson<ListMutationResponse>(R"({"list_id":"L","list_name":"N","extra":[1]})");
    EXPECT_EQ(list.list_name, u"N"_s);
    EXPECT_FALSE(list.last_modified);

    struct Failure {
        std::function<void()> decode;
        QString description;
    };
    const Failure failures[] = {
        {[] { decodeJson<ReminderUpsertMutationResponse>(R"({"request_local_id":"x"})"); }, u"local_id: missing"_s},
        {[] { decodeJson<ListMutationResponse>(R"({"list_id":"L"})"); }, u"list_name: missing"_s},
        {[] { decodeJson<ReminderUpsertMutationPayload>(R"({"title":null})"); }, u"title: null"_s},
        {[] { decodeJson<ReminderUpsertMutationPayload>(R"({"title":"t","priority":"1"})"); },
            u"priority: expected integer"_s},
        {[] { decodeJson<CompletionMutationPayload>(R"({"local_id":"a","is_completed":1})"); },
            u"is_completed: expected boolean"_s},
    };
    for (const Failure &f : failures) {
        try {
            f.decode();
            ADD_FAILURE() << "decoded: " << f.description.toStdString();
        } catch (const JSONCodingError &error) {
            EXPECT_EQ(error.description(), f.description);
        }
    }
}
