#include "activity/CompletedReminderCleanupCandidate.h"

#include "matching/MatchText.h"
#include "model/DateFormatters.h"

#include <QStringList>

namespace quorvin {

QString CompletedReminderCleanupCandidate::signatureOf(const std::optional<QString> &listName,
    const std::optional<QString> &title, const std::optional<QString> &dueDate,
    const std::optional<QString> &completionDate)
{
    return QStringList {MatchText::normalized(listName), MatchText::normalized(title),
        normalizedSignatureInstant(dueDate), normalizedSignatureInstant(completionDate)}
        .join(QChar(0x1f));
}

QString CompletedReminderCleanupCandidate::normalizedSignatureInstant(const std::optional<QString> &text)
{
    QString value = MatchText::trimmed(text);
    if (value.isEmpty()) {
        return value;
    }
    const auto instant = DateFormatters::parseISO8601(value);
    return instant ? DateFormatters::fractionalISO8601(*instant) : value;
}

} // namespace quorvin
