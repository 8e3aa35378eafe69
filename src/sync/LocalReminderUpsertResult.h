#pragma once

#include <QString>

namespace quorvin {

// The local reminder a cloud item was written to or matched with, and whether a local change is
// left that the next pass must upload.
struct LocalReminderUpsertResult {
    QString localID;
    bool needsFollowUp = false;
    // The write created that reminder.
    bool created = false;
};

} // namespace quorvin
