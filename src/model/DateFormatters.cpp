#include "model/DateFormatters.h"

#include <QRegularExpression>
#include <QTimeZone>

using namespace Qt::Literals::StringLiterals;

namespace quorvin::DateFormatters {

namespace {

void appendDigits(QString &out, int value, int width)
{
    char buffer[12];
    for (int i = width - 1; i >= 0; --i) {
        buffer[i] = char('0' + value % 10);
        value /= 10;
    }
    out.append(QLatin1StringView(buffer, width));
}

QString format(const QDateTime &date, bool withMilliseconds)
{
    // An invalid instant has no text; writing its fields would give digits out of range.
    if (!date.isValid()) {
        return QString();
    }
    const QDateTime utc = date.toUTC();
    const QDate day = utc.date();
    const QTime time = utc.time();
    QString out;
    out.reserve(24);
    if (day.year() < 0 || day.year() > 9999) {
        return utc.toString(withMilliseconds ? Qt::ISODateWithMs : Qt::ISODate);
    }
    appendDigits(out, day.year(), 4);
    out.append(u'-');
    appendDigits(out, day.month(), 2);
    out.append(u'-');
    appendDigits(out, day.day(), 2);
    out.append(u'T');
    appendDigits(out, time.hour(), 2);
    out.append(u':');
    appendDigits(out, time.minute(), 2);
    out.append(u':');
    appendDigits(out, time.second(), 2);
    if (withMilliseconds) {
        out.append(u'.');
        appendDigits(out, time.msec(), 3);
    }
    out.append(u'Z');
    return out;
}

class Scanner {
public:
    explicit Scanner(const QString &text)
        : m_text(text)
    {
    }

    bool atEnd() const { return m_pos == m_text.size(); }
    bool peek(char16_t c) const { return m_pos < m_text.size() && m_text[m_pos].unicode() == c; }
    bool take(char16_t c)
    {
        if (!peek(c)) {
            return false;
        }
        ++m_pos;
        return true;
    }
    bool digits(int count, int &value)
    {
        value = 0;
        for (int i = 0; i < count; ++i) {
            if (m_pos >= m_text.size()) {
                return false;
            }
            const char16_t c = m_text[m_pos].unicode();
            if (c < u'0' || c > u'9') {
                return false;
            }
            value = value * 10 + (c - u'0');
            ++m_pos;
        }
        return true;
    }
    bool isDigit() const
    {
        return m_pos < m_text.size() && m_text[m_pos].unicode() >= u'0' && m_text[m_pos].unicode() <= u'9';
    }

private:
    const QString &m_text;
    qsizetype m_pos = 0;
};

std::optional<QDateTime> parse(const QString &text, bool fractional)
{
    Scanner s(text);
    int year, month, day, hour, minute, second;
    if (!s.digits(4, year) || !s.take(u'-') || !s.digits(2, month) || !s.take(u'-') || !s.digits(2, day)
        || !s.take(u'T') || !s.digits(2, hour) || !s.take(u':') || !s.digits(2, minute) || !s.take(u':')
        || !s.digits(2, second)) {
        return std::nullopt;
    }
    int millisecond = 0;
    if (fractional) {
        if (!s.take(u'.') || !s.isDigit()) {
            return std::nullopt;
        }
        int scale = 100;
        while (s.isDigit()) {
            int digit;
            s.digits(1, digit);
            millisecond += digit * scale;
            scale /= 10;
        }
    }
    int offsetSeconds = 0;
    if (s.take(u'Z')) {
    } else if (s.peek(u'+') || s.peek(u'-')) {
        const int sign = s.take(u'+') ? 1 : (s.take(u'-'), -1);
        int offsetHours, offsetMinutes;
        if (!s.digits(2, offsetHours)) {
            return std::nullopt;
        }
        s.take(u':');
        if (!s.digits(2, offsetMinutes) || offsetHours > 23 || offsetMinutes > 59) {
            return std::nullopt;
        }
        offsetSeconds = sign * (offsetHours * 3600 + offsetMinutes * 60);
    } else {
        return std::nullopt;
    }
    if (!s.atEnd()) {
        return std::nullopt;
    }
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, millisecond);
    if (!date.isValid() || !time.isValid()) {
        return std::nullopt;
    }
    return QDateTime(date, time, Qt::UTC).addSecs(-offsetSeconds);
}

} // namespace

QString fractionalISO8601(const QDateTime &date)
{
    return format(date, true);
}

QString plainISO8601(const QDateTime &date)
{
    return format(date, false);
}

QString localizedDateTime(const QDateTime &date, const QLocale &locale)
{
    // Qt has no medium style; it is the long form without the weekday and with the abbreviated
    // month ("May 1, 2024", "2024年5月1日"), and the long time without the zone ("8:30:00 AM").
    static const QRegularExpression weekday(u"d{4}"_s);
    static const QRegularExpression zone(u"(^|\\s)t(\\s|$)"_s);
    static const QString edge = u" ,，"_s;
    const auto trimEdges = [](QString text) {
        qsizetype from = 0, to = text.size();
        while (from < to && edge.contains(text[from])) {
            ++from;
        }
        while (to > from && edge.contains(text[to - 1])) {
            --to;
        }
        return text.mid(from, to - from);
    };
    QString dateFormat = locale.dateFormat(QLocale::LongFormat);
    dateFormat.remove(weekday);
    dateFormat.replace(u"MMMM"_s, u"MMM"_s);
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.replace(zone, u" "_s);
    const QDateTime local = date.toLocalTime();
    return locale.toString(local.date(), trimEdges(dateFormat)) + u' '
        + locale.toString(local.time(), trimEdges(timeFormat));
}

std::optional<QDateTime> parseISO8601(const QString &text)
{
    if (auto date = parse(text, true)) {
        return date;
    }
    return parse(text, false);
}

} // namespace quorvin::DateFormatters
