#pragma once

#include "cloud/CloudSyncClient.h"
#include "model/SyncCountVerificationRequestSignal.h"
#include "sync/CloudSyncPassParts.h"

#include <QString>

#include <optional>

namespace quorvin {

class CloudSyncPassOwner;

// What one sync pass runs on, shared by its phases: the components, the owner, the client, the
// fence epoch (the sync state's epoch when the runner decided on the pass; the pass moves it only
// when it clears the state itself), the trigger and the count-verification request it answers.
struct CloudSyncPassContext {
    CloudSyncPassParts parts;
    CloudSyncPassOwner &owner;
    CloudSyncClient client;
    quint64 epoch = 0;
    QString trigger;
    std::optional<SyncCountVerificationRequestSignal> request;
};

} // namespace quorvin
