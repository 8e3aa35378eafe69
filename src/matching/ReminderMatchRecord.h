#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace quorvin {

// One local reminder as the match index sees it: texts normalised, dates as stored.
struct ReminderMatchRecord {
    QString localID;
    QString listID;
    // Trimmed, non-empty, without repeats.
    QStringList externalIDs;
    // Seconds since 2001-01-01 UTC of the first readable creation, update or modification time;
    // the largest finite double when none can be read, so such records sort last.
    double creationSortTimestamp = 0;
    QString title;
    QString notes;
    QString dueDate;
    bool hasDueTime = false;
    QString url;
    QString repeatType;
    QString repeatSummary;
    std::optional<qint64> priority;
    bool isCompleted = false;
    QString completionDate;

    friend bool operator==(const ReminderMatchRecord &, const ReminderMatchRecord &) = default;
};

} // namespace quorvin
