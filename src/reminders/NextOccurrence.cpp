#include "reminders/NextOccurrence.h"

#include "reminders/RecurrenceSummaryGrammar.h"

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

namespace {
constexpr int kWeekdayWalkLimit = 14;
constexpr int kStructuredWalkLimit = 8000;

bool fitsToken(int weekday, const QString &token)
{
    if (token == u"WKD"_s) {
        return weekday >= 2 && weekday <= 6;
    }
    if (token == u"WND"_s) {
        return weekday == 1 || weekday == 7;
    }
    if (token == u"NAT"_s) {
        return true;
    }
    return weekdayToken(weekday) == token;
}

std::optional<QDate> valid(QDate day)
{
    return day.isValid() ? std::optional<QDate>(day) : std::nullopt;
}

// The next working day ("weekdays") or weekend day after `from`, in the weeks (Sunday to
// Saturday) that lie a multiple of `interval` weeks after `from`'s own week: the days a weekly
// rule with those days and that interval describes.
std::optional<QDate> nextDayOfClass(QDate from, bool workingDays, int interval)
{
    const QDate baseWeek = GregorianCalendar::startOfWeek(from);
    QDate day = from.addDays(1);
    for (int i = 0; i < kWeekdayWalkLimit && day.isValid(); ++i) {
        const qint64 weeks = baseWeek.daysTo(GregorianCalendar::startOfWeek(day)) / 7;
        if (weeks % interval != 0) {
            // Straight to the Sunday of the next week of the series.
            day = baseWeek.addDays((weeks / interval + 1) * interval * qint64(7));
            if (!day.isValid()) {
                return std::nullopt;
            }
        }
        const int weekday = GregorianCalendar::weekday(day);
        if ((weekday >= 2 && weekday <= 6) == workingDays) {
            return day;
        }
        day = day.addDays(1);
    }
    return std::nullopt;
}
} // namespace

std::optional<QDateTime> NextOccurrence::atTimeOf(const std::optional<QDate> &day, const QDateTime &from) const
{
    if (!day) {
        return std::nullopt;
    }
    const QDateTime result = m_calendar.instant(*day, m_calendar.localTime(from));
    return result.isValid() ? std::optional<QDateTime>(result) : std::nullopt;
}

std::optional<QDateTime> NextOccurrence::nextDueDateForSingleRecurrenceStep(
    const QDateTime &from, const QString &repeatType, const std::optional<QString> &repeatSummary) const
{
    return atTimeOf(nextDueDayForSingleRecurrenceStep(m_calendar.localDate(from), repeatType, repeatSummary), from);
}

std::optional<QDate> NextOccurrence::nextDueDayForSingleRecurrenceStep(
    QDate from, const QString &repeatType, const std::optional<QString> &repeatSummary) const
{
    if (!from.isValid()) {
        return std::nullopt;
    }
    const QString summary = repeatSummary.value_or(QString()).trimmed();
    if (const auto rule = parseStructuredRecurrenceSummary(repeatType, summary)) {
        return nextDueDayForStructuredRecurrence(from, *rule);
    }
    const int n = recurrenceInterval(repeatType, summary);
    // Monthly and yearly steps clamp to the end of a shorter month (GregorianCalendar::addMonths).
    if (repeatType == u"daily"_s) {
        return valid(GregorianCalendar::addDays(from, n));
    }
    if (repeatType == u"weekly"_s) {
        return valid(GregorianCalendar::addWeeks(from, n));
    }
    if (repeatType == u"biweekly"_s) {
        return valid(GregorianCalendar::addWeeks(from, 2));
    }
    if (repeatType == u"monthly"_s) {
        return valid(GregorianCalendar::addMonths(from, n));
    }
    if (repeatType == u"quarterly"_s) {
        return valid(GregorianCalendar::addMonths(from, 3));
    }
    if (repeatType == u"semiannual"_s) {
        return valid(GregorianCalendar::addMonths(from, 6));
    }
    if (repeatType == u"yearly"_s) {
        return valid(GregorianCalendar::addYears(from, n));
    }
    if (repeatType == u"weekdays"_s || repeatType == u"weekends"_s) {
        // Such a rule is weekly, so its summary names its interval in weeks ("每2周").
        return nextDayOfClass(from, repeatType == u"weekdays"_s, recurrenceInterval(u"weekly"_s, summary));
    }
    return std::nullopt;
}

std::optional<QDateTime> NextOccurrence::nextDueDateForStructuredRecurrence(
    const QDateTime &from, const StructuredRecurrenceSummary &rule) const
{
    return atTimeOf(nextDueDayForStructuredRecurrence(m_calendar.localDate(from), rule), from);
}

std::optional<QDate> NextOccurrence::nextDueDayForStructuredRecurrence(
    QDate from, const StructuredRecurrenceSummary &rule) const
{
    if (!from.isValid()) {
        return std::nullopt;
    }
    for (int i = 1; i <= kStructuredWalkLimit; ++i) {
        const QDate candidate = from.addDays(i);
        if (!candidate.isValid()) {
            return std::nullopt;
        }
        if (structuredRecurrenceMatches(candidate, from, rule)) {
            return candidate;
        }
    }
    return std::nullopt;
}

bool NextOccurrence::structuredRecurrenceMatches(
    const QDateTime &date, const QDateTime &base, const StructuredRecurrenceSummary &rule) const
{
    return structuredRecurrenceMatches(m_calendar.localDate(date), m_calendar.localDate(base), rule);
}

bool NextOccurrence::structuredRecurrenceMatches(QDate day, QDate baseDay, const StructuredRecurrenceSummary &rule)
{
    if (!day.isValid() || !baseDay.isValid()) {
        return false;
    }
    const auto ordinalMatches = [&] {
        const auto match = ordinalMatchDate(day, rule.ordinal.value_or(1), rule.weekdayToken.value_or(u"SU"_s));
        return match && *match == day;
    };
    if (rule.repeatType == u"weekly"_s) {
        const qint64 weeks = GregorianCalendar::startOfWeek(baseDay).daysTo(GregorianCalendar::startOfWeek(day)) / 7;
        if (weeks < 0 || weeks % rule.interval != 0) {
            return false;
        }
        return rule.weekdayTokens.contains(weekdayToken(GregorianCalendar::weekday(day)).value_or(QString()));
    }
    if (rule.repeatType == u"monthly"_s) {
        const int months = GregorianCalendar::monthsBetween(baseDay, day);
        if (months < 0 || months % rule.interval != 0) {
            return false;
        }
        if (rule.mode == u"dates"_s) {
            return rule.monthDays.contains(day.day());
        }
        return ordinalMatches();
    }
    if (rule.repeatType == u"yearly"_s) {
        const int years = day.year() - baseDay.year();
        if (years < 0 || years % rule.interval != 0) {
            return false;
        }
        if (!rule.months.contains(day.month())) {
            return false;
        }
        if (rule.mode == u"ordinal"_s) {
            return ordinalMatches();
        }
        return day.day() == baseDay.day();
    }
    return false;
}

std::optional<QDate> NextOccurrence::ordinalMatchDate(QDate inMonth, int ordinal, const QString &weekdayToken)
{
    QList<QDate> kept;
    const int days = inMonth.daysInMonth();
    for (int d = 1; d <= days; ++d) {
        const QDate candidate(inMonth.year(), inMonth.month(), d);
        if (candidate.isValid() && fitsToken(GregorianCalendar::weekday(candidate), weekdayToken)) {
            kept.append(candidate);
        }
    }
    if (ordinal == -1) {
        return kept.isEmpty() ? std::nullopt : std::optional<QDate>(kept.last());
    }
    if (ordinal < 1 || ordinal > kept.size()) {
        return std::nullopt;
    }
    return kept.at(ordinal - 1);
}

} // namespace quorvin
