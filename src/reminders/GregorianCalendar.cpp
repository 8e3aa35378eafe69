#include "reminders/GregorianCalendar.h"

namespace quorvin {

GregorianCalendar::GregorianCalendar(QTimeZone zone)
    : m_zone(zone)
{
    if (!m_zone.isValid()) {
        m_zone = QTimeZone::systemTimeZone();
    }
}

GregorianCalendar GregorianCalendar::china(const QTimeZone &fallback)
{
    QTimeZone shanghai(QByteArrayLiteral("Asia/Shanghai"));
    return GregorianCalendar(shanghai.isValid() ? shanghai : fallback);
}

QDateTime GregorianCalendar::instant(QDate date, QTime time) const
{
    if (!date.isValid()) {
        return {};
    }
    if (!time.isValid()) {
        time = QTime(0, 0);
    }
    // The wall-clock time read as if it were UTC; the zone's offsets around it decide the rest.
    const QDateTime naive(date, time, Qt::UTC);
    const int before = offsetAt(naive.addDays(-1));
    const int after = offsetAt(naive.addDays(1));
    QDateTime withBefore = naive.addSecs(-before);
    if (offsetAt(withBefore) == before) {
        return withBefore;
    }
    QDateTime withAfter = naive.addSecs(-after);
    if (offsetAt(withAfter) == after) {
        return withAfter;
    }
    // Inside a gap: reading the time with the offset in force before the gap moves it forward by
    // the gap's length.
    return withBefore;
}

int GregorianCalendar::offsetAt(const QDateTime &utc) const
{
    constexpr qsizetype kMaxRemembered = 8192;
    const qint64 key = utc.toMSecsSinceEpoch();
    const auto found = m_offsets.constFind(key);
    if (found != m_offsets.constEnd()) {
        return *found;
    }
    if (m_offsets.size() >= kMaxRemembered) {
        m_offsets.clear();
    }
    const int offset = m_zone.offsetFromUtc(utc);
    m_offsets.insert(key, offset);
    return offset;
}

QDate GregorianCalendar::localDate(const QDateTime &instant) const
{
    return instant.toTimeZone(m_zone).date();
}

QTime GregorianCalendar::localTime(const QDateTime &instant) const
{
    return instant.toTimeZone(m_zone).time();
}

int GregorianCalendar::weekday(QDate date)
{
    return date.dayOfWeek() % 7 + 1;
}

QDate GregorianCalendar::startOfWeek(QDate date)
{
    return date.addDays(-(weekday(date) - 1));
}

QDateTime GregorianCalendar::monthAnchor(const QDateTime &instant) const
{
    const QDate date = localDate(instant);
    const QDateTime anchor = this->instant(QDate(date.year(), date.month(), 1));
    return anchor.isValid() ? anchor : instant;
}

std::optional<QDateTime> GregorianCalendar::date(const DateComponents &components) const
{
    if (!components.year || !components.month || !components.day) {
        return std::nullopt;
    }
    const QDate day(*components.year, *components.month, *components.day);
    const QTime time(components.hour.value_or(0), components.minute.value_or(0), components.second.value_or(0));
    if (!day.isValid() || !time.isValid()) {
        return std::nullopt;
    }
    if (components.timeZone) {
        const QTimeZone zone(components.timeZone->toUtf8());
        if (zone.isValid() && zone != m_zone) {
            return GregorianCalendar(zone).instant(day, time);
        }
    }
    const QDateTime result = instant(day, time);
    if (!result.isValid()) {
        return std::nullopt;
    }
    return result;
}

DateComponents GregorianCalendar::components(const QDateTime &instant, bool withTimeOfDay) const
{
    const QDateTime local = instant.toTimeZone(m_zone);
    DateComponents components;
    components.era = local.date().year() > 0 ? 1 : 0;
    components.year = local.date().year();
    components.month = local.date().month();
    components.day = local.date().day();
    if (withTimeOfDay) {
        components.hour = local.time().hour();
        components.minute = local.time().minute();
        components.second = local.time().second();
    }
    components.timeZone = QString::fromUtf8(m_zone.id());
    return components;
}

int GregorianCalendar::monthsBetween(QDate from, QDate to)
{
    return (to.year() - from.year()) * 12 + (to.month() - from.month());
}

} // namespace quorvin
