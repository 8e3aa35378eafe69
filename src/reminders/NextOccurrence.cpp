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
} // namespace

std::optional<QDateTime> NextOccurrence::nextDueDateForSingleRecurrenceStep(
    const QDateTime &from, const QString &repeatType, const std::optional<QString> &repeatSummary) const
{
    const QString summary = repeatSummary.value_or(QString()).trimmed();
    if (const auto rule = parseStructuredRecurrenceSummary(repeatType, summary)) {
        return nextDueDateForStructuredRecurrence(from, *rule);
    }
    const int n = recurrenceInterval(repeatType, summary);
    QDateTime next;
    if (repeatType == u"daily"_s) {
        next = m_calendar.addDays(from, n);
    } else if (repeatType == u"weekly"_s) {
        next = m_calendar.addWeeks(from, n);
    } else if (repeatType == u"biweekly"_s) {
        next = m_calendar.addWeeks(from, 2);
    } else if (repeatType == u"monthly"_s) {
        next = m_calendar.addMonths(from, n);
    } else if (repeatType == u"quarterly"_s) {
        next = m_calendar.addMonths(from, 3);
    } else if (repeatType == u"semiannual"_s) {
        next = m_calendar.addMonths(from, 6);
    } else if (repeatType == u"yearly"_s) {
        next = m_calendar.addYears(from, n);
    } else if (repeatType == u"weekdays"_s || repeatType == u"weekends"_s) {
        const bool workingDays = repeatType == u"weekdays"_s;
        QDateTime candidate = from;
        for (int i = 0; i < kWeekdayWalkLimit; ++i) {
            candidate = m_calendar.addDays(candidate, 1);
            if (!candidate.isValid()) {
                return std::nullopt;
            }
            const int weekday = m_calendar.weekday(candidate);
            const bool working = weekday >= 2 && weekday <= 6;
            if (working == workingDays) {
                return candidate;
            }
        }
        return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (!next.isValid()) {
        return std::nullopt;
    }
    return next;
}

std::optional<QDateTime> NextOccurrence::nextDueDateForStructuredRecurrence(
    const QDateTime &from, const StructuredRecurrenceSummary &rule) const
{
    QDateTime candidate = from;
    for (int i = 0; i < kStructuredWalkLimit; ++i) {
        candidate = m_calendar.addDays(candidate, 1);
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
    const QDate day = m_calendar.localDate(date);
    const QDate baseDay = m_calendar.localDate(base);
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

std::optional<QDate> NextOccurrence::ordinalMatchDate(QDate inMonth, int ordinal, const QString &weekdayToken) const
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
