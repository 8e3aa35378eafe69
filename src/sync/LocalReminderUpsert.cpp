#include "sync/CloudApplyPhase.h"

#include "activity/DiagnosticLog.h"
#include "matching/CloudReminderMatchSession.h"
#include "matching/CloudSyncState.h"
#include "matching/LocalReminderMatchResolver.h"
#include "matching/MatchText.h"
#include "matching/RecurringCompletionPredicates.h"
#include "model/DateFormatters.h"
#include "reminders/ReminderMonitor.h"
#include "reminders/Strings.h"
#include "sync/RemoteRecurringCompletionRules.h"
#include "sync/Strings.h"

namespace quorvin {

namespace {
QString lastModifiedText(const ReminderPayload &item)
{
    return item.last_modified.value_or(SyncText::valueNil);
}
} // namespace

bool CloudApplyPhase::storeHasReminder(const QString &localID) const
{
    return m_reminderMonitor->reminder(localID).has_value();
}

QCoro::Task<QString> CloudApplyPhase::ensureLocalListID(ReminderListDirectoryPayload list)
{
    if (const auto it = m_syncState.listMappingIndex().serverToLocal().constFind(list.list_id);
        it != m_syncState.listMappingIndex().serverToLocal().cend()) {
        // NOLINTNEXTLINE(performance-unnecessary-copy-initialization): the map changes across co_await
        const QString mapped = *it;
        bool renamed = false;
        try {
            co_await m_reminderMonitor->updateList(mapped, list.list_name, false);
            renamed = true;
        } catch (const Error &) {
            // The mapped list is gone or cannot be renamed: find or create it again below.
        }
        ensureCurrent();
        if (renamed) {
            co_return mapped;
        }
        m_syncState.removeListMapping(list.list_id);
    }
    if (MatchText::trimmed(list.source) == RemindersText::source) {
        if (const auto found = m_reminderMonitor->localListID(list.source_list_id)) {
            co_await fenced(m_reminderMonitor->updateList(*found, list.list_name, false));
            m_syncState.setListMapping(list.list_id, *found, true);
            co_return *found;
        }
    }
    const auto created = co_await fenced(m_reminderMonitor->createList(list.list_name, false));
    m_syncState.setListMapping(list.list_id, created.first, true);
    co_return created.first;
}

QCoro::Task<LocalReminderUpsertResult> CloudApplyPhase::upsertLocalReminder(ReminderPayload item,
    std::optional<QString> localListID, std::optional<RemoteRecurringCompletionPair> remoteRecurringCompletion,
    QSet<QString> protectedLocalReminderIDs, std::shared_ptr<CloudReminderMatchSession> matchSession)
{
    auto &monitor = *m_reminderMonitor;
    const LocalReminderMatchResolver resolver(monitor);
    const QString serverID = item.local_id;
    std::optional<QString> mapped = m_syncState.reminderMappingIndex().localID(serverID);
    const bool listAsLastSynced = m_syncState.remoteListUnchanged(serverID);

    // Which local reminder the item is: a match, else the mapped one, else one under the server id.
    std::optional<QString> target;
    const auto match = resolver.resolveLocalReminderMatch(item, localListID, *matchSession);
    if (match) {
        const QString winner = match->localID;
        const auto &duplicates = match->duplicateLocalIDs;
        if (mapped && *mapped != winner && duplicates.contains(*mapped) && storeHasReminder(*mapped)) {
            m_log.appendLog(SyncText::logDuplicateDetectedPrefix + serverID + SyncText::fieldKept + winner
                + SyncText::fieldDuplicateCopy + *mapped);
        }
        if (RemoteRecurringCompletionRules::isRemoteRecurringActiveCandidate(item) && !duplicates.isEmpty()) {
            co_await removeRecurringActiveDuplicates(
                serverID, winner, duplicates, protectedLocalReminderIDs, matchSession);
        }
        if (!mapped || *mapped != winner) {
            m_log.appendLog(SyncText::logMatchedExistingPrefix + serverID + SyncText::fieldLocalID + winner);
        }
        target = winner;
    } else if (const auto mappedState = mapped ? monitor.reminder(*mapped) : std::nullopt) {
        if (mappedState->isCompleted == item.is_completed) {
            target = mapped;
        } else if (!resolver.reminderHasRecurrence(*mapped)
            && !RecurringCompletionPredicates::remoteReminderHasRecurrence(item)) {
            m_log.appendLog(SyncText::logMappingCompletionChangedPrefix + serverID + SyncText::fieldMappedLocalID
                + *mapped + SyncText::logUpdatingOriginalSuffix);
            target = mapped;
        } else if (!resolver.reminderHasNewerLocalChanges(*mapped, item, localListID, listAsLastSynced)) {
            m_log.appendLog(SyncText::logMappingCompletionMismatchPrefix + serverID + SyncText::fieldMappedLocalID
                + *mapped + SyncText::logCreatingFreshSuffix);
            m_syncState.removeReminderMapping(serverID);
            m_localRemindersAwaitingUpload.insert(*mapped);
        } else {
            m_log.appendLog(SyncText::logSkippedStaleMappedPrefix + serverID + SyncText::fieldLocalID + *mapped
                + SyncText::fieldRemoteLastModified + lastModifiedText(item));
            co_return LocalReminderUpsertResult {*mapped, true};
        }
    } else if (const auto sameIDState = monitor.reminder(serverID)) {
        if (sameIDState->isCompleted == item.is_completed) {
            target = serverID;
        } else if (!resolver.reminderHasRecurrence(serverID)
            && !RecurringCompletionPredicates::remoteReminderHasRecurrence(item)) {
            m_log.appendLog(
                SyncText::logLocalIDCompletionChangedPrefix + serverID + SyncText::logUpdatingOriginalSuffix);
            target = serverID;
        }
    }

    bool needsFollowUp = true;
    bool created = !target;
    if (target) {
        if (resolver.reminderHasNewerLocalChanges(*target, item, localListID, listAsLastSynced && mapped == target)) {
            m_log.appendLog(SyncText::logSkippedStalePrefix + serverID + SyncText::fieldLocalID + *target
                + SyncText::fieldRemoteLastModified + lastModifiedText(item));
            co_return LocalReminderUpsertResult {*target, true};
        }
        needsFollowUp = false;
        if (remoteRecurringCompletion) {
            const auto next
                = co_await fenced(monitor.applyRemoteRecurringCompletionIfNeeded(remoteRecurringCompletion->activeItem,
                    remoteRecurringCompletion->completedOccurrence, *target, matchSession.get()));
            if (next) {
                m_log.appendLog(SyncText::logCompletionAppliedPrefix + serverID + SyncText::fieldCompletedServerID
                    + remoteRecurringCompletion->completedOccurrence.local_id + SyncText::fieldOldLocalID + *target
                    + SyncText::fieldNextLocalID + *next);
                refreshMatchSession(*matchSession, {*target, *next}, *m_reminderMonitor);
                target = next;
                needsFollowUp = true;
                created = true;
            }
        }
    }

    const QString written
        = co_await writeLocalReminder(std::move(item), target, localListID, protectedLocalReminderIDs, matchSession);
    refreshMatchSession(*matchSession, {written}, *m_reminderMonitor);
    co_return LocalReminderUpsertResult {written, needsFollowUp, created};
}

QCoro::Task<void> CloudApplyPhase::removeRecurringActiveDuplicates(QString serverID, QString winner,
    QStringList duplicates, QSet<QString> protectedLocalReminderIDs,
    std::shared_ptr<CloudReminderMatchSession> matchSession)
{
    for (const auto &duplicate : std::as_const(duplicates)) {
        if (!storeHasReminder(duplicate)) {
            continue;
        }
        // A reminder that another item of this envelope claims, or that another server item is
        // mapped to, is a reminder of its own and not a copy of this one.
        if (protectedLocalReminderIDs.contains(duplicate)) {
            continue;
        }
        const auto servers = m_syncState.reminderMappingIndex().serverIDs(duplicate);
        if (std::any_of(
                servers.cbegin(), servers.cend(), [&serverID](const QString &other) { return other != serverID; })) {
            continue;
        }
        co_await fenced(m_reminderMonitor->deleteReminder(duplicate, false));
        matchSession->remove(duplicate);
        m_log.appendLog(SyncText::logActiveDuplicateRemovedPrefix + serverID + SyncText::fieldKept + winner
            + SyncText::fieldRemoved + duplicate);
    }
}

QCoro::Task<QString> CloudApplyPhase::writeLocalReminder(ReminderPayload item, std::optional<QString> target,
    std::optional<QString> localListID, QSet<QString> protectedLocalReminderIDs,
    std::shared_ptr<CloudReminderMatchSession> matchSession)
{
    auto &monitor = *m_reminderMonitor;
    auto mutation = ReminderUpsertMutationPayload::fromReminder(item);
    mutation.local_id = target;
    mutation.list_id = localListID;

    const QString written = co_await fenced(monitor.updateReminderFields(mutation, false, true));

    if (!item.is_completed) {
        if (const auto state = monitor.reminder(written); state && state->isCompleted) {
            co_await fenced(monitor.setReminderCompletion(written, false, std::nullopt, false));
        }
    } else {
        const auto completedAt
            = item.completion_date ? DateFormatters::parseISO8601(*item.completion_date) : std::nullopt;
        co_await fenced(monitor.setReminderCompletion(written, true, completedAt, false));
        if (!RecurringCompletionPredicates::remoteReminderHasRecurrence(item)) {
            const auto removed = co_await fenced(
                monitor.removeLocalUncompletedDuplicates(item, written, protectedLocalReminderIDs, matchSession.get()));
            if (!removed.isEmpty()) {
                m_log.appendLog(SyncText::logCompletedRemovedDuplicatesPrefix + item.local_id + SyncText::fieldRemoved
                    + QString::number(removed.size()));
            }
        }
    }
    co_return written;
}

} // namespace quorvin
