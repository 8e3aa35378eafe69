#pragma once

#include "matching/ReminderPayloadRef.h"

namespace quorvin {

// One reminder as it was before a refresh and as it is after it. `before` is null for a new
// reminder, `after` is null for a deleted one.
struct ReminderRefreshItemChange {
    ReminderPayloadRef before;
    ReminderPayloadRef after;
};

} // namespace quorvin
