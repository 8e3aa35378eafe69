#include "model/ReminderFingerprint.h"

#include "model/DateFormatters.h"

namespace quorvin::ReminderFingerprint {

namespace {
// The inner white space of the collapse: tab, line feed, form feed, carriage return and every
// Unicode separator, as "\s" of the regular expression engine the fingerprint was defined with.
bool isInnerSpace(QChar c)
{
    const char16_t u = c.unicode();
    if (u == u'\t' || u == u'\n' || u == u'\f' || u == u'\r') {
        return true;
    }
    switch (c.category()) {
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}
} // namespace

QString normalizeText(const std::optional<QString> &text)
{
    if (!text) {
        return QString();
    }
    const QString trimmed = text->trimmed();
    if (trimmed.isEmpty()) {
        return QString();
    }
    QString result;
    result.reserve(trimmed.size());
    bool inRun = false;
    for (const QChar c : trimmed) {
        if (isInnerSpace(c)) {
            if (!inRun) {
                result.append(u' ');
            }
            inRun = true;
        } else {
            result.append(c);
            inRun = false;
        }
    }
    return result;
}

QString canonicalDate(const std::optional<QDateTime> &date)
{
    return date ? DateFormatters::plainISO8601(*date) : QString();
}

} // namespace quorvin::ReminderFingerprint
