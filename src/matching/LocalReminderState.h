#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace quorvin {

// What the matching rules read of one live reminder in the reminder store, beyond its payload.
struct LocalReminderState {
    QString localID;
    bool isCompleted = false;
    // True when the reminder carries at least one recurrence rule.
    bool hasRecurrenceRules = false;
    // The identifier of the list the reminder is in; absent when it has none.
    std::optional<QString> listID;
    std::optional<QDateTime> lastModifiedDate;
};

} // namespace quorvin
