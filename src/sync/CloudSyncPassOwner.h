#pragma once

#include "model/SyncCountVerificationRequestSignal.h"
#include "sync/OwnStoreWriter.h"

#include <QSet>
#include <QString>

#include <optional>

namespace quorvin {

// What a sync pass needs of the object that runs it: the stop request, the published status
// line, another pass, and (as an OwnStoreWriter) the hold on refresh activity while it writes.
class CloudSyncPassOwner : public OwnStoreWriter {
public:
    virtual ~CloudSyncPassOwner() = default;

    // A pass stops at its first await after a stop request.
    virtual bool isStopping() const = 0;
    virtual void markSyncSuccess(const QString &message) = 0;
    virtual void markSyncFailure(const QString &message) = 0;
    // Logs the line and announces it as a failure of the pass.
    virtual void reportFailureLine(const QString &line) = 0;
    // Queues a pass; requests made while one runs fold into one further pass.
    virtual void scheduleCloudSync(
        const QString &trigger, const std::optional<SyncCountVerificationRequestSignal> &request)
        = 0;
    // Another pass for changes made while this one ran; it runs after this one even when it
    // carries a count-verification request.
    virtual void scheduleCloudSyncAfterPass(
        const QString &trigger, const std::optional<SyncCountVerificationRequestSignal> &request)
        = 0;
    // A count-verification request that arrived while the pass ran; the pass answers it instead.
    virtual std::optional<SyncCountVerificationRequestSignal> takeCountVerificationRequest() = 0;
    // The server's answer asks for another request: the one seen last no longer stops it.
    virtual void forgetObservedCountVerificationRequest() = 0;
};

} // namespace quorvin
