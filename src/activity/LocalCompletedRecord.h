#pragma once

#include "platform/reminderstore/Reminder.h"
#include "platform/reminderstore/ReminderList.h"

#include <QList>
#include <QString>

#include <optional>
#include <vector>

namespace quorvin {

class GregorianCalendar;

// One completed reminder of the local store as the cleanup compares it with the cloud.
struct LocalCompletedRecord {
    QString localID;
    QString listName;
    QString title;
    std::optional<QString> dueDateString;
    std::optional<QString> completionDateString;
    QString signature;

    // None for an open reminder or one without an identifier. Dates are read through `calendar`
    // and written in the record form.
    static std::optional<LocalCompletedRecord> from(
        const Reminder &reminder, const QString &listName, const GregorianCalendar &calendar);
    // The completed reminders among `reminders`, in their order.
    static QList<LocalCompletedRecord> fromReminders(const std::vector<Reminder> &reminders,
        const std::vector<ReminderList> &lists, const GregorianCalendar &calendar);
};

} // namespace quorvin
