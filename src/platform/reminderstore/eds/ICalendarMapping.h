#pragma once

#include "platform/reminderstore/Reminder.h"
#include "platform/reminderstore/eds/ICalComponentPtr.h"

#include <optional>

namespace quorvin {

// Reminders as iCalendar to-dos (VTODO) and back, for task databases that keep iCalendar.
//
// Every field goes to the standard property other task apps read: SUMMARY, DESCRIPTION, URL,
// DTSTART and DUE (a date, a floating time, a time in a zone, or UTC), PRIORITY, STATUS with
// COMPLETED, CREATED, LAST-MODIFIED, one VALARM per alarm at a date or relative to the due date,
// and the first recurrence rule as RRULE. What a standard property cannot say exactly (the
// milliseconds of an instant, date components beyond what the value shows, the order of days the
// library sorts, empty lists) is kept beside it in an X-QUORVIN-EXACT parameter, which counts only
// while the standard value is still what the exact one would be written as: an edit by another
// app wins. What other apps have no property for (location alarms, further rules, absent against
// empty alarm lists, the external id and the reminder's own time zone) lives in X-QUORVIN-
// properties, never in a standard one with a made-up value that other apps would act on.
//
// Writes touch only the properties of fields that changed, so properties of other apps survive.
class ICalendarMapping {
public:
    // The reminder the to-do holds; its id is the UID, its listId stays empty (the list is where
    // the to-do lives).
    static Reminder read(icalcomponent *todo);

    // A new to-do holding `reminder`, its id as UID.
    static ICalComponentPtr create(const Reminder &reminder);

    // Rewrites the properties of every field of `todo` that differs from `reminder` and leaves
    // everything else as it is. Returns whether anything was rewritten.
    static bool update(icalcomponent *todo, const Reminder &reminder);

    // Why a to-do cannot hold `reminder`, or nothing when it can.
    static std::optional<QString> unstorableReason(const Reminder &reminder);

    // The IANA id a TZID names: libical's own prefixed ids are turned into plain ones; an id that
    // names no zone the library knows comes back as it is.
    static QString zoneId(const char *tzid);
};

} // namespace quorvin
