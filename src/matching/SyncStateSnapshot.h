#pragma once

#include "model/ReminderListDirectoryPayload.h"
#include "model/ReminderPayload.h"

#include <QList>

namespace quorvin {

// The journal's latest view of the reminder database: reminders by ascending local id, lists in
// directory order.
struct SyncStateSnapshot {
    QList<ReminderPayload> items;
    QList<ReminderListDirectoryPayload> lists;
};

} // namespace quorvin
