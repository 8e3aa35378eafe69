#pragma once

#include "platform/reminderstore/Reminder.h"
#include "platform/reminderstore/ReminderList.h"
#include "platform/reminderstore/ReminderSource.h"

#include <optional>
#include <vector>

namespace quorvin {

// The whole reminders database, as committed or as staged, in the order the items were first
// saved.
struct ReminderStoreState {
    std::vector<ReminderSource> sources {};
    std::vector<ReminderList> lists {};
    std::vector<Reminder> reminders {};
    // The list chosen for new reminders; when it is absent or gone, the first list serves.
    std::optional<QString> defaultListId {};

    bool operator==(const ReminderStoreState &) const = default;
};

} // namespace quorvin
