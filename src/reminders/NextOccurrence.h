#pragma once

#include "reminders/GregorianCalendar.h"
#include "reminders/StructuredRecurrenceSummary.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace quorvin {

// Due dates of a recurring reminder's next occurrence, worked out in one calendar (the current
// time zone). Every walk has a fixed bound and gives none when it runs out.
class NextOccurrence {
public:
    explicit NextOccurrence(GregorianCalendar calendar = GregorianCalendar())
        : m_calendar(std::move(calendar))
    {
    }

    const GregorianCalendar &calendar() const { return m_calendar; }

    // One step of the series. `repeatType` arrives normalised (trimmed, lowercased, no blanks).
    std::optional<QDateTime> nextDueDateForSingleRecurrenceStep(
        const QDateTime &from, const QString &repeatType, const std::optional<QString> &repeatSummary) const;

    // The first day after `from` that the rule matches, counting from `from`.
    std::optional<QDateTime> nextDueDateForStructuredRecurrence(
        const QDateTime &from, const StructuredRecurrenceSummary &rule) const;

    bool structuredRecurrenceMatches(
        const QDateTime &date, const QDateTime &base, const StructuredRecurrenceSummary &rule) const;

    QDateTime monthAnchor(const QDateTime &date) const { return m_calendar.monthAnchor(date); }

    // The ordinal-th day (-1: the last) of the date's month that fits the token.
    std::optional<QDate> ordinalMatchDate(QDate inMonth, int ordinal, const QString &weekdayToken) const;

private:
    GregorianCalendar m_calendar;
};

} // namespace quorvin
