#include "sync/CloudPushPhase.h"

#include "activity/DiagnosticLog.h"
#include "cloud/CloudHTTPError.h"
#include "cloud/CloudSyncClient.h"
#include "matching/CloudSyncState.h"
#include "matching/CloudUploadTarget.h"
#include "matching/MatchText.h"
#include "matching/RecurringReminderPairCandidateIndex.h"
#include "matching/SyncStateStore.h"
#include "model/DateFormatters.h"
#include "platform/concurrency/BackgroundWork.h"
#include "reminders/ReminderMonitor.h"
#include "reminders/Strings.h"
#include "sync/CloudDeletes.h"
#include "sync/RemoteRecurringCompletionRules.h"
#include "sync/Strings.h"

namespace quorvin {

namespace {
ListUpdateMutationPayload listUpdateBody(const ReminderListDirectoryPayload &list, const QString &serverID)
{
    ListUpdateMutationPayload body;
    body.list_id = serverID;
    body.list_name = list.list_name;
    body.icon_kind = list.icon_kind;
    body.icon_value = list.icon_value;
    body.theme_color = list.theme_color;
    body.sort_order = list.sort_order;
    body.client_last_modified = list.last_modified;
    body.source = list.source.value_or(RemindersText::source);
    body.source_list_id = list.source_list_id.value_or(list.list_id);
    return body;
}

ListCreateMutationPayload listCreateBody(const ReminderListDirectoryPayload &list)
{
    ListCreateMutationPayload body;
    body.list_name = list.list_name;
    body.icon_kind = list.icon_kind;
    body.icon_value = list.icon_value;
    body.theme_color = list.theme_color;
    body.sort_order = list.sort_order;
    body.client_last_modified = list.last_modified;
    body.source = list.source.value_or(RemindersText::source);
    body.source_list_id = list.source_list_id.value_or(list.list_id);
    return body;
}
} // namespace

QCoro::Task<void> CloudPushPhase::pushLocalEnvelope(SyncResponseEnvelope envelope, CloudRemoteIdentities remote)
{
    QSet<QString> carried;
    if (!m_localRemindersAwaitingUpload.isEmpty()) {
        for (const auto &item : std::as_const(envelope.items)) {
            carried.insert(item.local_id);
        }
        const auto snapshot = m_stateStore->snapshotPayloads();
        for (const auto &payload : snapshot) {
            if (m_localRemindersAwaitingUpload.contains(payload->local_id) && !carried.contains(payload->local_id)
                && !m_syncState.reminderMappingIndex().containsLocalID(payload->local_id)) {
                envelope.items.append(*payload);
            }
        }
        carried = m_localRemindersAwaitingUpload;
    }
    std::exception_ptr failure;
    try {
        const auto batch = m_syncState.beginCloudMappingMutationBatch();
        co_await pushReminderDeletes(envelope.deleted_ids);
        co_await pushListUpserts(envelope.lists);
        co_await pushReminderUpserts(envelope.items, std::move(remote));
        co_await pushListDeletes(envelope.deleted_list_ids);
        // Only a push that went through moves the cursor; a failed one sends the same changes again.
        m_syncState.saveCloudPushCursor(envelope.next_cursor);
        m_localRemindersAwaitingUpload.subtract(carried);
    } catch (...) {
        failure = std::current_exception();
    }
    // A cleared cache stays cleared: writing it now would mark it as freshly pulled.
    if (m_epoch == m_syncState.syncStateEpoch()) {
        m_syncState.saveRemoteIdentityCache();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

QCoro::Task<void> CloudPushPhase::pushReminderDeletes(QList<QString> localIDs)
{
    for (const auto &localID : std::as_const(localIDs)) {
        const auto serverID = m_syncState.reminderMappingIndex().firstServerID(localID);
        // Gone because the database lost it, not deleted: a rebase brings the server's copy back.
        if (!serverID || m_syncState.remindersLostByDatabase().contains(localID)) {
            continue;
        }
        const bool deleted = co_await fenced(deleteCloudReminderIfPresent(m_client, *serverID));
        if (!deleted) {
            m_log.appendLog(SyncText::logDeleteReminderAbsentPrefix + localID + SyncText::fieldServerID + *serverID);
        }
        m_syncState.forgetServerReminder(*serverID);
        noteMappingProgress();
    }
}

QCoro::Task<void> CloudPushPhase::pushListUpserts(QList<ReminderListDirectoryPayload> lists)
{
    for (const auto &list : std::as_const(lists)) {
        if (const auto serverID = m_syncState.listMappingIndex().firstServerID(list.list_id)) {
            std::optional<QString> staleReason;
            try {
                co_await m_client.updateList(listUpdateBody(list, *serverID));
            } catch (const Error &error) {
                // Only an answer that the list is gone or refused justifies a new server list; a
                // transient failure must not leave a duplicate list behind on the server.
                if (!CloudHTTPError::hasStatus(error, 404) && !CloudHTTPError::hasStatus(error, 400)
                    && !CloudHTTPError::hasStatus(error, 410)) {
                    throw;
                }
                staleReason = error.description();
            }
            ensureCurrent();
            if (!staleReason) {
                continue;
            }
            m_log.appendLog(SyncText::logListMappingStalePrefix + list.list_id + SyncText::fieldServerID + *serverID
                + SyncText::reasonSeparator + *staleReason);
            m_syncState.removeListMapping(*serverID);
        }
        const auto created = co_await fenced(m_client.createList(listCreateBody(list)));
        m_syncState.setListMapping(created.list_id, list.list_id, true);
        noteMappingProgress();
    }
}

QCoro::Task<void> CloudPushPhase::pushReminderUpserts(QList<ReminderPayload> items, CloudRemoteIdentities remote)
{
    const auto pairs = localRecurringCompletionUploadPairs(items);
    QSet<QString> completedCopies;
    for (const auto &pair : pairs) {
        completedCopies.insert(pair.completedLocalID);
    }
    for (const auto &payload : std::as_const(items)) {
        CloudUploadTarget::Upload upload {payload.local_id, payload.source_item_id,
            m_syncState.reminderMappingIndex().firstServerID(payload.local_id), std::nullopt,
            completedCopies.contains(payload.local_id)};
        const auto pair = pairs.constFind(payload.local_id);
        if (pair != pairs.cend()) {
            upload.recurringCompletionServerID = pair->serverID;
        }
        const auto target
            = CloudUploadTarget::resolve(upload, remote, m_syncState.reminderMappingIndex(), *m_reminderMonitor);
        switch (target.reason) {
        case CloudUploadTarget::Reason::RecurringCompletion:
            m_log.appendLog(SyncText::logLocalCompletionUploadPrefix + pair->serverID + SyncText::fieldOldLocalID
                + pair->completedLocalID + SyncText::fieldNextLocalID + pair->activeLocalID);
            break;
        case CloudUploadTarget::Reason::IdentityMismatch:
            m_log.appendLog(SyncText::logIdentityMismatchPrefix + payload.local_id + SyncText::fieldMappedServerID
                + *target.staleServerID + SyncText::logIdentityMismatchSuffix);
            m_syncState.removeReminderMapping(*target.staleServerID);
            break;
        case CloudUploadTarget::Reason::MissingRemotely:
            m_log.appendLog(SyncText::logIdentityMissingPrefix + payload.local_id + SyncText::fieldMappedServerID
                + *target.staleServerID + SyncText::logIdentityMissingSuffix);
            m_syncState.removeReminderMapping(*target.staleServerID);
            break;
        case CloudUploadTarget::Reason::KnownRemotely:
            if (target.staleServerID) {
                m_log.appendLog(SyncText::logIdentityMismatchPrefix + payload.local_id + SyncText::fieldMappedServerID
                    + *target.staleServerID + SyncText::logIdentityMismatchSuffix);
                m_syncState.removeReminderMapping(*target.staleServerID);
            }
            m_log.appendLog(SyncText::logKnownRemotelyPrefix + payload.local_id + SyncText::fieldServerID
                + *target.serverID + SyncText::logKnownRemotelySuffix);
            break;
        case CloudUploadTarget::Reason::Unmapped:
        case CloudUploadTarget::Reason::Mapped:
        case CloudUploadTarget::Reason::CompletedCopy:
            break;
        }
        const bool completedCopy = target.reason == CloudUploadTarget::Reason::CompletedCopy;

        auto body = ReminderUpsertMutationPayload::fromReminder(payload);
        if (completedCopy) {
            body.source_item_id.reset();
            body.source_external_id.reset();
        }
        body.local_id = target.serverID;
        if (payload.list_id) {
            body.list_id = m_syncState.listMappingIndex().firstServerID(*payload.list_id);
        }
        const auto stored = co_await upsertCloudReminder(body, payload.local_id);
        m_syncState.noteRemoteReminderUpsert(stored, completedCopy ? std::nullopt : payload.source_item_id);
        m_syncState.setReminderMapping(stored, payload.local_id, false);
        noteMappingProgress();

        CompletionMutationPayload completion;
        completion.local_id = stored;
        completion.is_completed = payload.is_completed;
        completion.completion_date = payload.completion_date;
        completion.client_last_modified = payload.last_modified;
        co_await fenced(m_client.completeReminder(completion));
    }
    releaseOffMainThread(std::move(remote));
}

QCoro::Task<QString> CloudPushPhase::upsertCloudReminder(ReminderUpsertMutationPayload body, QString localID)
{
    std::optional<ReminderUpsertMutationResponse> answer;
    try {
        answer = co_await m_client.upsertReminder(body);
    } catch (const Error &error) {
        if (!body.local_id || !CloudHTTPError::hasStatus(error, 404)) {
            throw;
        }
    }
    ensureCurrent();
    if (!answer) {
        // The server no longer has that item: forget it and upload the reminder as a new one, so
        // sync never stalls on a vanished server id.
        const auto missing = *body.local_id;
        m_log.appendLog(SyncText::logUpsertTargetMissingPrefix + localID + SyncText::fieldServerID + missing
            + SyncText::logUpsertTargetMissingSuffix);
        m_syncState.forgetServerReminder(missing);
        body.local_id.reset();
        answer = co_await fenced(m_client.upsertReminder(body));
    }
    co_return answer->local_id;
}

QCoro::Task<void> CloudPushPhase::pushListDeletes(QList<QString> localIDs)
{
    for (const auto &localID : std::as_const(localIDs)) {
        const auto serverID = m_syncState.listMappingIndex().firstServerID(localID);
        if (!serverID) {
            continue;
        }
        const bool deleted = co_await fenced(deleteCloudListIfPresent(m_client, *serverID));
        if (!deleted) {
            m_log.appendLog(SyncText::logDeleteListAbsentPrefix + localID + SyncText::fieldServerID + *serverID);
        }
        m_syncState.removeListMapping(*serverID);
        noteMappingProgress();
    }
}

QHash<QString, LocalRecurringCompletionUploadPair> CloudPushPhase::localRecurringCompletionUploadPairs(
    const QList<ReminderPayload> &items) const
{
    QList<ReminderPayload> active;
    QList<ReminderPayload> completed;
    for (const auto &item : items) {
        if (!item.is_completed && !MatchText::normalized(item.repeat_type).isEmpty()
            && !MatchText::trimmed(item.due_date).isEmpty()
            && !m_syncState.reminderMappingIndex().firstServerID(item.local_id)) {
            active.append(item);
        }
        if (RemoteRecurringCompletionRules::isRemoteRecurringCompletedOccurrenceCandidate(item)) {
            completed.append(item);
        }
    }
    QHash<QString, LocalRecurringCompletionUploadPair> result;
    if (active.isEmpty() || completed.isEmpty()) {
        return result;
    }
    const RecurringReminderPairCandidateIndex index(active, completed);
    QSet<QString> usedServerIDs;
    QSet<QString> usedActiveIDs;
    for (const auto &copy : std::as_const(completed)) {
        const auto serverID = m_syncState.reminderMappingIndex().firstServerID(copy.local_id);
        if (!serverID || usedServerIDs.contains(*serverID)) {
            continue;
        }
        const auto copyDue = DateFormatters::parseISO8601(copy.due_date.value_or(QString()));
        for (const auto &candidate : index.activeCandidates(copy)) {
            if (usedActiveIDs.contains(candidate.local_id) || candidate.is_completed
                || MatchText::normalized(candidate.repeat_type).isEmpty()
                || MatchText::trimmed(candidate.due_date).isEmpty() || candidate.has_due_time != copy.has_due_time
                || candidate.due_date == copy.due_date) {
                continue;
            }
            const auto candidateDue = DateFormatters::parseISO8601(candidate.due_date.value_or(QString()));
            if (!copyDue || !candidateDue || !(*copyDue < *candidateDue)) {
                continue;
            }
            if (!RemoteRecurringCompletionRules::sameRecurringCompletionIdentityByListIDAndExactPriority(
                    candidate, copy)) {
                continue;
            }
            result.insert(
                candidate.local_id, LocalRecurringCompletionUploadPair {*serverID, candidate.local_id, copy.local_id});
            usedServerIDs.insert(*serverID);
            usedActiveIDs.insert(candidate.local_id);
            break;
        }
    }
    return result;
}

} // namespace quorvin
