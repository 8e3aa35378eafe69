#pragma once

#include "model/ReminderPayload.h"

#include <QHash>
#include <QSet>
#include <QString>

namespace quorvin {

// The side effects of completing recurring reminders found in one comparison, so that each
// completion shows as one line and its copy or next occurrence as none.
struct RecurringActivityChanges {
    // Series that moved to their next date while a completed copy of them appeared.
    QSet<QString> rolledOverIDs;
    QSet<QString> completedCopyIDs;
    QHash<QString, ReminderPayload> completedCopyByRolledOverID;
    // Series completed in place while their next occurrence appeared as a new reminder.
    QSet<QString> completedRecurringIDs;
    QSet<QString> nextActiveIDs;
    QHash<QString, ReminderPayload> nextActiveByCompletedID;
};

} // namespace quorvin
