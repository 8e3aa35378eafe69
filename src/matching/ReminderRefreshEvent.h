#pragma once

#include "matching/ReminderRefreshItemChange.h"
#include "matching/ReminderRefreshListChange.h"

#include <QList>
#include <QString>

namespace quorvin {

// What one refresh of the reminder database changed. The journal fills it (reason "refresh",
// no list changes); the bridge then puts in the refresh's own reason and the list changes of the
// same refresh before it hands the event on.
struct ReminderRefreshEvent {
    QString reason;
    int upserts = 0;
    int deletions = 0;
    int totalCount = 0;
    // The journal's sequence after this refresh, as decimal text.
    QString cursor;
    // New and changed reminders in snapshot order, then deleted ones by ascending id; each local id
    // at most once.
    QList<ReminderRefreshItemChange> reminderChanges;
    QList<ReminderRefreshListChange> listChanges;
    // Reminders gone because the database lost them, by ascending id: no change of anyone's, so
    // neither in reminderChanges nor counted in deletions.
    QList<QString> lostReminderIDs;
};

} // namespace quorvin
