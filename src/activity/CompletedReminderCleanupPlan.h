#pragma once

#include "activity/CompletedReminderCleanupCandidate.h"

#include <QList>

namespace quorvin {

// The outcome of comparing the local completed reminders with the cloud's completed items.
struct CompletedReminderCleanupPlan {
    QList<CompletedReminderCleanupCandidate> candidates;
    int remoteCompletedCount = 0;
    // Distinct local ids the cloud's completed items name by source id or mapping.
    int preservedLocalIDCount = 0;
    // Cloud completed items for which no local id could be found.
    int remoteWithoutSourceOrMappingCount = 0;
};

} // namespace quorvin
