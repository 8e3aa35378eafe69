#include "sync/CloudSyncPass.h"

#include "matching/CloudSyncState.h"
#include "platform/concurrency/CancelToken.h"
#include "sync/CloudSyncCarryOver.h"
#include "sync/CloudSyncPassOwner.h"
#include "sync/SyncStateFencedError.h"

namespace quorvin {

CloudSyncPass::CloudSyncPass(
    const CloudSyncPassParts &parts, CloudSyncPassOwner &owner, CloudSyncClient client, quint64 epoch)
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

void CloudSyncPass::noteMappingProgress()
{
    // Each answer's mapping is made durable as it comes (a journal line); the settings themselves
    // are rewritten every 200 changes or once a second, so a long push costs linear time and a
    // kill between two answers loses no mapping of the first.
    m_syncState.flushCloudMappings();
}

} // namespace quorvin
