#pragma once

#include "model/ReminderPayload.h"

#include <QString>

#include <optional>

namespace quorvin {

// The fields a completed copy of a recurring reminder shares with its series, trimmed but with
// letter case kept; lists play no part.
struct RecurringCompletedCopyActivityKey {
    QString title;
    QString notes;
    QString url;
    QString location;
    bool hasDueTime = false;
    std::optional<qint64> priority;

    static RecurringCompletedCopyActivityKey from(const ReminderPayload &item);

    friend bool operator==(const RecurringCompletedCopyActivityKey &, const RecurringCompletedCopyActivityKey &)
        = default;
};

size_t qHash(const RecurringCompletedCopyActivityKey &key, size_t seed = 0) noexcept;

} // namespace quorvin
