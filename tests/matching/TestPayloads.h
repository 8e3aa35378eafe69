#pragma once

#include "model/ReminderListDirectoryPayload.h"
#include "model/ReminderPayload.h"

#include <QString>

namespace quorvin::test {

// A small open reminder; tests set the fields they care about on top.
inline ReminderPayload reminder(
    const QString &localID, const QString &title = QStringLiteral("Buy milk"), const QString &contentHash = QString())
{
    ReminderPayload p;
    p.local_id = localID;
    p.title = title;
    p.content_hash = contentHash.isEmpty() ? QStringLiteral("hash-") + localID : contentHash;
    return p;
}

inline ReminderListDirectoryPayload list(const QString &listID, const QString &name)
{
    ReminderListDirectoryPayload l;
    l.list_id = listID;
    l.list_name = name;
    return l;
}

} // namespace quorvin::test
