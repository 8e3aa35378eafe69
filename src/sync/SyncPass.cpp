#include "sync/CloudSyncPass.h"

#include "account/CloudAccount.h"
#include "activity/ActivityLog.h"
#include "activity/DiagnosticLog.h"
#include "activity/ReminderCountSummaryText.h"
#include "activity/Strings.h"
#include "cloud/CloudSyncClient.h"
#include "matching/CloudPullUploadCheckpoint.h"
#include "matching/CloudSyncState.h"
#include "matching/SyncStateStore.h"
#include "platform/concurrency/BackgroundWork.h"
#include "platform/concurrency/Clock.h"
#include "platform/defaults/UserDefaults.h"
#include "reminders/ReminderMonitor.h"
#include "reminders/Strings.h"
#include "sync/CloudSyncPassOwner.h"
#include "sync/OwnStoreWrites.h"
#include "sync/RemoteRecurringCompletionRules.h"
#include "sync/SettingsWriteError.h"
#include "sync/Strings.h"
#include "sync/SyncStateFencedError.h"

#include <QPointer>

#include <algorithm>

namespace quorvin {

namespace {
std::optional<QString> cursorOrNone(const QString &cursor)
{
    if (cursor.isEmpty()) {
        return std::nullopt;
    }
    return cursor;
}
} // namespace

CloudSyncPass::CloudSyncPass(CloudSyncPassContext &context)
    : CloudSyncPassPhase(context)
    , m_trigger(context.trigger)
    , m_request(context.request)
    , m_push(context)
    , m_apply(context)
{
}

QCoro::Task<SyncResponseEnvelope> CloudSyncPass::pullCloudEnvelope(std::optional<QString> cursor)
{
    m_lastPullCursor = cursor.value_or(QString());
    auto envelope = co_await fenced(m_client.sync(cursor));
    // A small answer is folded in place, at the cost of what it holds. A full snapshot rebuilds the
    // whole cache, and a large answer changes much of it: those are folded on a worker, into
    // copies of its tables. Nothing else changes the cache while the pass waits, and a sign-out
    // meanwhile fences the result.
    static constexpr qsizetype foldedInPlace = 1000;
    if (!envelope.full_snapshot && envelope.items.size() + envelope.deleted_ids.size() < foldedInPlace) {
        m_syncState.updateRemoteIdentityCache(envelope);
        co_return envelope;
    }
    // The worker holds the envelope too, so that a pass ended meanwhile frees nothing it reads.
    struct Fold {
        CloudSyncState::RemoteIdentityTables tables;
        SyncResponseEnvelope envelope;
        bool changed = false;
    };
    auto fold = std::make_shared<Fold>(Fold {m_syncState.remoteIdentityTables(), std::move(envelope)});
    std::function<void()> work
        = [fold] { fold->changed = CloudSyncState::foldIntoRemoteIdentityTables(fold->tables, fold->envelope); };
    co_await fenced(m_clock.runOffMainThread(std::move(work)));
    m_syncState.adoptRemoteIdentityTables(fold->tables, fold->changed);
    releaseOffMainThread(std::move(fold->tables));
    co_return std::move(fold->envelope);
}

QCoro::Task<CloudRemoteIdentities> CloudSyncPass::remoteIdentities()
{
    // The worker reads shared copies of the two tables: a change made meanwhile detaches from them.
    auto built = std::make_shared<CloudRemoteIdentities>();
    std::function<void()> build = [built, sourceIdentities = m_syncState.cachedRemoteSourceIdentityByServerID(),
                                      serverIDs = m_syncState.cachedRemoteServerIDs()] {
        *built = CloudSyncState::remoteIdentitiesOf(sourceIdentities, serverIDs);
    };
    co_await fenced(m_clock.runOffMainThread(std::move(build)));
    co_return std::move(*built);
}

CloudSyncPass::PulledItems CloudSyncPass::pulledItems(const QList<ReminderPayload> &items)
{
    PulledItems pulled;
    pulled.reserve(items.size());
    for (const auto &item : items) {
        pulled.append({item.local_id,
            RemoteRecurringCompletionRules::isRemoteRecurringActiveCandidate(item)
                ? std::make_shared<const ReminderPayload>(item)
                : nullptr});
    }
    return pulled;
}

QCoro::Task<CloudSyncPass::PulledItems> CloudSyncPass::pullAndApplySecondEnvelope()
{
    auto second = co_await pullCloudEnvelope(cursorOrNone(m_syncState.cloudPullCursor()));
    auto pulled = pulledItems(second.items);
    const QString nextCursor = second.next_cursor;
    co_await fenced(m_apply.applyCloudEnvelope(std::move(second), true, true));
    m_syncState.saveCloudPullCursor(nextCursor);
    co_await settingsWritten();
    co_return pulled;
}

QCoro::Task<void> CloudSyncPass::run()
{
    m_log.appendLog(SyncText::logPassStartPrefix + m_trigger + SyncText::logPassStartBaseURL + m_client.baseURL());
    const auto localCount = m_stateStore->reminderCount();
    m_syncState.forgetRemoteListMoves();
    // A commit that failed may have been written all the same: a reminder of it found now is the
    // pulled item it was written for, never a new one to upload.
    m_syncState.resolveTentativeMappings(
        [this](const QString &localID) { return m_apply.storeHasReminder(localID); }, true);

    m_rebasing = m_syncState.cloudPushCursorNeedsRebase();
    m_rebaseRequestsAtStart = m_syncState.rebaseRequests();
    // First pull: incremental only from a cache written by a pull, and never when a rebase is due.
    const bool incremental = !m_rebasing
        && (!m_syncState.cloudPullCursor().isEmpty() || !m_syncState.cloudPushCursor().isEmpty())
        && m_syncState.remoteIdentityCacheVersion() == 1;
    // A conditional expression inside a co_await destroys its temporary twice with this compiler.
    std::optional<QString> firstCursor;
    // A pull to repeat for items the store refused starts where that pull started; a pass that
    // pulls everything brings them anyway. The apply of the repeated pull lets it go.
    if (incremental) {
        firstCursor = cursorOrNone(m_pullRetryCursor.value_or(m_syncState.cloudPullCursor()));
    } else {
        m_pullRetryCursor.reset();
    }
    QStringList deletedWhileClosed;
    if (m_rebasing) {
        deletedWhileClosed = mappedRemindersDeletedWhileClosed();
    }
    std::optional<SyncResponseEnvelope> snapshot;
    if (m_rebasing && !m_syncState.cloudPullCursor().isEmpty() && m_syncState.remoteIdentityCacheVersion() == 1) {
        snapshot = co_await applyCloudDeletionsSinceLastRun();
    }
    if (!snapshot) {
        snapshot = co_await pullCloudEnvelope(firstCursor);
    }
    SyncResponseEnvelope first = std::move(*snapshot);
    snapshot.reset();

    const bool serverEmpty = first.full_snapshot && first.items.isEmpty() && first.lists.isEmpty();
    if (serverEmpty && localCount > 0) {
        if (m_syncState.holdsState()) {
            m_syncState.clearCloudSyncState(SyncText::clearEmptyServer);
            // The pass cleared the state itself and goes on from the cleared state.
            m_epoch = m_syncState.syncStateEpoch();
        }
        m_log.appendLog(SyncText::logBootstrapPrefix + QString::number(localCount) + SyncText::logBootstrapSuffix);
    }

    // The pulls' items in pull order, as the pass's end needs them; the paths own the pulled
    // envelope and let it go once applied.
    QList<PulledItems> remoteItems {pulledItems(first.items)};
    if (!serverEmpty && m_rebasing && m_syncState.holdsState()) {
        remoteItems.append(co_await runRestartSyncPath(std::move(first), std::move(deletedWhileClosed)));
    } else if (!m_syncState.cloudPullCursor().isEmpty() || !m_syncState.cloudPushCursor().isEmpty()) {
        remoteItems.append(co_await runNormalSyncPath(std::move(first)));
    } else {
        remoteItems.append(co_await runFreshSyncPath(std::move(first)));
    }

    co_await finishCloudSyncPass(remoteItems);

    // Reports its own failures and never fails the pass; a 401 it meets ends the session, and
    // with it this pass.
    co_await fenced(m_account.refreshCloudProfile(m_trigger + SyncText::triggerProfileSuffix, false));

    co_await reportCloudSyncOutcome();
}

QCoro::Task<CloudSyncPass::PulledItems> CloudSyncPass::runRestartSyncPath(
    SyncResponseEnvelope first, QStringList deletedWhileClosed)
{
    // The first pass after a launch, or after a change of token or user, while state is held: the
    // full snapshot is applied without moving the push cursor, then the reconciliation decides what
    // to upload.
    splitRecurringCompletionsMadeWhileClosed(first.items);
    const auto deletedHere = co_await pushDeletesMadeWhileClosed(first.items, deletedWhileClosed);
    if (!deletedHere.isEmpty()) {
        first.items.removeIf([&](const ReminderPayload &item) { return deletedHere.contains(item.local_id); });
    }
    m_log.appendLog(SyncText::logRestartApply);
    const bool keptLocalChanges = co_await fenced(m_apply.applyCloudEnvelope(first, false, true));
    m_syncState.saveCloudPullCursor(first.next_cursor);
    co_await settingsWritten();
    auto reconciled = co_await fenced(cloudRestartReconciliationEnvelope(first.items, keptLocalChanges));
    // The snapshot is applied and reconciled: nothing below reads it. A payload of every server
    // item, freed where the window does not wait for it.
    releaseOffMainThread(std::exchange(first, SyncResponseEnvelope()));
    if (!reconciled) {
        co_return PulledItems();
    }
    if (keptLocalChanges) {
        m_log.appendLog(SyncText::logRestartFullUpload);
    } else {
        m_log.appendLog(SyncText::logRestartUploadPrefix + QString::number(reconciled->items.size())
            + SyncText::logRestartUploadSuffix);
    }
    // Handed over, so that the upload's copies are gone before the second pull comes in.
    auto remote = co_await remoteIdentities();
    co_await m_push.pushLocalEnvelope(std::move(*reconciled), std::move(remote));
    reconciled.reset();
    co_return co_await pullAndApplySecondEnvelope();
}

QCoro::Task<std::optional<SyncResponseEnvelope>> CloudSyncPass::applyCloudDeletionsSinceLastRun()
{
    const std::optional<QString> cursor = m_syncState.cloudPullCursor();
    auto since = co_await pullCloudEnvelope(cursor);
    if (since.full_snapshot) {
        co_return since;
    }
    // Only the deletions: the full snapshot that follows brings every item as it is now. The pull
    // cursor stays where it was until that snapshot is applied.
    SyncResponseEnvelope deletions;
    deletions.deleted_ids = std::move(since.deleted_ids);
    deletions.deleted_list_ids = std::move(since.deleted_list_ids);
    deletions.next_cursor = since.next_cursor;
    if (!deletions.deleted_ids.isEmpty() || !deletions.deleted_list_ids.isEmpty()) {
        m_log.appendLog(SyncText::logRestartDeletionsPrefix + QString::number(deletions.deleted_ids.size())
            + SyncText::logRestartDeletionsLists + QString::number(deletions.deleted_list_ids.size()));
        co_await fenced(m_apply.applyCloudEnvelope(deletions, false));
    }
    co_return std::nullopt;
}

QCoro::Task<CloudSyncPass::PulledItems> CloudSyncPass::runNormalSyncPath(SyncResponseEnvelope first)
{
    // A cursor is held: the local changes since the push cursor go up before the pulled ones come down.
    // Each envelope is handed over to the step that uses it, so none outlives its step.
    {
        auto local = co_await journalChanges(cursorOrNone(m_syncState.cloudPushCursor()));
        auto remote = co_await remoteIdentities();
        co_await m_push.pushLocalEnvelope(std::move(local), std::move(remote));
    }
    const QString nextCursor = first.next_cursor;
    co_await fenced(m_apply.applyCloudEnvelope(std::move(first), true, true));
    m_syncState.saveCloudPullCursor(nextCursor);
    co_await settingsWritten();
    co_return co_await pullAndApplySecondEnvelope();
}

QCoro::Task<CloudSyncPass::PulledItems> CloudSyncPass::runFreshSyncPath(SyncResponseEnvelope first)
{
    // No cursor at all: the server's reminders come down first, then the whole local snapshot goes up.
    // Each envelope is handed over to the step that uses it, so none outlives its step.
    const QString nextCursor = first.next_cursor;
    co_await fenced(m_apply.applyCloudEnvelope(std::move(first), true, true));
    m_syncState.saveCloudPullCursor(nextCursor);
    co_await settingsWritten();
    {
        auto local = co_await journalChanges(std::nullopt);
        auto remote = co_await remoteIdentities();
        co_await m_push.pushLocalEnvelope(std::move(local), std::move(remote));
    }
    co_return co_await pullAndApplySecondEnvelope();
}

void CloudSyncPass::endRebase()
{
    if (m_syncState.rebaseRequests() != m_rebaseRequestsAtStart) {
        return;
    }
    m_syncState.setCloudPushCursorNeedsRebase(false);
    if (m_rebasing) {
        // The full snapshot is applied: what the database lost is back under new ids, or the
        // service no longer has it.
        m_syncState.forgetRestoredRemindersLostByDatabase();
    }
}

QCoro::Task<void> CloudSyncPass::finishCloudSyncPass(QList<PulledItems> remoteItems)
{
    co_await fenced(deleteRedundantCompletedCopies());
    // Ids and cursors only: read from the journal's shared payloads, never copied.
    const auto pending = m_stateStore->journalAnswer(cursorOrNone(m_syncState.cloudPushCursor()));
    const CloudPullUploadCheckpoint checkpoint(pending);
    QSet<QString> pendingLocalIDs;
    for (const auto &item : pending.items) {
        pendingLocalIDs.insert(item->local_id);
    }
    // An item pulled twice in the pass counts as last pulled: the first pull may predate this
    // pass's own upload of it, and aligning to that older version would undo the upload here.
    // Only active recurring items can be aligned; copying every other one stalled the window.
    QList<ReminderPayload> latest;
    QSet<QString> seen;
    for (auto pull = remoteItems.crbegin(); pull != remoteItems.crend(); ++pull) {
        for (auto it = pull->crbegin(); it != pull->crend(); ++it) {
            if (!seen.contains(it->localID)) {
                seen.insert(it->localID);
                if (it->alignable) {
                    latest.append(*it->alignable);
                }
            }
        }
    }
    std::reverse(latest.begin(), latest.end());
    OwnStoreWrites ownWrites(m_owner);
    const auto aligned = co_await alignLocalRecurringDueDates(latest, pendingLocalIDs);
    ownWrites.reminderIDs = aligned;
    ensureCurrent();
    if (aligned.isEmpty()) {
        endRebase();
        co_await fenced(m_reminderMonitor->refresh(RemindersText::reasonCloudPull));
        co_return;
    }
    co_await fenced(m_reminderMonitor->refresh(RemindersText::reasonCloudPull));
    // The alignment's own writes need no upload: the push cursor moves past them.
    const auto observed = m_stateStore->journalAnswer(cursorOrNone(checkpoint.cursor()));
    if (!checkpoint.requiresLocalUpload(observed, aligned, {})) {
        m_syncState.saveCloudPushCursor(observed.envelope.next_cursor);
    }
    m_log.appendLog(SyncText::logAlignedPrefix + QString::number(aligned.size()));
    endRebase();
    co_await fenced(m_reminderMonitor->refresh(RemindersText::reasonCloudPull));
}

QCoro::Task<void> CloudSyncPass::reportCloudSyncOutcome()
{
    if (auto arrived = m_owner.takeCountVerificationRequest()) {
        m_request = std::move(arrived);
    }
    const auto effectiveRequest = m_request;
    // Whatever the outcome, it must not read as success while the pass's state is not on disk.
    co_await settingsWritten();

    const auto pending = m_stateStore->journalAnswer(cursorOrNone(m_syncState.cloudPushCursor()));
    if (pending.holdsChanges()) {
        m_owner.scheduleCloudSyncAfterPass(SyncText::triggerLocalChangesDuringSync, effectiveRequest);
        m_log.appendLog(SyncText::logLocalChangesDuringSync + m_syncState.cloudPushCursor());
        co_return;
    }

    const auto completionLine = SyncText::logPassDonePrefix + m_trigger + SyncText::logPassDonePushCursor
        + m_syncState.cloudPushCursor() + SyncText::logPassDonePullCursor + m_syncState.cloudPullCursor();
    if (!effectiveRequest) {
        m_owner.markSyncSuccess(SyncText::syncDone);
        m_log.appendLog(completionLine);
        co_return;
    }

    const auto counts = quorvinReminderCountSummary(m_stateStore->currentSnapshot().items);
    const auto answer = co_await fenced(
        m_client.reportSyncCounts(effectiveRequest->request_id, m_syncState.cloudPullCursor(), counts));
    co_await settingsWritten();
    if (answer.state == SyncText::countStateMismatched) {
        const auto text = SyncText::countMismatchPrefix + quorvinReminderCountSummaryText(answer.server_counts)
            + SyncText::countMismatchMiddle + quorvinReminderCountSummaryText(counts);
        m_owner.markSyncFailure(text);
        m_owner.reportFailureLine(SyncText::logCountMismatchPrefix + m_trigger + SyncText::logCountMismatchText + text);
        m_activityLog.appendActivityLog(ActivityText::categorySync, ActivityText::summarySyncFailed, {text});
    } else if (answer.state == SyncText::countStateMatched) {
        m_owner.markSyncSuccess(SyncText::syncDoneCountsMatched);
        m_log.appendLog(completionLine);
    } else {
        m_owner.forgetObservedCountVerificationRequest();
        m_owner.markSyncSuccess(SyncText::syncDoneCountsRetry);
        m_log.appendLog(completionLine);
    }
}

} // namespace quorvin
