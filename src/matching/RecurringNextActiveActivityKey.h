#pragma once

#include "matching/RecurringCompletedCopyActivityKey.h"
#include "model/ReminderPayload.h"

#include <QString>

namespace quorvin {

// The copy key of a series plus its recurrence: the trimmed repeat type and the trimmed summary
// (the repeat type when the summary is empty).
struct RecurringNextActiveActivityKey {
    RecurringCompletedCopyActivityKey completedCopyKey;
    QString repeatType;
    QString recurrenceText;

    static RecurringNextActiveActivityKey from(const ReminderPayload &item);

    friend bool operator==(const RecurringNextActiveActivityKey &, const RecurringNextActiveActivityKey &) = default;
};

size_t qHash(const RecurringNextActiveActivityKey &key, size_t seed = 0) noexcept;

} // namespace quorvin
