#pragma once

#include "model/JSONValue.h"
#include "model/ReminderAlarmPayload.h"
#include "model/ReminderListDirectoryPayload.h"
#include "model/ReminderPayload.h"
#include "platform/reminderstore/Reminder.h"
#include "platform/reminderstore/ReminderList.h"
#include "platform/reminderstore/ReminderSource.h"
#include "reminders/GregorianCalendar.h"

#include <QHash>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace quorvin {

// The repeat_type and repeat_summary of a reminder.
struct RecurrenceInfo {
    std::optional<QString> type;
    std::optional<QString> summary;
};

// Turns the store's reminders and lists into records. The same reminder always gives the same
// record, so its content hash only changes when its content does.
class ReminderMapper {
public:
    using DiagnosticSink = std::function<void(const QString &)>;

    ReminderMapper(GregorianCalendar calendar, DiagnosticSink diagnostics);

    // Where a reminder lives: its list and the list's source, when they exist.
    struct Placement {
        std::optional<ReminderList> list;
        std::optional<ReminderSource> source;
        // The raw summary of a reminder here, without and with an external id, made once: every
        // reminder of a list would otherwise hold its own equal map, tens of thousands of them.
        mutable std::array<std::optional<JSONObject>, 2> rawSummaries;
    };

    std::optional<ReminderPayload> mapReminder(
        const Reminder &reminder, const Placement &placement, bool emitDiagnostics) const;

    std::vector<ReminderListDirectoryPayload> mapLists(const std::vector<ReminderList> &lists) const;

    RecurrenceInfo recurrenceInfo(const Reminder &reminder, bool emitDiagnostics) const;

    bool isChinaMidnight(const QDateTime &date) const;
    const GregorianCalendar &chinaCalendar() const { return m_china; }
    const GregorianCalendar &calendar() const { return m_calendar; }

    static QList<QString> extractTags(const Reminder &reminder);
    static std::optional<QList<ReminderAlarmPayload>> mapAlarms(
        const std::optional<std::vector<ReminderAlarm>> &alarms);
    static std::optional<ReminderAlarmLocationPayload> mapAlarmLocation(
        const std::optional<StructuredLocation> &location);
    static JSONObject rawApplePayloadSummary(const Reminder &reminder, const Placement &placement);
    static std::optional<JSONObject> unsupportedFieldsSummary(const Reminder &reminder);

    // Sends one "[QuorvinRepeat] " line to standard output and to the diagnostic sink.
    void emitRepeatDiagnostic(const QString &line) const;

private:
    GregorianCalendar m_calendar;
    GregorianCalendar m_china;
    DiagnosticSink m_diagnostics;
};

} // namespace quorvin
