#pragma once

#include "model/JsonField.h"
#include "model/ReminderAlarmLocationPayload.h"

#include <QString>

#include <optional>

namespace quorvin {

// One alarm of a reminder: absolute, relative or a geofence. Dates are ISO-8601 texts.
struct ReminderAlarmPayload {
    std::optional<QString> alarm_id {};
    QString kind {};
    std::optional<QString> absolute_date {};
    std::optional<double> relative_offset_seconds {};
    std::optional<QString> proximity {};
    std::optional<ReminderAlarmLocationPayload> location {};
    std::optional<QString> source_alarm_id {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("alarm_id", s.alarm_id);
        v("kind", s.kind);
        v("absolute_date", s.absolute_date);
        v("relative_offset_seconds", s.relative_offset_seconds);
        v("proximity", s.proximity);
        v("location", s.location);
        v("source_alarm_id", s.source_alarm_id);
    }
};

} // namespace quorvin
