#pragma once

#include "matching/CloudIDMappingIndex.h"
#include "matching/CloudRemoteIdentities.h"
#include "matching/ReminderLookup.h"

#include <QString>

#include <optional>

namespace quorvin {

// Which server item the upload of one local reminder writes to, and why. It reads only its
// arguments and changes nothing.
struct CloudUploadTarget {
    // The reminder as the push sees it.
    struct Upload {
        QString localID;
        std::optional<QString> sourceItemID;
        // The first server id the reminder mapping holds for `localID`.
        std::optional<QString> mappedServerID;
        // The reminder carries on a series whose previous occurrence was completed here: the server
        // item of that occurrence, which the series keeps.
        std::optional<QString> recurringCompletionServerID;
        // The reminder is the completed copy such a completion left behind.
        bool completedCopy = false;
    };

    enum class Reason {
        // No mapping: a new server item.
        Unmapped,
        // The mapped server item.
        Mapped,
        // The server item of the series' completed occurrence.
        RecurringCompletion,
        // A completed copy always becomes a server item of its own.
        CompletedCopy,
        // The mapped item carries the identity of another reminder here: a separate server copy.
        // (An identity that names no reminder here is another device's own id for the item, or
        // that of a reminder gone here, and leaves the mapping be.)
        IdentityMismatch,
        // Neither the mapped item nor the reminder's identity is known on the server: a new copy.
        MissingRemotely,
        // Not mapped (or mapped to another reminder's item), but the server holds an item under the
        // reminder's identity that no reminder here is mapped to: an earlier upload whose answer
        // was lost. The upload goes onto that item instead of making a second one.
        KnownRemotely,
    };

    // `reminderMappings` tells which server items already stand for a reminder here, `reminders`
    // which reminders exist here.
    static CloudUploadTarget resolve(const Upload &upload, const CloudRemoteIdentities &remote,
        const CloudIDMappingIndex &reminderMappings, const ReminderLookup &reminders);

    // Absent: the upload creates a new server item.
    std::optional<QString> serverID;
    Reason reason = Reason::Unmapped;
    // A mapped server id the upload abandons; its mapping is stale.
    std::optional<QString> staleServerID;
};

} // namespace quorvin
