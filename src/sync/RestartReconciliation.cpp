#include "sync/QuorvinMacService.h"

#include "matching/CloudRestartReconciliationPlanner.h"
#include "matching/SyncStateStore.h"
#include "model/DateFormatters.h"
#include "model/SyncError.h"
#include "platform/concurrency/Clock.h"
#include "platform/reminderstore/ReminderStore.h"
#include "reminders/ReminderMonitor.h"
#include "reminders/Strings.h"
#include "sync/Strings.h"

namespace quorvin {

QCoro::Task<std::optional<SyncResponseEnvelope>> QuorvinMacService::cloudRestartReconciliationEnvelope(
    QList<ReminderPayload> remoteItems, bool requiresFullSnapshotUpload, quint64 epoch)
{
    const auto plan = CloudRestartReconciliationPlanner::makePlan(
        m_stateStore->snapshotPayloads(), remoteItems, m_syncState.reminderMappingIndex().serverToLocal());
    m_log.appendLog(SyncText::logRestartPlanPrefix + QString::number(plan.inspectedLocalCount)
        + SyncText::logRestartPlanIdentityLookups + QString::number(plan.identityLookupCount)
        + SyncText::logRestartPlanSemanticLookups + QString::number(plan.semanticLookupCount)
        + SyncText::logRestartPlanMappingRepairs + QString::number(plan.mappingRepairs.size())
        + SyncText::logRestartPlanDuplicates + QString::number(plan.duplicateLocalIDs.size())
        + SyncText::logRestartPlanUploads + QString::number(plan.uploadLocalIDs.size())
        + SyncText::logRestartPlanAmbiguous + QString::number(plan.ambiguousLocalIDs.size()));
    if (!plan.ambiguousLocalIDs.isEmpty()) {
        throw SyncError::invalidRequest(SyncText::restartAmbiguousPrefix
            + QString::number(plan.ambiguousLocalIDs.size()) + SyncText::restartAmbiguousSuffix);
    }

    {
        const auto batch = m_syncState.beginCloudMappingMutationBatch();
        for (const auto &repair : plan.mappingRepairs) {
            m_syncState.setReminderMapping(repair.serverID, repair.localID, false);
        }
    }

    if (!plan.duplicateLocalIDs.isEmpty()) {
        for (const auto &localID : plan.duplicateLocalIDs) {
            if (!m_reminderMonitor->reminder(localID)) {
                throw SyncError::notFound();
            }
            m_store.removeReminder(localID, true);
        }
        co_await m_reminderMonitor->refresh(RemindersText::reasonCloudPull);
        ensureSyncStateEpoch(epoch);
        m_log.appendLog(SyncText::logRestartDuplicatesRemovedPrefix + QString::number(plan.duplicateLocalIDs.size())
            + SyncText::logRestartDuplicatesRemovedSuffix);
    }

    if (requiresFullSnapshotUpload) {
        co_return m_stateStore->syncResponse(std::nullopt);
    }
    // A list made here while the app was closed (or before a pass that failed) has no mapping and
    // may hold no reminder yet; it still has to reach the server, so it counts as an upload too.
    const auto snapshot = m_stateStore->currentSnapshot();
    QSet<QString> unmappedListIDs;
    for (const auto &list : snapshot.lists) {
        if (!m_syncState.listMappingIndex().containsLocalID(list.list_id)) {
            unmappedListIDs.insert(list.list_id);
        }
    }
    if (!plan.uploadLocalIDs.isEmpty() || !unmappedListIDs.isEmpty()) {
        const QSet<QString> uploads(plan.uploadLocalIDs.cbegin(), plan.uploadLocalIDs.cend());
        SyncResponseEnvelope envelope;
        QSet<QString> listIDs = unmappedListIDs;
        for (const auto &item : snapshot.items) {
            if (uploads.contains(item.local_id)) {
                envelope.items.append(item);
                if (item.list_id) {
                    listIDs.insert(*item.list_id);
                }
            }
        }
        for (const auto &list : snapshot.lists) {
            if (listIDs.contains(list.list_id)) {
                envelope.lists.append(list);
            }
        }
        envelope.next_cursor = QString::number(m_stateStore->currentSequence());
        envelope.generated_at = DateFormatters::fractionalISO8601(m_clock.now());
        envelope.full_snapshot = false;
        co_return envelope;
    }
    m_syncState.saveCloudPushCursor(QString::number(m_stateStore->currentSequence()));
    co_return std::nullopt;
}

} // namespace quorvin
