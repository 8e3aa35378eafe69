#pragma once

#include "matching/LocalReminderState.h"
#include "matching/ReminderPayloadRef.h"

#include <QString>

#include <optional>

namespace quorvin {

// The live reminder store as the matching rules see it. The bridge implements it, so matching
// never depends on the bridge. Every read is synchronous, has no effect on the store and never
// throws: a missing item is an absent answer.
class ReminderLookup {
public:
    virtual ~ReminderLookup() = default;

    // The reminder with this identifier; absent when no reminder has it (an item of another kind
    // counts as missing).
    virtual std::optional<LocalReminderState> reminder(const QString &localID) const = 0;

    // The payload the journal would hold for that reminder (content hash included), mapped without
    // diagnostics; null when the reminder is missing or cannot be mapped. Shared, not copied: an
    // apply asks for every reminder it writes, and most are what the last refresh mapped.
    virtual ReminderPayloadRef mapReminder(const QString &localID) const = 0;

    // The identifier of the existing list whose identifier equals the given one, trimmed; absent
    // when the id is absent, blank or names no list.
    virtual std::optional<QString> localListID(const std::optional<QString> &sourceListID) const = 0;
};

} // namespace quorvin
