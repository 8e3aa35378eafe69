#pragma once

#include "platform/reminderstore/DateComponents.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QTime>
#include <QTimeZone>

#include <optional>

namespace quorvin {

// The one place where calendar arithmetic happens. Every computation works on a plain local date
// and time of day in the calendar's zone and turns it into an instant once, at the end, so that a
// step across a daylight-saving change keeps the wall-clock time. Weeks start on Sunday and
// weekday numbers run 1 (Sunday) to 7 (Saturday).
class GregorianCalendar {
public:
    explicit GregorianCalendar(QTimeZone zone = QTimeZone::systemTimeZone());

    // The calendar of "Asia/Shanghai"; the given fallback zone when that zone is unknown.
    static GregorianCalendar china(const QTimeZone &fallback = QTimeZone::systemTimeZone());

    const QTimeZone &timeZone() const { return m_zone; }

    // The instant of a local wall-clock time. A time that a daylight-saving change skips moves
    // forward by the length of the gap; a time that occurs twice takes its first occurrence.
    // Returns an invalid QDateTime for an invalid date.
    QDateTime instant(QDate date, QTime time = QTime(0, 0)) const;

    QDate localDate(const QDateTime &instant) const;
    QTime localTime(const QDateTime &instant) const;

    // 1 Sunday ... 7 Saturday.
    static int weekday(QDate date);
    int weekday(const QDateTime &instant) const { return weekday(localDate(instant)); }

    // The Sunday that starts the week of `date`.
    static QDate startOfWeek(QDate date);

    // Steps on plain dates; an invalid date when the result is out of range. The time of day is
    // the caller's, turned into an instant once with instant().
    static QDate addDays(QDate date, qint64 days) { return date.addDays(days); }
    static QDate addWeeks(QDate date, qint64 weeks) { return date.addDays(weeks * 7); }
    // Months and years clamp to the last day of a shorter month (31 January + 1 month = end of
    // February). The clamped day is where the next step starts, so a monthly series on the 31st
    // drifts to earlier days for good, as the series' copies elsewhere do.
    static QDate addMonths(QDate date, int months) { return date.addMonths(months); }
    static QDate addYears(QDate date, int years) { return date.addYears(years); }

    bool isSameDay(const QDateTime &a, const QDateTime &b) const { return localDate(a) == localDate(b); }

    // The 1st of the instant's month at 00:00 in this zone.
    QDateTime monthAnchor(const QDateTime &instant) const;

    // The instant of date components: in their own zone when they name one, else in this
    // calendar's. Missing time parts count as 0; without a year, month or day there is none.
    std::optional<QDateTime> date(const DateComponents &components) const;

    // The components of an instant in this calendar's zone: era, year, month, day and zone, plus
    // hour, minute and second when `withTimeOfDay`.
    DateComponents components(const QDateTime &instant, bool withTimeOfDay) const;

    // Whole months from the month of `from` to the month of `to`.
    static int monthsBetween(QDate from, QDate to);

private:
    // The zone's offset at an instant. Looking it up is costly and a refresh asks for the same
    // few instants again and again, so answers are remembered.
    int offsetAt(const QDateTime &utc) const;

    QTimeZone m_zone;
    mutable QHash<qint64, int> m_offsets;
};

} // namespace quorvin
