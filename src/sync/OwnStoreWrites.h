#pragma once

#include "sync/OwnStoreWriter.h"

#include <QSet>
#include <QString>

namespace quorvin {

// Holds the refreshes for as long as it lives (a failure included), then hands over the ids
// written meanwhile.
struct OwnStoreWrites {
    explicit OwnStoreWrites(OwnStoreWriter &writer)
        : owner(writer)
    {
        owner.beginOwnStoreWrites();
    }
    ~OwnStoreWrites() { owner.endOwnStoreWrites(reminderIDs, {}); }
    OwnStoreWrites(const OwnStoreWrites &) = delete;
    OwnStoreWrites &operator=(const OwnStoreWrites &) = delete;
    OwnStoreWriter &owner;
    QSet<QString> reminderIDs;
};

} // namespace quorvin
