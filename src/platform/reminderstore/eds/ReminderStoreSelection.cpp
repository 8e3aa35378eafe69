#include "platform/reminderstore/eds/ReminderStoreSelection.h"

#include "platform/reminderstore/JsonFileReminderStore.h"
#include "platform/reminderstore/eds/EdsReminderStore.h"
#include "platform/reminderstore/eds/Strings.h"

namespace quorvin {

ReminderStoreSelection::Kind ReminderStoreSelection::choose(
    const UserDefaults &defaults, const std::function<bool()> &registryAvailable)
{
    const auto forced = defaults.string(EdsText::storeKey).value_or(QString()).trimmed().toLower();
    if (forced == EdsText::storeTaskDatabase) {
        return Kind::TaskDatabase;
    }
    if (forced == EdsText::storeJsonFile) {
        return Kind::JsonFile;
    }
    return registryAvailable() ? Kind::TaskDatabase : Kind::JsonFile;
}

ReminderStoreSelection::Kind ReminderStoreSelection::choose(const UserDefaults &defaults)
{
    return choose(defaults, &EdsReminderStore::registryAvailable);
}

std::unique_ptr<ReminderStore> ReminderStoreSelection::make(Kind kind, Clock &clock)
{
    if (kind == Kind::TaskDatabase) {
        return std::make_unique<EdsReminderStore>(clock);
    }
    return std::make_unique<JsonFileReminderStore>(JsonFileReminderStore::defaultFilePath(), clock);
}

std::unique_ptr<ReminderStore> ReminderStoreSelection::make(const UserDefaults &defaults, Clock &clock)
{
    return make(choose(defaults), clock);
}

} // namespace quorvin
