#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUuid>

namespace quorvin {

// One entry of the user-facing activity log. Entries are immutable once made.
struct ActivityLogLine {
    QUuid id;
    QDateTime createdAt;
    QString category;
    QString summary;
    QStringList details;

    friend bool operator==(const ActivityLogLine &a, const ActivityLogLine &b)
    {
        return a.id == b.id && a.createdAt == b.createdAt && a.category == b.category && a.summary == b.summary
            && a.details == b.details;
    }
};

} // namespace quorvin
