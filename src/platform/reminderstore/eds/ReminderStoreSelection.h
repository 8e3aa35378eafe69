#pragma once

#include "platform/concurrency/Clock.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/reminderstore/ReminderStore.h"

#include <functional>
#include <memory>

namespace quorvin {

// Which reminder store the application runs on. The setting "Quorvin.ReminderStore" forces one:
// "eds" the desktop's task database, "json" the JSON file. Otherwise the task database is taken
// when the session bus offers its registry, the JSON file when not.
//
// The two hold different reminders under different ids. Switching is, to the sync, a database
// that was replaced: what the server holds is restored into the new store, nothing is deleted on
// the server, and nothing of the old store is carried over.
class ReminderStoreSelection {
public:
    enum class Kind { TaskDatabase, JsonFile };

    static Kind choose(const UserDefaults &defaults, const std::function<bool()> &registryAvailable);
    static Kind choose(const UserDefaults &defaults);

    static std::unique_ptr<ReminderStore> make(Kind kind, Clock &clock);
    static std::unique_ptr<ReminderStore> make(const UserDefaults &defaults, Clock &clock);
};

} // namespace quorvin
