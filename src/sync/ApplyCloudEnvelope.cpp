#include "sync/QuorvinMacService.h"

#include "cloud/CloudHTTPError.h"
#include "cloud/CloudSyncClient.h"
#include "matching/CloudIDMappingIndex.h"
#include "matching/CloudPullUploadCheckpoint.h"
#include "matching/CloudReminderMatchSession.h"
#include "matching/MatchText.h"
#include "matching/RecurringCompletionPredicates.h"
#include "matching/SyncStateStore.h"
#include "platform/concurrency/Clock.h"
#include "reminders/ReminderMonitor.h"
#include "sync/RemoteRecurringCompletionRules.h"
#include "sync/Strings.h"

#include <algorithm>

namespace quorvin {

using namespace Qt::Literals::StringLiterals;

namespace {
std::optional<QString> cursorOrNone(const QString &cursor)
{
    if (cursor.isEmpty()) {
        return std::nullopt;
    }
    return cursor;
}

std::optional<QString> mappedLocalID(const CloudIDMappingIndex &index, const std::optional<QString> &serverID)
{
    if (!serverID) {
        return std::nullopt;
    }
    const auto it = index.serverToLocal().constFind(*serverID);
    if (it == index.serverToLocal().cend()) {
        return std::nullopt;
    }
    return *it;
}

QStringList sortedUnique(const QList<QString> &ids)
{
    QStringList result(ids.cbegin(), ids.cend());
    std::sort(result.begin(), result.end());
    result.erase(std::unique(result.begin(), result.end()), result.end());
    return result;
}
} // namespace

void QuorvinMacService::noteRedundantCompletedCopies(
    const QString &serverID, const QString &localID, const QList<ReminderPayload> &envelopeItems)
{
    // The local reminder is a detached completed copy of the remote item's occurrence (the dedupe
    // only keeps such a one). A server id of it qualifies as another copy only when nothing marks it
    // as a live series: no source identity (completed copies are uploaded without one) and no open
    // or recurring item of that id in this envelope.
    QStringList copies;
    for (const auto &candidate : m_syncState.reminderMappingIndex().serverIDs(localID)) {
        if (candidate == serverID) {
            copies.append(candidate);
            continue;
        }
        if (m_syncState.cachedRemoteSourceIdentityByServerID().contains(candidate)) {
            continue;
        }
        const bool live = std::any_of(envelopeItems.cbegin(), envelopeItems.cend(), [&](const ReminderPayload &item) {
            return item.local_id == candidate
                && (!item.is_completed || RecurringCompletionPredicates::remoteReminderHasRecurrence(item));
        });
        if (!live) {
            copies.append(candidate);
        }
    }
    if (copies.size() < 2) {
        return;
    }
    // The smallest server id survives: it is the one the push already writes this reminder's edits
    // to, and the rule does not depend on which device applies it, so two devices resolving the
    // same pair never delete both copies.
    std::sort(copies.begin(), copies.end());
    for (qsizetype i = 1; i < copies.size(); ++i) {
        m_syncState.noteRedundantCompletedCopy(copies.at(i));
        m_log.appendLog(u"Cloud recurring completed copy redundant server_id="_s + copies.at(i) + u" kept="_s
            + copies.first() + u" local_id="_s + localID);
    }
}

QCoro::Task<void> QuorvinMacService::deleteRedundantCompletedCopies(CloudSyncClient client, quint64 epoch)
{
    auto pending = m_syncState.redundantCompletedCopyServerIDs().values();
    std::sort(pending.begin(), pending.end());
    for (const auto &serverID : pending) {
        const auto localID = m_syncState.reminderMappingIndex().localID(serverID);
        // Never delete the only server record of a local reminder.
        if (!localID || m_syncState.reminderMappingIndex().serverIDs(*localID).size() < 2) {
            m_syncState.dropRedundantCompletedCopy(serverID);
            continue;
        }
        try {
            co_await client.deleteReminder(serverID);
        } catch (const Error &error) {
            if (!CloudHTTPError::hasStatus(error, 404)) {
                throw;
            }
        }
        ensureSyncStateEpoch(epoch);
        m_syncState.dropRedundantCompletedCopy(serverID);
        m_syncState.forgetServerReminder(serverID);
        m_syncState.saveRemoteIdentityCache();
    }
}

QCoro::Task<bool> QuorvinMacService::applyCloudEnvelope(
    SyncResponseEnvelope envelope, bool advanceLocalPushCursor, quint64 epoch)
{
    const auto batch = m_syncState.beginCloudMappingMutationBatch();
    co_return co_await applyCloudEnvelopeSteps(std::move(envelope), advanceLocalPushCursor, epoch);
}

QCoro::Task<bool> QuorvinMacService::applyCloudEnvelopeSteps(
    SyncResponseEnvelope envelope, bool advanceLocalPushCursor, quint64 epoch)
{
    // Nothing to write: skip building the match session over the whole local snapshot.
    if (envelope.items.isEmpty() && envelope.deleted_ids.isEmpty() && envelope.deleted_list_ids.isEmpty()
        && envelope.lists.isEmpty()) {
        co_return false;
    }
    // A local change whose debounce has not fired yet is invisible to the journal; matching against
    // that stale view would pair a cloud item with a reminder that was just changed here (a series
    // completed on both sides at once ended up open twice). Read the store first.
    co_await m_reminderMonitor->refresh(SyncText::reasonCloudPull);
    ensureSyncStateEpoch(epoch);
    const CloudPullUploadCheckpoint checkpoint(m_stateStore->syncResponse(cursorOrNone(m_syncState.cloudPushCursor())));
    auto session = std::make_shared<CloudReminderMatchSession>(m_stateStore->snapshotPayloads());

    const auto &items = envelope.items;
    // The echo keys of the recurring completions in `items` join here with the activity entry
    // points, before anything is written.
    const auto pairs = remoteRecurringCompletionPairs(items);
    QSet<QString> pairCompletedIDs;
    for (const auto &pair : pairs) {
        pairCompletedIDs.insert(pair.completedOccurrence.local_id);
    }

    QSet<QString> protectedLocalReminderIDs;
    for (const auto &item : items) {
        if (const auto source = MatchText::trimmed(item.source_item_id); !source.isEmpty()) {
            protectedLocalReminderIDs.insert(source);
        }
        if (const auto mapped = mappedLocalID(m_syncState.reminderMappingIndex(), item.local_id)) {
            protectedLocalReminderIDs.insert(*mapped);
        }
    }
    QSet<QString> cloudReminderIDs = protectedLocalReminderIDs;
    QSet<QString> cloudListIDs;
    bool wrote = false;
    bool followUp = false;

    // Reminder deletes.
    const auto deletedReminderIDs = sortedUnique(envelope.deleted_ids);
    const QSet<QString> deletedReminderSet(deletedReminderIDs.cbegin(), deletedReminderIDs.cend());
    for (const auto &serverID : deletedReminderIDs) {
        const auto localID = mappedLocalID(m_syncState.reminderMappingIndex(), serverID);
        if (!localID) {
            continue;
        }
        cloudReminderIDs.insert(*localID);
        std::optional<QString> failure;
        try {
            co_await m_reminderMonitor->deleteReminder(*localID, false);
        } catch (const Error &error) {
            failure = error.description();
        }
        ensureSyncStateEpoch(epoch);
        if (failure) {
            m_log.appendLog(u"Cloud reminder delete apply skipped server_id="_s + serverID + u": "_s + *failure);
        } else {
            session->remove(*localID);
            wrote = true;
        }
        m_syncState.removeReminderMapping(serverID);
    }

    // List deletes.
    const auto deletedListIDs = sortedUnique(envelope.deleted_list_ids);
    const QSet<QString> deletedListSet(deletedListIDs.cbegin(), deletedListIDs.cend());
    for (const auto &serverID : deletedListIDs) {
        const auto localID = mappedLocalID(m_syncState.listMappingIndex(), serverID);
        if (!localID) {
            continue;
        }
        cloudListIDs.insert(*localID);
        std::optional<QString> failure;
        try {
            co_await m_reminderMonitor->deleteList(*localID, false);
        } catch (const Error &error) {
            failure = error.description();
        }
        ensureSyncStateEpoch(epoch);
        if (failure) {
            m_log.appendLog(u"Cloud list delete apply skipped server_id="_s + serverID + u": "_s + *failure);
        } else {
            session->removeAll(*localID);
            wrote = true;
        }
        m_syncState.removeListMapping(serverID);
    }

    // Lists.
    for (const auto &list : std::as_const(envelope.lists)) {
        if (deletedListSet.contains(list.list_id)) {
            continue;
        }
        const auto localListID = co_await ensureLocalListID(list, epoch);
        ensureSyncStateEpoch(epoch);
        cloudListIDs.insert(localListID);
        wrote = true;
    }

    // Items: the active sides of recurring completion pairs first.
    QList<const ReminderPayload *> ordered;
    ordered.reserve(items.size());
    for (const auto &item : items) {
        if (pairs.contains(item.local_id)) {
            ordered.append(&item);
        }
    }
    for (const auto &item : items) {
        if (!pairs.contains(item.local_id)) {
            ordered.append(&item);
        }
    }
    for (qsizetype position = 0; position < ordered.size(); ++position) {
        const ReminderPayload item = *ordered.at(position);
        if (deletedReminderSet.contains(item.local_id)) {
            continue;
        }
        if (position > 0 && position % 12 == 0) {
            co_await m_clock.yield();
            ensureSyncStateEpoch(epoch);
        }
        wrote = true;
        const auto serverID = item.local_id;
        const auto localListID = mappedLocalID(m_syncState.listMappingIndex(), item.list_id);

        if (RemoteRecurringCompletionRules::isRemoteRecurringCompletionCommand(item)) {
            const auto mapped = mappedLocalID(m_syncState.reminderMappingIndex(), serverID);
            const auto result = co_await applyRemoteRecurringCompletionCommand(item, localListID, session);
            ensureSyncStateEpoch(epoch);
            if (result) {
                m_syncState.mapCloudReminder(serverID, *result, *m_reminderMonitor);
                cloudReminderIDs.insert(*result);
                QStringList touched;
                if (mapped) {
                    touched.append(*mapped);
                }
                touched.append(*result);
                refreshMatchSession(*session, touched, *m_reminderMonitor);
            }
            followUp = true;
            continue;
        }

        if (pairCompletedIDs.contains(serverID)) {
            const auto dedupe
                = co_await m_reminderMonitor->removeLocalCompletedOccurrences(item, std::nullopt, true, session.get());
            ensureSyncStateEpoch(epoch);
            if (dedupe.keptLocalID) {
                m_syncState.mapCloudReminder(serverID, *dedupe.keptLocalID, *m_reminderMonitor);
                noteRedundantCompletedCopies(serverID, *dedupe.keptLocalID, items);
                cloudReminderIDs.insert(*dedupe.keptLocalID);
                for (const auto &removed : dedupe.removedLocalIDs) {
                    cloudReminderIDs.insert(removed);
                }
                refreshMatchSession(*session, {*dedupe.keptLocalID}, *m_reminderMonitor);
                if (!dedupe.removedLocalIDs.isEmpty()) {
                    m_log.appendLog(u"Cloud recurring completed occurrence deduped server_id="_s + serverID
                        + u" kept="_s + *dedupe.keptLocalID + u" removed="_s
                        + QString::number(dedupe.removedLocalIDs.size()));
                } else {
                    m_log.appendLog(u"Cloud recurring completed occurrence consumed server_id="_s + serverID
                        + u" local_id="_s + *dedupe.keptLocalID);
                }
                continue;
            }
        }

        std::optional<RemoteRecurringCompletionPair> pair;
        if (const auto it = pairs.constFind(serverID); it != pairs.cend()) {
            pair = *it;
        }
        const auto result
            = co_await upsertLocalReminder(item, localListID, pair, protectedLocalReminderIDs, session, epoch);
        ensureSyncStateEpoch(epoch);
        m_syncState.mapCloudReminder(serverID, result.localID, *m_reminderMonitor);
        cloudReminderIDs.insert(result.localID);
        followUp = followUp || result.needsFollowUp;
    }

    if (!items.isEmpty()) {
        m_log.appendLog(u"Cloud match index items="_s + QString::number(session->index().size()) + u" candidates="_s
            + QString::number(session->index().metrics().returnedCandidateCount) + u" full_comparisons="_s
            + QString::number(session->fullComparisonCount()));
    }
    if (!wrote) {
        co_return false;
    }

    co_await m_reminderMonitor->refresh(SyncText::reasonCloudPull);
    ensureSyncStateEpoch(epoch);
    // The pull's activity entry (before and after state) joins here with the activity entry points.
    const auto observed = m_stateStore->syncResponse(cursorOrNone(checkpoint.cursor()));
    if (advanceLocalPushCursor) {
        if (!followUp && !checkpoint.requiresLocalUpload(observed, cloudReminderIDs, cloudListIDs)) {
            m_syncState.saveCloudPushCursor(observed.next_cursor);
            co_return false;
        }
    } else if (!followUp) {
        co_return false;
    }
    m_log.appendLog(u"Cloud pull preserved pending local changes/identities at push cursor "_s
        + (m_syncState.cloudPushCursor().isEmpty() ? QStringLiteral("<empty>") : m_syncState.cloudPushCursor())
        + u" for follow-up upload"_s);
    scheduleCloudSync(SyncText::triggerPullFollowUp);
    co_return true;
}

} // namespace quorvin
