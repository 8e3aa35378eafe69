#pragma once

#include "model/ReminderPayload.h"

namespace quorvin {

// An active recurring cloud item and the completed cloud copy of one of its earlier occurrences,
// found while one envelope is applied.
struct RemoteRecurringCompletionPair {
    ReminderPayload activeItem;
    ReminderPayload completedOccurrence;
};

} // namespace quorvin
