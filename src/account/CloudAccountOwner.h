#pragma once

#include "model/SyncCountVerificationRequestSignal.h"

#include <QString>

#include <optional>

namespace quorvin {

// What the account needs of the object that owns it and runs the sync engine. The account lives
// below the engine and cannot include it; the owner implements this instead.
class CloudAccountOwner {
public:
    virtual ~CloudAccountOwner() = default;

    // The published sync status line; account operations report through the same three writes as
    // the engine.
    virtual void markSyncInProgress() = 0;
    virtual void markSyncSuccess(const QString &message) = 0;
    virtual void markSyncFailure(const QString &message) = 0;
    // Queues a sync pass; requests made while one runs fold into one further pass.
    virtual void scheduleCloudSync(
        const QString &trigger, const std::optional<SyncCountVerificationRequestSignal> &request)
        = 0;
    virtual void startCloudRealtimeWaitIfNeeded() = 0;
    // A token was just applied. The realtime long-poll, still waiting with the old token, stops (a
    // caller that goes on with a valid token starts it again), and the next pause of a pass is
    // reported again.
    virtual void cloudAuthTokenApplied() = 0;
};

} // namespace quorvin
