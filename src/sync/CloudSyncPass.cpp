#include "sync/CloudSyncPass.h"

#include "matching/CloudSyncState.h"
#include "platform/concurrency/CancelToken.h"
#include "sync/CloudSyncCarryOver.h"
#include "sync/CloudSyncPassOwner.h"
#include "sync/SyncStateFencedError.h"

namespace quorvin {

CloudSyncPass::CloudSyncPass(const CloudSyncPassParts &parts, CloudSyncPassOwner &owner, CloudSyncClient client,
    quint64 epoch, QString trigger, std::optional<SyncCountVerificationRequestSignal> request)
    : m_lifetime(parts.lifetime)
    , m_defaults(parts.defaults)
    , m_clock(parts.clock)
    , m_store(parts.store)
    , m_log(parts.log)
    , m_activityLog(parts.activityLog)
    , m_syncState(parts.syncState)
    , m_account(parts.account)
    , m_stateStore(&parts.stateStore)
    , m_reminderMonitor(&parts.reminderMonitor)
    , m_pullRetryCursor(parts.carryOver.pullRetryCursor)
    , m_lastPullCursor(parts.carryOver.lastPullCursor)
    , m_localRemindersAwaitingUpload(parts.carryOver.localRemindersAwaitingUpload)
    , m_owner(owner)
    , m_client(std::move(client))
    , m_epoch(epoch)
    , m_trigger(std::move(trigger))
    , m_request(std::move(request))
{
}

void CloudSyncPass::ensureCurrent() const
{
    if (!m_lifetime) {
        throw CancelledError();
    }
    if (m_epoch != m_syncState.syncStateEpoch()) {
        throw SyncStateFencedError();
    }
    if (m_owner.isStopping()) {
        throw CancelledError();
    }
}

} // namespace quorvin
