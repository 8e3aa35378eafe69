#pragma once

#include "model/JSONValue.h"
#include "model/JsonField.h"
#include "model/ReminderAlarmPayload.h"
#include "model/ReminderPayload.h"
#include "model/ReminderRecurrenceRulePayload.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// One reminder to create or update on the service; also what the reminder store writer takes.
// Most absent values are written as explicit nulls so that the service clears them.
struct ReminderUpsertMutationPayload {
    std::optional<qint64> schema_version {};
    std::optional<QString> source {};
    std::optional<QString> source_item_id {};
    std::optional<QString> source_external_id {};
    std::optional<QString> created_at {};
    std::optional<QString> updated_at {};
    std::optional<QString> local_id {};
    QString title {};
    std::optional<QString> notes {};
    std::optional<QString> start_date {};
    std::optional<bool> has_start_time {};
    std::optional<QString> due_date {};
    std::optional<bool> has_due_time {};
    std::optional<QString> time_zone {};
    std::optional<bool> is_floating_time {};
    std::optional<QString> url {};
    std::optional<QString> location_text {};
    std::optional<QString> list_id {};
    std::optional<QString> list_name {};
    std::optional<QString> repeat_type {};
    std::optional<QString> repeat_summary {};
    std::optional<QList<ReminderAlarmPayload>> alarms {};
    std::optional<ReminderRecurrenceRulePayload> recurrence_rule {};
    std::optional<JSONObject> raw_apple_payload_json {};
    std::optional<JSONObject> unsupported_fields_json {};
    std::optional<qint64> priority {};
    std::optional<bool> is_completed {};
    std::optional<QString> completion_date {};
    std::optional<QString> client_last_modified {};

    // The write order for `item` with every field both records share carried over, and the item's
    // last modification as `client_last_modified`. Which ids go into `local_id` and `list_id`
    // depends on the side it is sent to, so the caller sets those two.
    static ReminderUpsertMutationPayload fromReminder(const ReminderPayload &item)
    {
        ReminderUpsertMutationPayload upsert;
        upsert.schema_version = item.schema_version.value_or(2);
        upsert.source = item.source;
        upsert.source_item_id = item.source_item_id;
        upsert.source_external_id = item.source_external_id;
        upsert.created_at = item.created_at;
        upsert.updated_at = item.updated_at;
        upsert.title = item.title;
        upsert.notes = item.notes;
        upsert.start_date = item.start_date;
        upsert.has_start_time = item.has_start_time;
        upsert.due_date = item.due_date;
        upsert.has_due_time = item.has_due_time;
        upsert.url = item.url;
        upsert.list_name = item.list_name;
        upsert.repeat_type = item.repeat_type;
        upsert.repeat_summary = item.repeat_summary;
        upsert.alarms = item.alarms;
        upsert.recurrence_rule = item.recurrence_rule;
        upsert.raw_apple_payload_json = item.raw_apple_payload_json;
        upsert.unsupported_fields_json = item.unsupported_fields_json;
        upsert.priority = item.priority;
        upsert.is_completed = item.is_completed;
        upsert.completion_date = item.completion_date;
        upsert.client_last_modified = item.last_modified;
        return upsert;
    }

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("schema_version", s.schema_version);
        v("source", s.source, WhenAbsent::WriteNull);
        v("source_item_id", s.source_item_id, WhenAbsent::WriteNull);
        v("source_external_id", s.source_external_id, WhenAbsent::WriteNull);
        v("created_at", s.created_at);
        v("updated_at", s.updated_at);
        v("local_id", s.local_id);
        v("title", s.title);
        v("notes", s.notes, WhenAbsent::WriteNull);
        v("start_date", s.start_date, WhenAbsent::WriteNull);
        v("has_start_time", s.has_start_time, WhenAbsent::WriteNull);
        v("due_date", s.due_date, WhenAbsent::WriteNull);
        v("has_due_time", s.has_due_time, WhenAbsent::WriteNull);
        v("time_zone", s.time_zone, WhenAbsent::WriteNull);
        v("is_floating_time", s.is_floating_time, WhenAbsent::WriteNull);
        v("url", s.url, WhenAbsent::WriteNull);
        v("location_text", s.location_text, WhenAbsent::WriteNull);
        v("list_id", s.list_id, WhenAbsent::WriteNull);
        v("list_name", s.list_name, WhenAbsent::WriteNull);
        v("repeat_type", s.repeat_type, WhenAbsent::WriteNull);
        v("repeat_summary", s.repeat_summary, WhenAbsent::WriteNull);
        v("alarms", s.alarms, WhenAbsent::WriteNull);
        v("recurrence_rule", s.recurrence_rule, WhenAbsent::WriteNull);
        v("raw_apple_payload_json", s.raw_apple_payload_json, WhenAbsent::WriteNull);
        v("unsupported_fields_json", s.unsupported_fields_json, WhenAbsent::WriteNull);
        v("priority", s.priority, WhenAbsent::WriteNull);
        v("is_completed", s.is_completed, WhenAbsent::WriteNull);
        v("completion_date", s.completion_date, WhenAbsent::WriteNull);
        v("client_last_modified", s.client_last_modified);
    }
};

} // namespace quorvin
