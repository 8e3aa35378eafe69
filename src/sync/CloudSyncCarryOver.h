#pragma once

#include <QSet>
#include <QString>

#include <optional>

namespace quorvin {

// What one sync pass leaves for the next: kept by the service, read and written by its passes.
struct CloudSyncCarryOver {
    // Where the next pass pulls from when an apply left items the store refused: the cursor that
    // pull started from, so that they come again.
    std::optional<QString> pullRetryCursor;
    // The cursor the last pull started from; empty for a full snapshot.
    QString lastPullCursor;
    // Local reminders whose server item an apply gave to a fresh local reminder. Nothing changed
    // them here, so no journal change would ever carry them up: the next push sends them as
    // items of their own.
    QSet<QString> localRemindersAwaitingUpload;
};

} // namespace quorvin
