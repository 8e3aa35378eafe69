#include "activity/LocalCompletedRecord.h"

#include "activity/CompletedReminderCleanupCandidate.h"
#include "model/ReminderPayload.h"
#include "reminders/GregorianCalendar.h"

#include <QHash>

namespace quorvin {

std::optional<LocalCompletedRecord> LocalCompletedRecord::from(
    const Reminder &reminder, const QString &listName, const GregorianCalendar &calendar)
{
    const QString localID = reminder.id.trimmed();
    if (!reminder.completed || localID.isEmpty()) {
        return std::nullopt;
    }
    LocalCompletedRecord record;
    record.localID = localID;
    record.listName = listName;
    record.title = reminder.title;
    if (reminder.dueDateComponents) {
        record.dueDateString = ReminderPayload::isoString(calendar.date(*reminder.dueDateComponents));
    }
    record.completionDateString = ReminderPayload::isoString(reminder.completionDate);
    record.signature = CompletedReminderCleanupCandidate::signatureOf(
        record.listName, record.title, record.dueDateString, record.completionDateString);
    return record;
}

QList<LocalCompletedRecord> LocalCompletedRecord::fromReminders(
    const std::vector<Reminder> &reminders, const std::vector<ReminderList> &lists, const GregorianCalendar &calendar)
{
    QHash<QString, QString> listNames;
    for (const auto &list : lists) {
        listNames.insert(list.id, list.title);
    }
    QList<LocalCompletedRecord> records;
    for (const auto &reminder : reminders) {
        if (auto record = from(reminder, listNames.value(reminder.listId), calendar)) {
            records.append(std::move(*record));
        }
    }
    return records;
}

} // namespace quorvin
