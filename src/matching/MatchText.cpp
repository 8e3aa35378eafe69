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

namespace {

bool isAscii(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            return false;
        }
    }
    return true;
}

// Trimming only looks at the two ends; an ASCII letter, digit or mark there means nothing to trim.
QStringView trimmedView(const QString &text)
{
    if (text.isEmpty()) {
        return {};
    }
    const char16_t first = text.front().unicode();
    const char16_t last = text.back().unicode();
    if (first > u' ' && first < 0x7f && last > u' ' && last < 0x7f) {
        return text;
    }
    return QStringView(text).trimmed();
}

char16_t asciiLower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
}

// Walks one trimmed ASCII text as its normalised form: lowercase, each CR LF read as one LF.
class AsciiNormalizedReader {
public:
    explicit AsciiNormalizedReader(QStringView text)
        : m_text(text)
    {
    }
    bool atEnd() const { return m_position >= m_text.size(); }
    char16_t next()
    {
        const char16_t c = m_text[m_position].unicode();
        if (c == u'\r' && m_position + 1 < m_text.size() && m_text[m_position + 1] == u'\n') {
            m_position += 2;
            return u'\n';
        }
        ++m_position;
        return asciiLower(c);
    }

private:
    QStringView m_text;
    qsizetype m_position = 0;
};

} // namespace

QString normalized(const QString &text)
{
    const QStringView view = trimmedView(text);
    bool ascii = true;
    bool plain = true; // no capital letter, no carriage return
    for (const QChar c : view) {
        const char16_t u = c.unicode();
        if (u >= 0x80) {
            ascii = false;
            break;
        }
        if ((u >= u'A' && u <= u'Z') || u == u'\r') {
            plain = false;
        }
    }
    if (ascii && plain) {
        return view.size() == text.size() ? text : view.toString();
    }
    if (ascii) {
        QString result(view.size(), Qt::Uninitialized);
        QChar *out = result.data();
        for (qsizetype i = 0; i < view.size(); ++i) {
            const char16_t u = view[i].unicode();
            if (u == u'\r' && i + 1 < view.size() && view[i + 1] == u'\n') {
                continue; // the line feed that follows stands for both
            }
            *out++ = QChar(asciiLower(u));
        }
        result.resize(out - result.constData());
        return result;
    }
    QString result = view.toString();
    if (result.contains(u'\r')) {
        result.replace(u"\r\n"_s, u"\n"_s);
    }
    return result.toLower();
}

QString normalized(const std::optional<QString> &text)
{
    return text ? normalized(*text) : QString();
}

bool normalizedEqual(const QString &a, const QString &b)
{
    const QStringView x = trimmedView(a);
    const QStringView y = trimmedView(b);
    if (!isAscii(x) || !isAscii(y)) {
        return normalized(a) == normalized(b);
    }
    AsciiNormalizedReader rx(x);
    AsciiNormalizedReader ry(y);
    while (!rx.atEnd() && !ry.atEnd()) {
        if (rx.next() != ry.next()) {
            return false;
        }
    }
    return rx.atEnd() && ry.atEnd();
}

bool normalizedEqual(const std::optional<QString> &a, const std::optional<QString> &b)
{
    static const QString empty;
    return normalizedEqual(a ? *a : empty, b ? *b : empty);
}

bool normalizedIsEmpty(const QString &text)
{
    return trimmedView(text).isEmpty();
}

bool normalizedIsEmpty(const std::optional<QString> &text)
{
    return !text || normalizedIsEmpty(*text);
}

QString trimmed(const std::optional<QString> &text)
{
    if (!text) {
        return QString();
    }
    const QStringView view = trimmedView(*text);
    return view.size() == text->size() ? *text : view.toString();
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
