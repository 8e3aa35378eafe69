#include "model/ReminderFingerprint.h"

#include "model/DateFormatters.h"

namespace quorvin::ReminderFingerprint {

namespace {
// The inner white space of the collapse is the same set the trims remove (QString::trimmed):
// tab, line feed, line and form feed, carriage return, U+0085 and every Unicode separator. A
// text that trims a character away at its ends must collapse that character inside it too.
bool isInnerSpace(QChar c)
{
    return c.isSpace();
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
