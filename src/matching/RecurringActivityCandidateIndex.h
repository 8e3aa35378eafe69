#pragma once

#include "matching/RecurringCompletedCopyActivityKey.h"
#include "matching/RecurringNextActiveActivityKey.h"
#include "matching/ReminderPayloadRef.h"

#include <QHash>
#include <QList>

namespace quorvin {

// Finds, among the reminders that appeared in one refresh, the completed copy and the next active
// occurrence of a recurring reminder that was completed. Buckets keep input order; no item is
// filtered for recurrence, the caller decides. The buckets share the items: a first pull of a
// large store indexes every item it brought.
class RecurringActivityCandidateIndex {
public:
    explicit RecurringActivityCandidateIndex(const QList<ReminderPayloadRef> &items);

    // Completed items with a completion date, by copy key (`RecurringCompletedCopyActivityKey::from`).
    const QHash<RecurringCompletedCopyActivityKey, QList<ReminderPayloadRef>> &completedCopiesByKey() const
    {
        return m_completedCopiesByKey;
    }
    // Open items with a due date in the bucket of the given series reminder's next-active key.
    QList<ReminderPayloadRef> nextActiveCandidates(const ReminderPayload &seriesBefore) const;

private:
    QHash<RecurringCompletedCopyActivityKey, QList<ReminderPayloadRef>> m_completedCopiesByKey;
    QHash<RecurringNextActiveActivityKey, QList<ReminderPayloadRef>> m_nextActiveByKey;
};

} // namespace quorvin
