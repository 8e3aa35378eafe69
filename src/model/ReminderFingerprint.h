#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// The normalisers the reminder fingerprint is composed from.
namespace quorvin::ReminderFingerprint {

// Trimmed of white space and newlines at both ends; inner runs of white space become one space.
// Letter case stays. Absent or blank gives "".
QString normalizeText(const std::optional<QString> &text);

// "" for an absent date, else the plain ISO-8601 text (UTC, whole seconds).
QString canonicalDate(const std::optional<QDateTime> &date);

} // namespace quorvin::ReminderFingerprint
