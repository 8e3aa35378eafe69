#pragma once

#include "activity/ActivityChangeLine.h"
#include "matching/ReminderPayloadRef.h"
#include "model/ReminderListDirectoryPayload.h"
#include "model/ReminderPayload.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace quorvin::test {

// An open reminder in the list "家庭"; tests set the fields they care about on top.
inline ReminderPayload task(const QString &localID, const QString &title)
{
    ReminderPayload p;
    p.local_id = localID;
    p.title = title;
    p.list_id = QStringLiteral("list-home");
    p.list_name = QStringLiteral("家庭");
    return p;
}

inline ReminderPayload completed(ReminderPayload p, const QString &completionDate)
{
    p.is_completed = true;
    p.completion_date = completionDate;
    return p;
}

inline ReminderPayload due(ReminderPayload p, const QString &dueDate, bool hasTime)
{
    p.due_date = dueDate;
    p.has_due_time = hasTime;
    return p;
}

inline ReminderListDirectoryPayload reminderList(const QString &listID, const QString &name)
{
    ReminderListDirectoryPayload l;
    l.list_id = listID;
    l.list_name = name;
    return l;
}

// Payloads as the journal holds them: shared, with the digest of their content unless a test
// fixed one.
inline QList<ReminderPayloadRef> hashed(const QList<ReminderPayload> &items)
{
    QList<ReminderPayloadRef> refs;
    for (const auto &item : items) {
        refs.append(
            std::make_shared<const ReminderPayload>(item.content_hash.isEmpty() ? item.withContentHash() : item));
    }
    return refs;
}

// A line as the tests compare it: the summary followed by the details.
inline QStringList shown(const ActivityChangeLine &line)
{
    return QStringList {line.summary} + line.details;
}

inline QList<QStringList> shown(const QList<ActivityChangeLine> &lines)
{
    QList<QStringList> result;
    for (const auto &line : lines) {
        result.append(shown(line));
    }
    return result;
}

} // namespace quorvin::test
