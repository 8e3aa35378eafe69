#pragma once

#include "reminders/GregorianCalendar.h"
#include "reminders/StructuredRecurrenceSummary.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>

namespace quorvin {

// Due dates of a recurring reminder's next occurrence, worked out in one calendar (the current
// time zone). A step works on the plain local date; the time of day is the one the step started
// from, and the result is turned into an instant once, so a daylight-saving gap on a day the walk
// passes over never shifts the time of the series. Every walk has a fixed bound and gives none
// when it runs out.
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
    // The same step on the plain local date; the time of day does not change.
    std::optional<QDate> nextDueDayForSingleRecurrenceStep(
        QDate from, const QString &repeatType, const std::optional<QString> &repeatSummary) const;

    // The first day after `from` that the rule matches, counting from `from`.
    std::optional<QDateTime> nextDueDateForStructuredRecurrence(
        const QDateTime &from, const StructuredRecurrenceSummary &rule) const;
    std::optional<QDate> nextDueDayForStructuredRecurrence(QDate from, const StructuredRecurrenceSummary &rule) const;

    bool structuredRecurrenceMatches(
        const QDateTime &date, const QDateTime &base, const StructuredRecurrenceSummary &rule) const;
    static bool structuredRecurrenceMatches(QDate day, QDate baseDay, const StructuredRecurrenceSummary &rule);

    QDateTime monthAnchor(const QDateTime &date) const { return m_calendar.monthAnchor(date); }

    // The ordinal-th day (-1: the last) of the date's month that fits the token.
    static std::optional<QDate> ordinalMatchDate(QDate inMonth, int ordinal, const QString &weekdayToken);

private:
    // `day` at `from`'s local time of day, as an instant.
    std::optional<QDateTime> atTimeOf(const std::optional<QDate> &day, const QDateTime &from) const;

    GregorianCalendar m_calendar;
};

} // namespace quorvin
