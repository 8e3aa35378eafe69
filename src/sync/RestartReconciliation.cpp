#include "sync/CloudSyncPass.h"

#include "activity/DiagnosticLog.h"
#include "matching/CloudRestartReconciliationPlanner.h"
#include "matching/CloudSyncState.h"
#include "matching/RecurringCompletionPredicates.h"
#include "matching/SyncStateStore.h"
#include "model/DateFormatters.h"
#include "model/SyncError.h"
#include "platform/concurrency/BackgroundWork.h"
#include "platform/concurrency/Clock.h"
#include "platform/reminderstore/ReminderStore.h"
#include "reminders/ReminderMonitor.h"
#include "reminders/Strings.h"
#include "sync/CloudDeletes.h"
#include "sync/CloudSyncPassOwner.h"
#include "sync/OwnStoreWrites.h"
#include "sync/Strings.h"

#include <algorithm>

namespace quorvin {

void CloudSyncPass::splitRecurringCompletionsMadeWhileClosed(const QList<ReminderPayload> &remoteItems)
{
    // The payload of a completed reminder carries no repeat: the store tells whether it has rules.
    QSet<QString> completedHere;
    for (const auto &item : remoteItems) {
        if (item.is_completed || !RecurringCompletionPredicates::remoteReminderHasRecurrence(item)) {
            continue;
        }
        const auto localID = m_syncState.reminderMappingIndex().localID(item.local_id);
        const auto state = localID ? m_reminderMonitor->reminder(*localID) : std::nullopt;
        if (state && state->isCompleted && state->hasRecurrenceRules) {
            completedHere.insert(*localID);
        }
    }
    if (!completedHere.isEmpty() && m_reminderMonitor->splitRecurringCompletionsMadeWhileClosed(completedHere)) {
        m_log.appendLog(SyncText::logSplitWhileClosedPrefix + QString::number(completedHere.size()));
    }
}

QStringList CloudSyncPass::mappedRemindersDeletedWhileClosed()
{
    const auto &mapped = m_syncState.reminderMappingIndex().localToServers();
    QSet<QString> present;
    for (const auto &payload : m_stateStore->snapshotPayloads()) {
        present.insert(payload->local_id);
    }
    QStringList missing;
    qsizetype lostWrites = 0;
    qsizetype lostByDatabase = 0;
    const auto &createdByApp = m_syncState.remindersCreatedByLastApply();
    for (auto it = mapped.cbegin(); it != mapped.cend(); ++it) {
        if (present.contains(it.key())) {
            continue;
        }
        // The store said the database lost it (logged when it did); the server's copy restores it.
        if (m_syncState.remindersLostByDatabase().contains(it.key())) {
            ++lostByDatabase;
        } else if (createdByApp.contains(it.key())) {
            // Created by the app's last apply and not changed here since: the task database lost
            // that write, so the server's copy restores it.
            ++lostWrites;
        } else {
            missing.append(it.key());
        }
    }
    if (lostWrites > 0) {
        m_log.appendLog(SyncText::logLostAppWritesPrefix + QString::number(lostWrites));
    }
    if (!missing.isEmpty() && missing.size() + lostWrites + lostByDatabase == mapped.size()) {
        m_log.appendLog(SyncText::logAllMappedMissingPrefix + QString::number(missing.size()));
        return {};
    }
    std::sort(missing.begin(), missing.end());
    return missing;
}

QCoro::Task<QSet<QString>> CloudSyncPass::pushDeletesMadeWhileClosed(
    QList<ReminderPayload> remoteItems, QStringList deletedWhileClosed)
{
    QSet<QString> deleted;
    if (deletedWhileClosed.isEmpty()) {
        co_return deleted;
    }
    // A reminder whose list is gone too went with its list, which may only be out of reach (an
    // account switched off); it is brought back as before rather than deleted everywhere.
    QSet<QString> presentLists;
    for (const auto &list : m_stateStore->listDirectory()) {
        presentLists.insert(list.list_id);
    }
    QHash<QString, QString> remoteListByServerID;
    for (const auto &item : remoteItems) {
        if (item.list_id) {
            remoteListByServerID.insert(item.local_id, *item.list_id);
        }
    }
    const auto listGone = [&](const QString &serverID) {
        const auto remoteList = remoteListByServerID.constFind(serverID);
        if (remoteList == remoteListByServerID.cend()) {
            return false;
        }
        const auto localList = m_syncState.listMappingIndex().localID(*remoteList);
        return localList && !presentLists.contains(*localList);
    };

    QStringList serverIDs;
    for (const auto &localID : std::as_const(deletedWhileClosed)) {
        const auto servers = m_syncState.reminderMappingIndex().serverIDs(localID);
        if (std::any_of(servers.cbegin(), servers.cend(), listGone)) {
            continue;
        }
        serverIDs.append(QStringList(servers.cbegin(), servers.cend()));
    }
    if (serverIDs.isEmpty()) {
        co_return deleted;
    }
    m_log.appendLog(SyncText::logDeletedWhileClosedPrefix + QString::number(serverIDs.size()));
    std::exception_ptr failure;
    try {
        const auto batch = m_syncState.beginCloudMappingMutationBatch();
        for (const auto &serverID : std::as_const(serverIDs)) {
            const auto localID = m_syncState.reminderMappingIndex().localID(serverID).value_or(QString());
            const bool removed = co_await fenced(deleteCloudReminderIfPresent(m_client, serverID));
            if (!removed) {
                m_log.appendLog(SyncText::logDeleteReminderAbsentPrefix + localID + SyncText::fieldServerID + serverID);
            }
            m_syncState.forgetServerReminder(serverID);
            deleted.insert(serverID);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    if (m_epoch == m_syncState.syncStateEpoch()) {
        m_syncState.saveRemoteIdentityCache();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    co_return deleted;
}

QCoro::Task<std::optional<SyncResponseEnvelope>> CloudSyncPass::cloudRestartReconciliationEnvelope(
    QList<ReminderPayload> remoteItems, bool requiresFullSnapshotUpload)
{
    // A pure look over every local and remote item: for a large store it is made on a worker, from
    // shared copies of the journal's payloads, the pulled items and the mappings.
    auto made = std::make_shared<CloudRestartReconciliationPlan>();
    auto local = m_stateStore->snapshotPayloads();
    const std::size_t planned = local.size() + std::size_t(remoteItems.size());
    std::function<void()> planning
        = [made, local = std::move(local), remoteItems, mappings = m_syncState.reminderMappingIndex().serverToLocal()] {
              *made = CloudRestartReconciliationPlanner::makePlan(local, remoteItems, mappings);
          };
    co_await runStoreWide(planned, std::move(planning));
    // The caller lets go of its own copy off the main thread too; whichever is the last to go
    // frees a payload of every server item, which must not be this frame as it ends on the main
    // thread.
    releaseOffMainThread(std::exchange(remoteItems, {}));
    const CloudRestartReconciliationPlan plan = std::move(*made);
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
        OwnStoreWrites ownWrites(m_owner);
        for (const auto &localID : plan.duplicateLocalIDs) {
            ownWrites.reminderIDs.insert(localID);
            if (!m_reminderMonitor->reminder(localID)) {
                throw SyncError::notFound();
            }
            m_store.removeReminder(localID, true);
        }
        co_await fenced(m_reminderMonitor->refresh(RemindersText::reasonCloudPull));
        m_log.appendLog(SyncText::logRestartDuplicatesRemovedPrefix + QString::number(plan.duplicateLocalIDs.size())
            + SyncText::logRestartDuplicatesRemovedSuffix);
    }

    if (requiresFullSnapshotUpload) {
        co_return co_await journalChanges(std::nullopt);
    }
    // A list made here while the app was closed (or before a pass that failed) has no mapping and
    // may hold no reminder yet; it still has to reach the server, so it counts as an upload too.
    // The payloads are looked at through shared references: only the few uploaded are copied.
    const auto items = m_stateStore->snapshotPayloads();
    const auto lists = m_stateStore->listDirectory();
    QSet<QString> unmappedListIDs;
    for (const auto &list : lists) {
        if (!m_syncState.listMappingIndex().containsLocalID(list.list_id)) {
            unmappedListIDs.insert(list.list_id);
        }
    }
    if (!plan.uploadLocalIDs.isEmpty() || !unmappedListIDs.isEmpty()) {
        const QSet<QString> uploads(plan.uploadLocalIDs.cbegin(), plan.uploadLocalIDs.cend());
        SyncResponseEnvelope envelope;
        QSet<QString> listIDs = unmappedListIDs;
        for (const auto &item : items) {
            if (uploads.contains(item->local_id)) {
                envelope.items.append(*item);
                if (item->list_id) {
                    listIDs.insert(*item->list_id);
                }
            }
        }
        for (const auto &list : lists) {
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
