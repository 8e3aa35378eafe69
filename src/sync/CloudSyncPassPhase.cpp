#include "sync/CloudSyncPassPhase.h"

#include "matching/CloudSyncState.h"
#include "matching/SyncStateStore.h"
#include "platform/concurrency/CancelToken.h"
#include "platform/concurrency/Clock.h"
#include "platform/defaults/UserDefaults.h"
#include "sync/CloudSyncCarryOver.h"
#include "sync/CloudSyncPassOwner.h"
#include "sync/SettingsWriteError.h"
#include "sync/SyncStateFencedError.h"

namespace quorvin {

CloudSyncPassPhase::CloudSyncPassPhase(CloudSyncPassContext &context)
    : m_lifetime(context.parts.lifetime)
    , m_defaults(context.parts.defaults)
    , m_clock(context.parts.clock)
    , m_store(context.parts.store)
    , m_log(context.parts.log)
    , m_activityLog(context.parts.activityLog)
    , m_syncState(context.parts.syncState)
    , m_account(context.parts.account)
    , m_stateStore(&context.parts.stateStore)
    , m_reminderMonitor(&context.parts.reminderMonitor)
    , m_pullRetryCursor(context.parts.carryOver.pullRetryCursor)
    , m_lastPullCursor(context.parts.carryOver.lastPullCursor)
    , m_localRemindersAwaitingUpload(context.parts.carryOver.localRemindersAwaitingUpload)
    , m_owner(context.owner)
    , m_client(context.client)
    , m_epoch(context.epoch)
{
}

void CloudSyncPassPhase::ensureCurrent() const
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

void CloudSyncPassPhase::ensureSettingsWritten() const
{
    if (const auto failure = m_defaults.writeFailure()) {
        throw SettingsWriteError(*failure);
    }
}

QCoro::Task<void> CloudSyncPassPhase::settingsWritten()
{
    co_await fenced(m_defaults.written());
    ensureSettingsWritten();
}

void CloudSyncPassPhase::noteMappingProgress()
{
    // Each answer's mapping is made durable as it comes (a journal line); the settings themselves
    // are rewritten every 200 changes or once a second, so a long push costs linear time and a
    // kill between two answers loses no mapping of the first.
    m_syncState.flushCloudMappings();
}

void CloudSyncPassPhase::saveMappingsNow()
{
    m_syncState.flushCloudMappings();
    ensureSettingsWritten();
}

QCoro::Task<void> CloudSyncPassPhase::runStoreWide(std::size_t items, std::function<void()> work)
{
    if (items <= copiedInPlace) {
        work();
        co_return;
    }
    co_await fenced(m_clock.runOffMainThread(std::move(work)));
}

QCoro::Task<SyncResponseEnvelope> CloudSyncPassPhase::journalChanges(std::optional<QString> cursor)
{
    auto answer = std::make_shared<SyncStateStore::JournalAnswer>(m_stateStore->journalAnswer(cursor));
    auto envelope = std::make_shared<SyncResponseEnvelope>();
    const std::size_t items = answer->items.size();
    std::function<void()> build = [answer, envelope] { *envelope = SyncStateStore::envelopeOf(std::move(*answer)); };
    co_await runStoreWide(items, std::move(build));
    co_return std::move(*envelope);
}

} // namespace quorvin
