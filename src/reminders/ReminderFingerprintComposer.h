#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace quorvin::ReminderFingerprint {

// The fingerprint of a reminder: SHA-256 over list name, title, notes, due date, completion date,
// priority and completion state, each normalised and joined by "|".
QString make(const std::optional<QString> &listName, const std::optional<QString> &title,
    const std::optional<QString> &notes, const std::optional<QDateTime> &dueDate,
    const std::optional<QDateTime> &completionDate, std::optional<qint64> priority, bool isCompleted);

} // namespace quorvin::ReminderFingerprint
