#pragma once

#include "model/JSONValue.h"
#include "model/JsonField.h"
#include "model/ReminderAlarmPayload.h"
#include "model/ReminderRecurrenceRulePayload.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// One reminder as both the local store and the cloud service see it. Dates are held as the
// ISO-8601 texts they travel as; nothing here parses them.
struct ReminderPayload {
    std::optional<qint64> schema_version {};
    std::optional<QString> source {};
    std::optional<QString> source_item_id {};
    std::optional<QString> source_external_id {};
    std::optional<QString> created_at {};
    std::optional<QString> updated_at {};
    QString local_id {};
    std::optional<QString> external_id {};
    std::optional<QString> list_id {};
    std::optional<QString> list_name {};
    QString title {};
    std::optional<QString> notes {};
    QString fingerprint {};
    std::optional<QString> start_date {};
    std::optional<bool> has_start_time {};
    std::optional<QString> due_date {};
    bool has_due_time = false;
    std::optional<QString> time_zone {};
    std::optional<bool> is_floating_time {};
    std::optional<QString> url {};
    std::optional<QString> location_text {};
    std::optional<QString> repeat_type {};
    std::optional<QString> repeat_summary {};
    std::optional<QList<ReminderAlarmPayload>> alarms {};
    std::optional<ReminderRecurrenceRulePayload> recurrence_rule {};
    std::optional<JSONObject> raw_apple_payload_json {};
    std::optional<JSONObject> unsupported_fields_json {};
    std::optional<qint64> priority {};
    std::optional<QList<QString>> tags {};
    bool is_completed = false;
    std::optional<QString> completion_date {};
    std::optional<QString> last_modified {};
    QString content_hash {};
    std::optional<QString> last_modified_by_device_id {};
    std::optional<QString> last_modified_by_client_kind {};

    // A copy whose content_hash is the digest of this payload's content (the hash it held before
    // does not count). Defined in ContentHash.cpp.
    ReminderPayload withContentHash() const;

    // The record form of a date: absent (or invalid) stays absent, else UTC with milliseconds.
    static std::optional<QString> isoString(const std::optional<QDateTime> &date);

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("schema_version", s.schema_version);
        v("source", s.source);
        v("source_item_id", s.source_item_id);
        v("source_external_id", s.source_external_id);
        v("created_at", s.created_at);
        v("updated_at", s.updated_at);
        v("local_id", s.local_id);
        v("external_id", s.external_id);
        v("list_id", s.list_id);
        v("list_name", s.list_name);
        v("title", s.title);
        v("notes", s.notes);
        v("fingerprint", s.fingerprint);
        v("start_date", s.start_date);
        v("has_start_time", s.has_start_time);
        v("due_date", s.due_date);
        v("has_due_time", s.has_due_time);
        v("time_zone", s.time_zone);
        v("is_floating_time", s.is_floating_time);
        v("url", s.url);
        v("location_text", s.location_text);
        v("repeat_type", s.repeat_type);
        v("repeat_summary", s.repeat_summary);
        v("alarms", s.alarms);
        v("recurrence_rule", s.recurrence_rule);
        v("raw_apple_payload_json", s.raw_apple_payload_json);
        v("unsupported_fields_json", s.unsupported_fields_json);
        v("priority", s.priority);
        v("tags", s.tags);
        v("is_completed", s.is_completed);
        v("completion_date", s.completion_date);
        v("last_modified", s.last_modified);
        v("content_hash", s.content_hash);
        v("last_modified_by_device_id", s.last_modified_by_device_id);
        v("last_modified_by_client_kind", s.last_modified_by_client_kind);
    }
};

} // namespace quorvin
