#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <optional>

// The system's date texts. The formatters are plain functions that keep no state between calls,
// so any thread may use them at once and no lock guards them.
namespace quorvin::DateFormatters {

// "2024-05-01T08:30:00.000Z": UTC with exactly three fraction digits. Writes every record date.
// An invalid QDateTime gives "".
QString fractionalISO8601(const QDateTime &date);

// "2024-05-01T08:30:00Z": UTC, whole seconds (the fraction is dropped, not rounded). An invalid
// QDateTime gives "".
QString plainISO8601(const QDateTime &date);

// Medium date and time ("May 1, 2024 8:30:00 AM", "2024年5月1日 08:30:00") in the given locale and
// the local time zone, for display only.
QString localizedDateTime(const QDateTime &date, const QLocale &locale = QLocale::system());

// Tries the fractional form, then the plain one, on the text exactly as given (no trimming).
// Accepts "Z" or a "+hh:mm"/"-hh:mm" offset and one or more fraction digits (beyond
// milliseconds they are dropped). Gives a UTC instant, or nothing for any other text.
std::optional<QDateTime> parseISO8601(const QString &text);

} // namespace quorvin::DateFormatters
