#pragma once

#include "platform/reminderstore/StructuredLocation.h"

#include <QDateTime>

#include <optional>

namespace quorvin {

// One alarm of a reminder: at an absolute instant, at an offset from the due date, or when
// entering or leaving a place.
struct ReminderAlarm {
    enum class Proximity { None, Enter, Leave };

    // UTC instant, millisecond precision.
    std::optional<QDateTime> absoluteDate {};
    // Seconds relative to the due date (negative = before); used when absoluteDate is absent.
    double relativeOffset = 0;
    std::optional<StructuredLocation> structuredLocation {};
    Proximity proximity = Proximity::None;

    static ReminderAlarm atDate(QDateTime date)
    {
        ReminderAlarm alarm;
        alarm.absoluteDate = std::move(date);
        return alarm;
    }
    static ReminderAlarm atOffset(double seconds)
    {
        ReminderAlarm alarm;
        alarm.relativeOffset = seconds;
        return alarm;
    }

    bool operator==(const ReminderAlarm &) const = default;
};

} // namespace quorvin
