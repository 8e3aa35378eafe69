#include "sync/CloudApplyPhase.h"

#include "activity/DiagnosticLog.h"
#include "matching/CloudIDMappingIndex.h"
#include "matching/CloudPullUploadCheckpoint.h"
#include "matching/CloudReminderMatchSession.h"
#include "matching/CloudSyncState.h"
#include "matching/MatchText.h"
#include "matching/SyncStateStore.h"
#include "platform/concurrency/BackgroundWork.h"
#include "platform/concurrency/Clock.h"
#include "reminders/ReminderMonitor.h"
#include "reminders/Strings.h"
#include "sync/CloudSyncPassOwner.h"
#include "sync/RemoteRecurringCompletionRules.h"
#include "sync/Strings.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace quorvin {

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
    return index.localID(*serverID);
}

// The local reminders the items name as their source or are mapped to: reminders of their own,
// which no other item's clean-up of duplicates may remove.
QSet<QString> claimedLocalReminderIDs(const QList<ReminderPayload> &items, const QHash<QString, QString> &serverToLocal)
{
    QSet<QString> claimed;
    for (const auto &item : items) {
        if (const auto source = MatchText::trimmed(item.source_item_id); !source.isEmpty()) {
            claimed.insert(source);
        }
        if (const auto mapped = serverToLocal.constFind(item.local_id); mapped != serverToLocal.cend()) {
            claimed.insert(*mapped);
        }
    }
    return claimed;
}

QStringList sortedUnique(const QList<QString> &ids)
{
    QStringList result(ids.cbegin(), ids.cend());
    std::sort(result.begin(), result.end());
    result.erase(std::unique(result.begin(), result.end()), result.end());
    return result;
}
} // namespace

void CloudApplyPhase::forgetRepeatedPull()
{
    if (m_pullRetryCursor && *m_pullRetryCursor == m_lastPullCursor) {
        m_pullRetryCursor.reset();
    }
}

QCoro::Task<bool> CloudApplyPhase::applyCloudEnvelope(
    SyncResponseEnvelope envelope, bool advanceLocalPushCursor, bool advancePullCursor)
{
    // Nothing to write: skip building the match session over the whole local snapshot.
    if (envelope.items.isEmpty() && envelope.deleted_ids.isEmpty() && envelope.deleted_list_ids.isEmpty()
        && envelope.lists.isEmpty()) {
        forgetRepeatedPull();
        co_return false;
    }
    auto batch = m_syncState.beginCloudMappingMutationBatch();
    // A local change whose debounce has not fired yet is invisible to the journal; matching against
    // that stale view would pair a cloud item with a reminder that was just changed here (a series
    // completed on both sides at once ended up open twice). Read the store first.
    co_await fenced(m_reminderMonitor->refresh(RemindersText::reasonCloudPull));
    // Only the journal's ids and cursor are read, from its answer's shared payloads: an envelope of
    // copies of the whole store before a first upload is megabytes at the apply's peak.
    const CloudPullUploadCheckpoint checkpoint(
        m_stateStore->journalAnswer(cursorOrNone(m_syncState.cloudPushCursor())));
    // What the activity entry compares the apply's outcome with; shared references, so an apply
    // that ends up writing nothing has copied nothing.
    const auto beforeItems = m_stateStore->snapshotPayloads();
    const auto beforeLists = m_stateStore->listDirectory();
    const auto apply = prepareCloudEnvelopeApplication(std::move(envelope));
    // Indexing every local reminder, and finding the reminders every item claims, are the apply's
    // store-wide steps; for a large store or envelope they are made on a worker thread, from the
    // shared payloads of the snapshot just taken and a shared copy of the mappings.
    std::function<void()> index = [apply, beforeItems, mappings = m_syncState.reminderMappingIndex().serverToLocal()] {
        apply->session = std::make_shared<CloudReminderMatchSession>(beforeItems);
        apply->protectedLocalReminderIDs = claimedLocalReminderIDs(apply->envelope.items, mappings);
        apply->cloudReminderIDs = apply->protectedLocalReminderIDs;
    };
    co_await runStoreWide(std::max(beforeItems.size(), std::size_t(apply->envelope.items.size())), std::move(index));
    // From the first write to the pull's entry, a refresh that reads the store (however long a
    // write takes) is held and logged after the entry, without what the apply wrote.
    struct OwnWrites {
        CloudSyncPassOwner &service;
        const CloudEnvelopeApplication &apply;
        OwnWrites(CloudSyncPassOwner &owner, const CloudEnvelopeApplication &application)
            : service(owner)
            , apply(application)
        {
            service.beginOwnStoreWrites();
        }
        ~OwnWrites() { service.endOwnStoreWrites(apply.cloudReminderIDs, apply.cloudListIDs); }
        OwnWrites(const OwnWrites &) = delete;
        OwnWrites &operator=(const OwnWrites &) = delete;
    };
    const OwnWrites ownWrites(m_owner, *apply);

    co_await applyCloudDeletes(apply);
    co_await applyCloudLists(apply);
    co_await applyCloudItems(apply);

    if (!apply->envelope.items.isEmpty()) {
        const auto &session = *apply->session;
        m_log.appendLog(SyncText::logMatchIndexPrefix + QString::number(session.index().size())
            + SyncText::logMatchIndexCandidates + QString::number(session.index().metrics().returnedCandidateCount)
            + SyncText::logMatchIndexFullComparisons + QString::number(session.fullComparisonCount()));
    }
    // Nothing below reads the pulled items or the match session, which hold a payload of every
    // item and of every local reminder: they go before the refresh maps the whole store again.
    releaseOffMainThread(std::make_pair(std::exchange(apply->envelope.items, {}), std::exchange(apply->session, {})));
    if (!apply->wrote) {
        co_return false;
    }

    co_await fenced(m_reminderMonitor->refresh(RemindersText::reasonCloudPull));
    co_await fenced(appendCloudPullActivityLog(
        apply->envelope.full_snapshot, beforeItems, beforeLists, apply->cloudReminderIDs, apply->cloudListIDs));
    // The entry and the journal's answer below each go over every item the apply wrote; the window
    // gets its turn between the two. A refresh meanwhile is held until the apply's writes end.
    co_await fenced(m_clock.yield());
    const auto observed = m_stateStore->journalAnswer(cursorOrNone(checkpoint.cursor()));
    const bool keepsLocalChanges = apply->followUp
        || (advanceLocalPushCursor
            && checkpoint.requiresLocalUpload(observed, apply->cloudReminderIDs, apply->cloudListIDs));
    // Each of these rewrites the whole settings file, megabytes with a large store: the cursors
    // ride in the mappings' fold. The pull cursor is then durable together with the mappings of
    // the items it covers, whose reminders are committed by now, and never before them.
    batch.close([&] {
        if (advanceLocalPushCursor && !keepsLocalChanges) {
            m_syncState.saveCloudPushCursor(observed.envelope.next_cursor);
        }
        if (advancePullCursor && m_epoch == m_syncState.syncStateEpoch()) {
            m_syncState.saveCloudPullCursor(apply->envelope.next_cursor);
        }
    });
    if (!keepsLocalChanges) {
        co_return false;
    }
    const auto &pushCursor = m_syncState.cloudPushCursor();
    m_log.appendLog(SyncText::logPullPreservedPrefix + (pushCursor.isEmpty() ? SyncText::valueEmpty : pushCursor)
        + SyncText::logPullPreservedSuffix);
    m_owner.scheduleCloudSync(SyncText::triggerPullFollowUp, std::nullopt);
    co_return true;
}

std::shared_ptr<CloudEnvelopeApplication> CloudApplyPhase::prepareCloudEnvelopeApplication(
    SyncResponseEnvelope envelope)
{
    // Its tables and payload copies grow with the store and the envelope; freeing them is left to
    // a worker thread so the window does not wait for it. It holds plain values only.
    std::shared_ptr<CloudEnvelopeApplication> apply(new CloudEnvelopeApplication,
        [](const CloudEnvelopeApplication *done) { startInBackground([done] { delete done; }); });
    apply->envelope = std::move(envelope);
    const auto &items = apply->envelope.items;
    // Before anything is written, so that the local changes these writes cause are known as echoes.
    rememberCloudRecurringCompletionCommands(items);
    rememberRemoteCloudCompletionOrigins(items);
    apply->pairs = remoteRecurringCompletionPairs(items);
    rememberCloudRecurringCompletionPairs(apply->pairs.values());
    for (const auto &pair : std::as_const(apply->pairs)) {
        apply->pairCompletedIDs.insert(pair.completedOccurrence.local_id);
    }
    const auto &deletedIDs = apply->envelope.deleted_ids;
    apply->deletedReminderIDs = QSet<QString>(deletedIDs.cbegin(), deletedIDs.cend());
    const auto &deletedListIDs = apply->envelope.deleted_list_ids;
    apply->deletedListIDs = QSet<QString>(deletedListIDs.cbegin(), deletedListIDs.cend());
    return apply;
}

QCoro::Task<void> CloudApplyPhase::applyCloudDeletes(std::shared_ptr<CloudEnvelopeApplication> apply)
{
    // Reminders first, then lists, each in the order of their server ids. A delete that fails here
    // still drops the mapping: the server item is gone either way. A list the store cannot remove
    // (a database's built-in one) is no failed delete: it stays with its reminders and their links.
    const auto &store = m_reminderMonitor->eventStore();
    QSet<QString> keptLists;
    for (const auto &serverID : apply->envelope.deleted_list_ids) {
        if (const auto localID = m_syncState.listMappingIndex().localID(serverID);
            localID && !store.canRemoveList(*localID)) {
            keptLists.insert(*localID);
        }
    }
    for (const auto &serverID : sortedUnique(apply->envelope.deleted_ids)) {
        const auto localID = m_syncState.reminderMappingIndex().localID(serverID);
        if (!localID) {
            continue;
        }
        if (const auto reminder = store.reminder(*localID); reminder && keptLists.contains(reminder->listId)) {
            m_log.appendLog(SyncText::logReminderDeleteSkippedPrefix + serverID + SyncText::reasonSeparator
                + SyncText::reasonListKeptByStore);
            continue;
        }
        apply->cloudReminderIDs.insert(*localID);
        std::optional<QString> failure;
        try {
            co_await m_reminderMonitor->deleteReminder(*localID, false);
        } catch (const Error &error) {
            failure = error.description();
        }
        ensureCurrent();
        if (failure) {
            m_log.appendLog(SyncText::logReminderDeleteSkippedPrefix + serverID + SyncText::reasonSeparator + *failure);
        } else {
            apply->session->remove(*localID);
            apply->wrote = true;
        }
        m_syncState.removeReminderMapping(serverID);
    }
    for (const auto &serverID : sortedUnique(apply->envelope.deleted_list_ids)) {
        const auto localID = m_syncState.listMappingIndex().localID(serverID);
        if (!localID) {
            continue;
        }
        apply->cloudListIDs.insert(*localID);
        if (keptLists.contains(*localID)) {
            m_log.appendLog(SyncText::logListDeleteSkippedPrefix + serverID + SyncText::reasonSeparator
                + SyncText::reasonListKeptByStore);
            continue;
        }
        std::optional<QString> failure;
        try {
            co_await m_reminderMonitor->deleteList(*localID, false);
        } catch (const Error &error) {
            failure = error.description();
        }
        ensureCurrent();
        if (failure) {
            m_log.appendLog(SyncText::logListDeleteSkippedPrefix + serverID + SyncText::reasonSeparator + *failure);
        } else {
            apply->session->removeAll(*localID);
            apply->wrote = true;
        }
        m_syncState.removeListMapping(serverID);
    }
}

QCoro::Task<void> CloudApplyPhase::applyCloudLists(std::shared_ptr<CloudEnvelopeApplication> apply)
{
    for (const auto &list : std::as_const(apply->envelope.lists)) {
        if (apply->deletedListIDs.contains(list.list_id)) {
            continue;
        }
        const auto localListID = co_await fenced(ensureLocalListID(list));
        // A list just created or found here is committed already; its mapping follows at once.
        saveMappingsNow();
        apply->cloudListIDs.insert(localListID);
        apply->wrote = true;
    }
}

QCoro::Task<void> CloudApplyPhase::applyCloudItems(std::shared_ptr<CloudEnvelopeApplication> apply)
{
    // The active sides of recurring completion pairs go first.
    const auto &items = apply->envelope.items;
    QList<const ReminderPayload *> ordered;
    ordered.reserve(items.size());
    for (const auto &item : items) {
        if (apply->pairs.contains(item.local_id)) {
            ordered.append(&item);
        }
    }
    for (const auto &item : items) {
        if (!apply->pairs.contains(item.local_id)) {
            ordered.append(&item);
        }
    }
    // A first pull of tens of thousands of items would otherwise stop every time the tables that
    // hold the new reminders double, all of them at the same count.
    static constexpr std::size_t reservedFrom = 1000;
    std::size_t unmapped = 0;
    for (const auto &item : items) {
        unmapped += m_syncState.reminderMappingIndex().localID(item.local_id) ? 0 : 1;
    }
    if (unmapped >= reservedFrom) {
        m_reminderMonitor->eventStore().reserveReminders(unmapped);
        apply->session->index().reserve(apply->session->index().size() + qsizetype(unmapped));
    }

    // The items are written in stretches of at least a second each, the stretch's writes staged
    // in a write group that stays open across the yields and committed together at its end, and
    // the mappings the stretch made saved right after that commit. Rewriting the whole reminders
    // file and the settings every few items made a large pull quadratic; once a second keeps the
    // bytes written within a few times the final files. Mappings are never saved while their
    // reminders are only staged, so a kill at any moment leaves every saved mapping naming a
    // committed reminder, at worst a committed reminder without its mapping, which the restart
    // repairs. A stretch whose writes are dropped (a write or its commit failed, an outside change
    // of the store came between) takes the mappings it made along: a mapping must never name a
    // reminder that was never committed, since at the next start such a reminder counts as deleted
    // here and its server item would be deleted.
    // However the walk ends, by an error or by its frame going away at a quit, an open stretch is
    // dropped together with its mappings.
    struct Stretch {
        CloudSyncState &state;
        std::optional<ReminderMonitor::WriteGroup> group;
        CloudSyncState::MappingCheckpoint checkpoint;
        std::chrono::milliseconds start;
        // How long this stretch runs at least: a second, or many times what the last commit took,
        // so that the files grow by a share of their size between two commits and the bytes
        // written stay within a few times the final files however slowly the items go.
        std::chrono::milliseconds length = minimumCommitStretch;
        void drop()
        {
            if (group) {
                group.reset();
                state.restoreMappingCheckpoint(checkpoint);
            }
        }
        ~Stretch() { drop(); }
    } stretch {m_syncState, std::nullopt, m_syncState.mappingCheckpoint(), m_clock.monotonicNow()};
    // The store's commit and the saving of the stretch's mappings are each a whole-file write:
    // the walk yields between the two, so the window waits for one of them at a time. A kill in
    // between leaves committed reminders without their mappings, which the restart repairs.
    std::chrono::milliseconds commitTook {0};
    auto commitStretch = [&] {
        stretch.start = m_clock.monotonicNow();
        commitTook = std::chrono::milliseconds {0};
        if (!stretch.group) {
            return false;
        }
        m_syncState.journalUncommittedMappings();
        stretch.group->commit();
        stretch.group.reset();
        // A reminder the store refused keeps its committed copy and the rest went through. A
        // refused new one does not exist: its mapping goes, and its item comes again with the
        // next pass's pull.
        const auto &store = m_reminderMonitor->eventStore();
        for (const auto &localID : store.refusedByLastCommit()) {
            const auto serverIDs = m_syncState.reminderMappingIndex().serverIDs(localID);
            const bool exists = store.reminder(localID).has_value();
            for (const auto &serverID : serverIDs) {
                apply->refusedServerIDs.insert(serverID);
                m_log.appendLog(SyncText::logReminderRefusedPrefix + serverID + SyncText::fieldLocalID + localID
                    + SyncText::logReminderRefusedSuffix);
                if (!exists) {
                    m_syncState.removeReminderMapping(serverID);
                }
            }
        }
        stretch.checkpoint = m_syncState.mappingCheckpoint();
        commitTook = m_clock.monotonicNow() - stretch.start;
        return true;
    };
    auto saveStretchMappings = [&] {
        const auto start = m_clock.monotonicNow();
        saveMappingsNow();
        const auto took = commitTook + (m_clock.monotonicNow() - start);
        stretch.length = std::max(minimumCommitStretch, commitShareOfStretch * took);
        stretch.start = m_clock.monotonicNow();
    };
    std::exception_ptr failure;
    try {
        for (qsizetype position = 0; position < ordered.size(); ++position) {
            // The envelope's items stay put until the apply is over: each is copied once, into the
            // step that writes it.
            const ReminderPayload &item = *ordered.at(position);
            if (apply->deletedReminderIDs.contains(item.local_id)) {
                continue;
            }
            if (position > 0 && position % itemsBetweenYields == 0) {
                co_await fenced(m_clock.yield());
                if (m_clock.monotonicNow() - stretch.start >= stretch.length && commitStretch()) {
                    co_await fenced(m_clock.yield());
                    saveStretchMappings();
                    co_await fenced(m_clock.yield());
                }
            }
            if (!stretch.group) {
                stretch.group.emplace(m_reminderMonitor->groupWrites());
            }
            apply->wrote = true;
            co_await applyCloudItem(apply, item);
        }
        if (commitStretch()) {
            co_await fenced(m_clock.yield());
            saveStretchMappings();
        }
    } catch (...) {
        failure = std::current_exception();
        stretch.drop();
    }
    // Kept beside the mappings, for the next start to tell a database's lost writes from deletions.
    // A dropped stretch's reminders may be in it: being unmapped, they are never looked up.
    if (m_epoch == m_syncState.syncStateEpoch()) {
        m_syncState.noteRemindersCreatedByApply(apply->createdReminderIDs);
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    for (const auto &serverID : std::as_const(apply->followUpServerIDs)) {
        apply->followUp = apply->followUp || !apply->refusedServerIDs.contains(serverID);
    }
    // The pull that brought a refused item is made again by the next pass, not by a follow-up
    // of this one: while the store keeps refusing, that would pull and refuse without end.
    forgetRepeatedPull();
    if (!apply->refusedServerIDs.isEmpty() && !m_pullRetryCursor) {
        m_pullRetryCursor = m_lastPullCursor.isEmpty() ? m_syncState.cloudPullCursor() : m_lastPullCursor;
        if (m_pullRetryCursor->isEmpty()) {
            m_pullRetryCursor.reset();
        }
    }
}

QCoro::Task<void> CloudApplyPhase::applyCloudItem(std::shared_ptr<CloudEnvelopeApplication> apply, ReminderPayload item)
{
    const auto serverID = item.local_id;
    const auto localListID = mappedLocalID(m_syncState.listMappingIndex(), item.list_id);
    auto &session = *apply->session;

    if (RemoteRecurringCompletionRules::isRemoteRecurringCompletionCommand(item)) {
        const auto mapped = m_syncState.reminderMappingIndex().localID(serverID);
        const bool heldHere = mapped && storeHasReminder(*mapped);
        const auto result = co_await fenced(applyRemoteRecurringCompletionCommand(item, localListID, apply->session));
        if (result) {
            m_syncState.mapCloudReminder(serverID, *result, *m_reminderMonitor);
            apply->cloudReminderIDs.insert(*result);
            QStringList touched;
            if (mapped) {
                touched.append(*mapped);
            }
            touched.append(*result);
            refreshMatchSession(session, touched, *m_reminderMonitor);
        }
        // A command for a series this machine holds nothing of (made and completed on another
        // device between two pulls) had nothing to complete: it is written as the item it is,
        // or it would never show up here.
        if (result || heldHere) {
            apply->followUpServerIDs.insert(serverID);
            co_return;
        }
    }

    if (apply->pairCompletedIDs.contains(serverID)) {
        const auto dedupe
            = co_await fenced(m_reminderMonitor->removeLocalCompletedOccurrences(item, std::nullopt, true, &session));
        if (dedupe.keptLocalID) {
            const auto &kept = *dedupe.keptLocalID;
            m_syncState.mapCloudReminder(serverID, kept, *m_reminderMonitor);
            noteRedundantCompletedCopies(serverID, kept, apply->envelope.items);
            apply->cloudReminderIDs.insert(kept);
            for (const auto &removed : dedupe.removedLocalIDs) {
                apply->cloudReminderIDs.insert(removed);
            }
            refreshMatchSession(session, {kept}, *m_reminderMonitor);
            if (!dedupe.removedLocalIDs.isEmpty()) {
                m_log.appendLog(SyncText::logCompletedOccurrenceDedupedPrefix + serverID + SyncText::fieldKept + kept
                    + SyncText::fieldRemoved + QString::number(dedupe.removedLocalIDs.size()));
            } else {
                m_log.appendLog(
                    SyncText::logCompletedOccurrenceConsumedPrefix + serverID + SyncText::fieldLocalID + kept);
            }
            co_return;
        }
    }

    std::optional<RemoteRecurringCompletionPair> pair;
    if (const auto it = apply->pairs.constFind(serverID); it != apply->pairs.cend()) {
        pair = *it;
    }
    const auto mappedBefore = m_syncState.reminderMappingIndex().localID(serverID);
    const auto result = co_await fenced(
        upsertLocalReminder(std::move(item), localListID, pair, apply->protectedLocalReminderIDs, apply->session));
    m_syncState.mapCloudReminder(serverID, result.localID, *m_reminderMonitor, mappedBefore);
    apply->cloudReminderIDs.insert(result.localID);
    if (result.created) {
        apply->createdReminderIDs.insert(result.localID);
    }
    if (result.needsFollowUp) {
        apply->followUpServerIDs.insert(serverID);
    }
}

} // namespace quorvin
