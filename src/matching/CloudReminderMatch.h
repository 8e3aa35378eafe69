#pragma once

#include <QString>
#include <QStringList>

namespace quorvin {

// The local reminder a cloud item stands for, and the other local reminders that stably match it
// (in candidate order).
struct CloudReminderMatch {
    QString localID;
    QStringList duplicateLocalIDs;

    friend bool operator==(const CloudReminderMatch &, const CloudReminderMatch &) = default;
};

} // namespace quorvin
