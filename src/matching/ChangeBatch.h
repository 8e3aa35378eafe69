#pragma once

#include "matching/ReminderPayloadRef.h"

#include <QList>
#include <QString>

#include <vector>

namespace quorvin {

// One numbered set of local changes in the journal. A batch holds either reminder changes or list
// changes, never both. Every id list is sorted ascending; upserts keep snapshot order.
struct ChangeBatch {
    qint64 sequence = 0;
    std::vector<ReminderPayloadRef> upserts;
    QList<QString> deletedIDs;
    QList<QString> changedListIDs;
    QList<QString> deletedListIDs;
};

} // namespace quorvin
