#pragma once

#include "model/ReminderListDirectoryPayload.h"

#include <optional>

namespace quorvin {

// One reminder list before and after a refresh; `before` is absent for a new list, `after` for a
// removed one.
struct ReminderRefreshListChange {
    std::optional<ReminderListDirectoryPayload> before;
    std::optional<ReminderListDirectoryPayload> after;
};

} // namespace quorvin
