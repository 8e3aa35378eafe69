#include "sync/QuorvinMacService.h"

#include "cloud/CloudHTTPError.h"
#include "cloud/CloudSyncClient.h"
#include "matching/MatchText.h"
#include "matching/RecurringReminderPairCandidateIndex.h"
#include "model/DateFormatters.h"
#include "sync/RemoteRecurringCompletionRules.h"
#include "sync/Strings.h"

namespace quorvin {

using namespace Qt::Literals::StringLiterals;

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
    body.source = list.source.value_or(QStringLiteral("apple_reminders"));
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
    body.source = list.source.value_or(QStringLiteral("apple_reminders"));
    body.source_list_id = list.source_list_id.value_or(list.list_id);
    return body;
}
} // namespace

QCoro::Task<void> QuorvinMacService::pushLocalEnvelope(SyncResponseEnvelope envelope, CloudSyncClient client,
    QHash<QString, QString> remoteSourceIdentityByServerID, std::optional<QSet<QString>> remoteSourceIdentities,
    std::optional<QSet<QString>> remoteServerIDs, quint64 epoch)
{
    std::exception_ptr failure;
    try {
        const auto batch = m_syncState.beginCloudMappingMutationBatch();
        co_await pushLocalEnvelopeSteps(std::move(envelope), std::move(client),
            std::move(remoteSourceIdentityByServerID), std::move(remoteSourceIdentities), std::move(remoteServerIDs),
            epoch);
    } catch (...) {
        failure = std::current_exception();
    }
    // A cleared cache stays cleared: writing it now would mark it as freshly pulled.
    if (epoch == m_syncState.syncStateEpoch()) {
        m_syncState.saveRemoteIdentityCache();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

QCoro::Task<void> QuorvinMacService::pushLocalEnvelopeSteps(SyncResponseEnvelope envelope, CloudSyncClient client,
    QHash<QString, QString> remoteSourceIdentityByServerID, std::optional<QSet<QString>> remoteSourceIdentities,
    std::optional<QSet<QString>> remoteServerIDs, quint64 epoch)
{
    // Reminder deletes.
    for (const auto &localID : std::as_const(envelope.deleted_ids)) {
        const auto serverID = m_syncState.reminderMappingIndex().firstServerID(localID);
        if (!serverID) {
            continue;
        }
        bool alreadyAbsent = false;
        try {
            co_await client.deleteReminder(*serverID);
        } catch (const Error &error) {
            if (!CloudHTTPError::hasStatus(error, 404)) {
                throw;
            }
            alreadyAbsent = true;
        }
        ensureSyncStateEpoch(epoch);
        if (alreadyAbsent) {
            m_log.appendLog(
                u"Cloud delete reminder already absent local_id="_s + localID + u" server_id="_s + *serverID);
        }
        m_syncState.forgetServerReminder(*serverID);
    }

    // List creates and updates.
    for (const auto &list : std::as_const(envelope.lists)) {
        if (const auto serverID = m_syncState.listMappingIndex().firstServerID(list.list_id)) {
            std::optional<QString> staleReason;
            try {
                co_await client.updateList(listUpdateBody(list, *serverID));
            } catch (const Error &error) {
                // Only an answer that the list is gone or refused justifies a new server list; a
                // transient failure must not leave a duplicate list behind on the server.
                if (!CloudHTTPError::hasStatus(error, 404) && !CloudHTTPError::hasStatus(error, 400)
                    && !CloudHTTPError::hasStatus(error, 410)) {
                    throw;
                }
                staleReason = error.description();
            }
            ensureSyncStateEpoch(epoch);
            if (!staleReason) {
                continue;
            }
            m_log.appendLog(u"Cloud list mapping stale local_id="_s + list.list_id + u" server_id="_s + *serverID
                + u": "_s + *staleReason);
            m_syncState.removeListMapping(*serverID);
        }
        const auto created = co_await client.createList(listCreateBody(list));
        ensureSyncStateEpoch(epoch);
        m_syncState.setListMapping(created.list_id, list.list_id, true);
    }

    // Reminder upserts and completions.
    const auto pairs = localRecurringCompletionUploadPairs(envelope.items);
    QSet<QString> completedCopies;
    for (const auto &pair : pairs) {
        completedCopies.insert(pair.completedLocalID);
    }
    for (const auto &payload : std::as_const(envelope.items)) {
        std::optional<QString> serverID;
        const bool completedCopy = !pairs.contains(payload.local_id) && completedCopies.contains(payload.local_id);
        if (const auto pair = pairs.constFind(payload.local_id); pair != pairs.cend()) {
            m_log.appendLog(u"Cloud recurring local completion upload active_server_id="_s + pair->serverID
                + u" old_local_id="_s + pair->completedLocalID + u" next_local_id="_s + pair->activeLocalID);
            serverID = pair->serverID;
        } else if (!completedCopy) {
            std::optional<QString> sourceID;
            if (const auto source = MatchText::trimmed(payload.source_item_id); !source.isEmpty()) {
                sourceID = source;
            } else if (const auto local = payload.local_id.trimmed(); !local.isEmpty()) {
                sourceID = local;
            }
            serverID = m_syncState.reminderMappingIndex().firstServerID(payload.local_id);
            bool checked = false;
            if (serverID) {
                const auto remote = remoteSourceIdentityByServerID.constFind(*serverID);
                if (remote != remoteSourceIdentityByServerID.cend()) {
                    if (!sourceID) {
                        checked = true;
                    } else if (*sourceID != *remote) {
                        m_log.appendLog(u"Cloud mapping identity mismatch local_id="_s + payload.local_id
                            + u" mapped_server_id="_s + *serverID + u"; creating separate server copy"_s);
                        m_syncState.removeReminderMapping(*serverID);
                        serverID.reset();
                        checked = true;
                    }
                }
            }
            if (!checked) {
                const bool keep = !remoteSourceIdentities || !sourceID || remoteSourceIdentities->contains(*sourceID)
                    || !serverID || (remoteServerIDs && remoteServerIDs->contains(*serverID));
                if (!keep) {
                    m_log.appendLog(u"Cloud source identity missing remotely local_id="_s + payload.local_id
                        + u" mapped_server_id="_s + *serverID + u"; creating server copy"_s);
                    m_syncState.removeReminderMapping(*serverID);
                    serverID.reset();
                }
            }
        }

        auto body = ReminderUpsertMutationPayload::fromReminder(payload);
        if (completedCopy) {
            body.source_item_id.reset();
            body.source_external_id.reset();
        }
        body.local_id = serverID;
        if (payload.list_id) {
            body.list_id = m_syncState.listMappingIndex().firstServerID(*payload.list_id);
        }

        std::optional<ReminderUpsertMutationResponse> answer;
        bool targetMissing = false;
        try {
            answer = co_await client.upsertReminder(body);
        } catch (const Error &error) {
            if (!body.local_id || !CloudHTTPError::hasStatus(error, 404)) {
                throw;
            }
            targetMissing = true;
        }
        ensureSyncStateEpoch(epoch);
        if (targetMissing) {
            // The server no longer has that item: forget it and upload the reminder as a new one,
            // so sync never stalls on a vanished server id.
            const auto missing = *body.local_id;
            m_log.appendLog(u"Cloud upsert target missing remotely local_id="_s + payload.local_id + u" server_id="_s
                + missing + u"; uploading as new server item"_s);
            m_syncState.forgetServerReminder(missing);
            body.local_id.reset();
            answer = co_await client.upsertReminder(body);
            ensureSyncStateEpoch(epoch);
        }
        const auto stored = answer->local_id;
        m_syncState.noteRemoteReminderUpsert(stored, completedCopy ? std::nullopt : payload.source_item_id);
        m_syncState.setReminderMapping(stored, payload.local_id, false);

        CompletionMutationPayload completion;
        completion.local_id = stored;
        completion.is_completed = payload.is_completed;
        completion.completion_date = payload.completion_date;
        completion.client_last_modified = payload.last_modified;
        co_await client.completeReminder(completion);
        ensureSyncStateEpoch(epoch);
    }

    // List deletes.
    for (const auto &localID : std::as_const(envelope.deleted_list_ids)) {
        const auto serverID = m_syncState.listMappingIndex().firstServerID(localID);
        if (!serverID) {
            continue;
        }
        bool alreadyAbsent = false;
        try {
            co_await client.deleteList(*serverID, std::nullopt);
        } catch (const Error &error) {
            if (!CloudHTTPError::hasStatus(error, 404)) {
                throw;
            }
            alreadyAbsent = true;
        }
        ensureSyncStateEpoch(epoch);
        if (alreadyAbsent) {
            m_log.appendLog(u"Cloud delete list already absent local_id="_s + localID + u" server_id="_s + *serverID);
        }
        m_syncState.removeListMapping(*serverID);
    }

    m_syncState.saveCloudPushCursor(envelope.next_cursor);
}

QHash<QString, LocalRecurringCompletionUploadPair> QuorvinMacService::localRecurringCompletionUploadPairs(
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
            if (!RemoteRecurringCompletionRules::sameRemoteRecurringCompletionIdentity(candidate, copy)) {
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
