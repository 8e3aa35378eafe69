#pragma once

#include "sync/CloudSyncPassOwner.h"

#include <QSet>
#include <QString>

namespace quorvin {

// Holds the refreshes for as long as it lives (a failure included), then hands over the ids
// written meanwhile.
struct OwnStoreWrites {
    explicit OwnStoreWrites(CloudSyncPassOwner &writer)
        : owner(writer)
    {
        owner.beginOwnStoreWrites();
    }
    ~OwnStoreWrites() { owner.endOwnStoreWrites(reminderIDs, {}); }
    OwnStoreWrites(const OwnStoreWrites &) = delete;
    OwnStoreWrites &operator=(const OwnStoreWrites &) = delete;
    CloudSyncPassOwner &owner;
    QSet<QString> reminderIDs;
};

} // namespace quorvin
