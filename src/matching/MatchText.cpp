#include "matching/MatchText.h"

#include <QTimeZone>

using namespace Qt::Literals::StringLiterals;

namespace quorvin::MatchText {

namespace {

const QTimeZone &chinaTimeZone()
{
    static const QTimeZone zone = [] {
        QTimeZone shanghai("Asia/Shanghai");
        return shanghai.isValid() ? shanghai : QTimeZone::systemTimeZone();
    }();
    return zone;
}

// 2001-01-01T00:00:00Z in milliseconds since 1970.
constexpr qint64 referenceEpochMs = 978307200000;

} // namespace

QString normalized(const QString &text)
{
    QString result = text.trimmed();
    if (result.contains(u'\r'))
        result.replace(u"\r\n"_s, u"\n"_s);
    return result.toLower();
}

QString normalized(const std::optional<QString> &text)
{
    return text ? normalized(*text) : QString();
}

QString trimmed(const std::optional<QString> &text)
{
    return text ? text->trimmed() : QString();
}

double referenceSeconds(const QDateTime &instant)
{
    return double(instant.toMSecsSinceEpoch() - referenceEpochMs) / 1000.0;
}

bool isChinaMidnight(const QDateTime &instant)
{
    const QTime time = instant.toTimeZone(chinaTimeZone()).time();
    return time.hour() == 0 && time.minute() == 0 && time.second() == 0;
}

bool sameChinaDay(const QDateTime &a, const QDateTime &b)
{
    return a.toTimeZone(chinaTimeZone()).date() == b.toTimeZone(chinaTimeZone()).date();
}

} // namespace quorvin::MatchText
