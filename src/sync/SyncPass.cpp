#include "sync/QuorvinMacService.h"

#include "activity/ReminderCountSummaryText.h"
#include "activity/Strings.h"
#include "cloud/CloudSyncClient.h"
#include "matching/CloudPullUploadCheckpoint.h"
#include "matching/SyncStateStore.h"
#include "platform/concurrency/Clock.h"
#include "platform/defaults/UserDefaults.h"
#include "reminders/ReminderMonitor.h"
#include "reminders/Strings.h"
#include "sync/RemoteRecurringCompletionRules.h"
#include "sync/SettingsWriteError.h"
#include "sync/Strings.h"
#include "sync/SyncStateFencedError.h"

#include <QPointer>

#include <algorithm>

namespace quorvin {

namespace {
bool hasChanges(const SyncResponseEnvelope &envelope)
{
    return !envelope.items.isEmpty() || !envelope.deleted_ids.isEmpty() || !envelope.lists.isEmpty()
        || !envelope.deleted_list_ids.isEmpty();
}

std::optional<QString> cursorOrNone(const QString &cursor)
{
    if (cursor.isEmpty()) {
        return std::nullopt;
    }
    return cursor;
}

QString errorDescription(const std::exception &error)
{
    if (const auto *known = dynamic_cast<const Error *>(&error)) {
        return known->description();
    }
    return QString::fromUtf8(error.what());
}
} // namespace

CloudSyncClient QuorvinMacService::makeClient(const QString &baseURL, const QString &token) const
{
    CloudSyncClient client(m_http, baseURL, token, m_clock);
    // Destroying the service ends its requests instead of leaving them to resume into nothing.
    client.setCancelToken(m_lifetime.token());
    return client;
}

void QuorvinMacService::ensureSyncStateEpoch(quint64 epoch) const
{
    if (epoch != m_syncState.syncStateEpoch()) {
        throw SyncStateFencedError();
    }
    if (m_stopping) {
        throw CancelledError();
    }
}

void QuorvinMacService::ensureSettingsWritten() const
{
    if (const auto failure = m_defaults.writeFailure()) {
        throw SettingsWriteError(*failure);
    }
}

void QuorvinMacService::noteMappingProgress()
{
    // Each answer's mapping is made durable as it comes (a journal line); the settings themselves
    // are rewritten every 200 changes or once a second, so a long push costs linear time and a
    // kill between two answers loses no mapping of the first.
    m_syncState.flushCloudMappings();
}

void QuorvinMacService::saveMappingsNow()
{
    m_syncState.flushCloudMappings();
    ensureSettingsWritten();
}

QCoro::Task<SyncResponseEnvelope> QuorvinMacService::journalChanges(std::optional<QString> cursor, quint64 epoch)
{
    auto answer = std::make_shared<SyncStateStore::JournalAnswer>(m_stateStore->journalAnswer(cursor));
    if (answer->items.size() <= copiedInPlace) {
        co_return SyncStateStore::envelopeOf(std::move(*answer));
    }
    auto envelope = std::make_shared<SyncResponseEnvelope>();
    std::function<void()> build = [answer, envelope] { *envelope = SyncStateStore::envelopeOf(std::move(*answer)); };
    co_await m_clock.runOffMainThread(std::move(build));
    ensureSyncStateEpoch(epoch);
    co_return std::move(*envelope);
}

void QuorvinMacService::reportFailureLine(const QString &line)
{
    m_log.appendLog(line);
    Q_EMIT syncFailureReported(line);
}

QCoro::Task<SyncResponseEnvelope> QuorvinMacService::pullCloudEnvelope(
    CloudSyncClient client, std::optional<QString> cursor, quint64 epoch)
{
    m_lastPullCursor = cursor.value_or(QString());
    auto envelope = co_await client.sync(cursor);
    ensureSyncStateEpoch(epoch);
    m_syncState.updateRemoteIdentityCache(envelope);
    co_return envelope;
}

QCoro::Task<QList<ReminderPayload>> QuorvinMacService::pullAndApplySecondEnvelope(CloudSyncClient client, quint64 epoch)
{
    const auto second = co_await pullCloudEnvelope(client, cursorOrNone(m_syncState.cloudPullCursor()), epoch);
    co_await applyCloudEnvelope(second, true, epoch);
    ensureSyncStateEpoch(epoch);
    m_syncState.saveCloudPullCursor(second.next_cursor);
    ensureSettingsWritten();
    co_return second.items;
}

QCoro::Task<void> QuorvinMacService::runCloudSync(
    QString trigger, std::optional<SyncCountVerificationRequestSignal> request)
{
    // A failed monitor start keeps sync off for good.
    if (!m_isRunning || !m_reminderMonitor) {
        co_return;
    }
    const auto baseURL = normalizedCloudBaseURL();
    if (baseURL.isEmpty()) {
        co_return;
    }
    const auto token = CloudAccount::normalizeCloudAuthTokenValue(m_account.cloudAuthToken());
    if (token.isEmpty()) {
        recordCloudSyncPauseIfNeeded(
            SyncText::pauseMissingTokenReason, SyncText::missingToken, SyncText::pauseMissingTokenLog);
        co_return;
    }
    m_lastLoggedCloudSyncPauseReason.reset();
    markSyncInProgress();
    // A pass with nothing to write would otherwise report the reason of a write that failed
    // before the disk was freed.
    m_defaults.retryFailedWrite();
    const auto epoch = m_syncState.syncStateEpoch();
    QPointer<QuorvinMacService> self(this);
    co_await m_clock.yield();
    if (!self) {
        co_return;
    }

    // Whether this pass carries a count-verification request; the tail may take a stored one.
    auto passRequest = std::make_shared<std::optional<SyncCountVerificationRequestSignal>>(request);
    std::exception_ptr failure;
    try {
        co_await runCloudSyncSteps(trigger, request, baseURL, token, epoch, passRequest);
    } catch (const SyncStateFencedError &) {
        // The account or the sync state changed under the pass: whatever it would still write
        // belongs to a state that no longer exists, a count verification the server asked for
        // included. It is dropped like after a failure, so the server may ask again.
        if (self) {
            if (passRequest->has_value()) {
                m_observedCountVerificationRequestID.clear();
                m_cloudCountVerificationRequest.reset();
            }
            m_log.appendLog(SyncText::logPassFencedPrefix + trigger + SyncText::logPassFencedSuffix);
        }
        co_return;
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self) {
        co_return;
    }
    if (!failure) {
        m_lastCloudSyncPassOutcome = CloudSyncPassOutcome::Succeeded;
        co_return;
    }
    if (m_stopping) {
        // Stopped for a quit at a safe point (or its request cancelled): nothing failed, and the
        // next start takes over from what is saved.
        m_log.appendLog(SyncText::logPassStoppedPrefix + trigger + SyncText::logPassStoppedSuffix);
        co_return;
    }

    if (passRequest->has_value()) {
        m_observedCountVerificationRequestID.clear();
        m_cloudCountVerificationRequest.reset();
    }
    // The pass's token is no longer the account's (signed out, or another account signed in while
    // a request waited): its failure, a late 401 above all, speaks of a session that is already
    // over and must not end the one that replaced it.
    if (CloudAccount::normalizeCloudAuthTokenValue(m_account.cloudAuthToken()) != token) {
        m_log.appendLog(SyncText::logPassFencedPrefix + trigger + SyncText::logPassFencedSuffix);
        co_return;
    }
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception &error) {
        const auto description = errorDescription(error);
        const auto line = SyncText::logPassFailedPrefix + trigger + SyncText::logPassFailedDescription + description;
        if (m_account.handleCloudAccessFailure(error, trigger)) {
            Q_EMIT syncFailureReported(line);
            co_return;
        }
        m_lastCloudSyncPassOutcome = CloudSyncPassOutcome::Failed;
        markSyncFailure(SyncText::syncFailed);
        reportFailureLine(line);
        m_activityLog.appendActivityLog(ActivityText::categorySync, ActivityText::summarySyncFailed, {description});
    }
}

QCoro::Task<void> QuorvinMacService::runCloudSyncSteps(QString trigger,
    std::optional<SyncCountVerificationRequestSignal> request, QString baseURL, QString token, quint64 epoch,
    std::shared_ptr<std::optional<SyncCountVerificationRequestSignal>> passRequest)
{
    m_log.appendLog(SyncText::logPassStartPrefix + trigger + SyncText::logPassStartBaseURL + baseURL);
    auto client = makeClient(baseURL, token);
    const auto localCount = m_stateStore->reminderCount();
    m_syncState.forgetRemoteListMoves();
    // A commit that failed may have been written all the same: a reminder of it found now is the
    // pulled item it was written for, never a new one to upload.
    m_syncState.resolveTentativeMappings([this](const QString &localID) { return storeHasReminder(localID); }, true);

    // First pull: incremental only from a cache written by a pull, and never when a rebase is due.
    const bool incremental = !m_syncState.cloudPushCursorNeedsRebase()
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
    if (m_syncState.cloudPushCursorNeedsRebase()) {
        deletedWhileClosed = mappedRemindersDeletedWhileClosed();
    }
    std::optional<SyncResponseEnvelope> snapshot;
    if (m_syncState.cloudPushCursorNeedsRebase() && !m_syncState.cloudPullCursor().isEmpty()
        && m_syncState.remoteIdentityCacheVersion() == 1) {
        snapshot = co_await applyCloudDeletionsSinceLastRun(client, epoch);
    }
    if (!snapshot) {
        snapshot = co_await pullCloudEnvelope(client, firstCursor, epoch);
    }
    const SyncResponseEnvelope first = std::move(*snapshot);

    const bool serverEmpty = first.full_snapshot && first.items.isEmpty() && first.lists.isEmpty();
    if (serverEmpty && localCount > 0) {
        if (m_syncState.holdsState()) {
            m_syncState.clearCloudSyncState(SyncText::clearEmptyServer);
            // The pass cleared the state itself and goes on from the cleared state.
            epoch = m_syncState.syncStateEpoch();
        }
        m_log.appendLog(SyncText::logBootstrapPrefix + QString::number(localCount) + SyncText::logBootstrapSuffix);
    }

    // The pulls' items in pull order, each list shared rather than copied into one.
    QList<QList<ReminderPayload>> remoteItems {first.items};
    if (!serverEmpty && m_syncState.cloudPushCursorNeedsRebase() && m_syncState.holdsState()) {
        remoteItems.append(co_await runRestartSyncPath(first, deletedWhileClosed, client, epoch));
    } else if (!m_syncState.cloudPullCursor().isEmpty() || !m_syncState.cloudPushCursor().isEmpty()) {
        remoteItems.append(co_await runNormalSyncPath(first, client, epoch));
    } else {
        remoteItems.append(co_await runFreshSyncPath(first, client, epoch));
    }

    co_await finishCloudSyncPass(remoteItems, client, epoch);

    // Reports its own failures and never fails the pass; a 401 it meets ends the session, and
    // with it this pass.
    co_await m_account.refreshCloudProfile(trigger + SyncText::triggerProfileSuffix, false);
    ensureSyncStateEpoch(epoch);

    co_await reportCloudSyncOutcome(trigger, request, client, epoch, passRequest);
}

QCoro::Task<QList<ReminderPayload>> QuorvinMacService::runRestartSyncPath(
    SyncResponseEnvelope first, QStringList deletedWhileClosed, CloudSyncClient client, quint64 epoch)
{
    // The first pass after a launch, or after a change of token or user, while state is held: the
    // full snapshot is applied without moving the push cursor, then the reconciliation decides what
    // to upload.
    splitRecurringCompletionsMadeWhileClosed(first.items);
    const auto deletedHere = co_await pushDeletesMadeWhileClosed(first.items, deletedWhileClosed, client, epoch);
    if (!deletedHere.isEmpty()) {
        first.items.removeIf([&](const ReminderPayload &item) { return deletedHere.contains(item.local_id); });
    }
    m_log.appendLog(SyncText::logRestartApply);
    const bool keptLocalChanges = co_await applyCloudEnvelope(first, false, epoch);
    ensureSyncStateEpoch(epoch);
    m_syncState.saveCloudPullCursor(first.next_cursor);
    ensureSettingsWritten();
    const auto reconciled = co_await cloudRestartReconciliationEnvelope(first.items, keptLocalChanges, epoch);
    ensureSyncStateEpoch(epoch);
    if (!reconciled) {
        co_return QList<ReminderPayload>();
    }
    if (keptLocalChanges) {
        m_log.appendLog(SyncText::logRestartFullUpload);
    } else {
        m_log.appendLog(SyncText::logRestartUploadPrefix + QString::number(reconciled->items.size())
            + SyncText::logRestartUploadSuffix);
    }
    co_await pushLocalEnvelope(*reconciled, client, m_syncState.remoteIdentities(), epoch);
    co_return co_await pullAndApplySecondEnvelope(client, epoch);
}

QCoro::Task<std::optional<SyncResponseEnvelope>> QuorvinMacService::applyCloudDeletionsSinceLastRun(
    CloudSyncClient client, quint64 epoch)
{
    const std::optional<QString> cursor = m_syncState.cloudPullCursor();
    auto since = co_await pullCloudEnvelope(client, cursor, epoch);
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
        co_await applyCloudEnvelope(deletions, false, epoch);
        ensureSyncStateEpoch(epoch);
    }
    co_return std::nullopt;
}

QCoro::Task<QList<ReminderPayload>> QuorvinMacService::runNormalSyncPath(
    SyncResponseEnvelope first, CloudSyncClient client, quint64 epoch)
{
    // A cursor is held: the local changes since the push cursor go up before the pulled ones come down.
    const auto local = co_await journalChanges(cursorOrNone(m_syncState.cloudPushCursor()), epoch);
    co_await pushLocalEnvelope(local, client, m_syncState.remoteIdentities(), epoch);
    co_await applyCloudEnvelope(first, true, epoch);
    ensureSyncStateEpoch(epoch);
    m_syncState.saveCloudPullCursor(first.next_cursor);
    ensureSettingsWritten();
    co_return co_await pullAndApplySecondEnvelope(client, epoch);
}

QCoro::Task<QList<ReminderPayload>> QuorvinMacService::runFreshSyncPath(
    SyncResponseEnvelope first, CloudSyncClient client, quint64 epoch)
{
    // No cursor at all: the server's reminders come down first, then the whole local snapshot goes up.
    co_await applyCloudEnvelope(first, true, epoch);
    ensureSyncStateEpoch(epoch);
    m_syncState.saveCloudPullCursor(first.next_cursor);
    ensureSettingsWritten();
    const auto local = co_await journalChanges(std::nullopt, epoch);
    co_await pushLocalEnvelope(local, client, m_syncState.remoteIdentities(), epoch);
    co_return co_await pullAndApplySecondEnvelope(client, epoch);
}

QCoro::Task<void> QuorvinMacService::finishCloudSyncPass(
    QList<QList<ReminderPayload>> remoteItems, CloudSyncClient client, quint64 epoch)
{
    co_await deleteRedundantCompletedCopies(client, epoch);
    ensureSyncStateEpoch(epoch);
    const auto pending = co_await journalChanges(cursorOrNone(m_syncState.cloudPushCursor()), epoch);
    const CloudPullUploadCheckpoint checkpoint(pending);
    QSet<QString> pendingLocalIDs;
    for (const auto &item : pending.items) {
        pendingLocalIDs.insert(item.local_id);
    }
    // An item pulled twice in the pass counts as last pulled: the first pull may predate this
    // pass's own upload of it, and aligning to that older version would undo the upload here.
    // Only active recurring items can be aligned; copying every other one stalled the window.
    QList<ReminderPayload> latest;
    QSet<QString> seen;
    for (auto pull = remoteItems.crbegin(); pull != remoteItems.crend(); ++pull) {
        for (auto it = pull->crbegin(); it != pull->crend(); ++it) {
            if (!seen.contains(it->local_id)) {
                seen.insert(it->local_id);
                if (RemoteRecurringCompletionRules::isRemoteRecurringActiveCandidate(*it)) {
                    latest.append(*it);
                }
            }
        }
    }
    std::reverse(latest.begin(), latest.end());
    OwnStoreWrites ownWrites(*this);
    const auto aligned = co_await alignLocalRecurringDueDates(latest, pendingLocalIDs, epoch);
    ownWrites.reminderIDs = aligned;
    ensureSyncStateEpoch(epoch);
    if (aligned.isEmpty()) {
        m_syncState.setCloudPushCursorNeedsRebase(false);
        co_await m_reminderMonitor->refresh(RemindersText::reasonCloudPull);
        ensureSyncStateEpoch(epoch);
        co_return;
    }
    co_await m_reminderMonitor->refresh(RemindersText::reasonCloudPull);
    ensureSyncStateEpoch(epoch);
    // The alignment's own writes need no upload: the push cursor moves past them.
    const auto observed = co_await journalChanges(cursorOrNone(checkpoint.cursor()), epoch);
    if (!checkpoint.requiresLocalUpload(observed, aligned, {})) {
        m_syncState.saveCloudPushCursor(observed.next_cursor);
    }
    m_log.appendLog(SyncText::logAlignedPrefix + QString::number(aligned.size()));
    m_syncState.setCloudPushCursorNeedsRebase(false);
    co_await m_reminderMonitor->refresh(RemindersText::reasonCloudPull);
    ensureSyncStateEpoch(epoch);
}

QCoro::Task<void> QuorvinMacService::reportCloudSyncOutcome(QString trigger,
    std::optional<SyncCountVerificationRequestSignal> request, CloudSyncClient client, quint64 epoch,
    std::shared_ptr<std::optional<SyncCountVerificationRequestSignal>> passRequest)
{
    std::optional<SyncCountVerificationRequestSignal> effectiveRequest = request;
    if (m_cloudCountVerificationRequest) {
        effectiveRequest = m_cloudCountVerificationRequest;
        m_cloudCountVerificationRequest.reset();
    }
    *passRequest = effectiveRequest;
    // Whatever the outcome, it must not read as success while the pass's state is not on disk.
    ensureSettingsWritten();

    const auto pending = m_stateStore->syncResponse(cursorOrNone(m_syncState.cloudPushCursor()));
    if (hasChanges(pending)) {
        scheduleCloudSync(SyncText::triggerLocalChangesDuringSync, effectiveRequest);
        m_cloudSyncPending = true;
        m_log.appendLog(SyncText::logLocalChangesDuringSync + m_syncState.cloudPushCursor());
        co_return;
    }

    const auto completionLine = SyncText::logPassDonePrefix + trigger + SyncText::logPassDonePushCursor
        + m_syncState.cloudPushCursor() + SyncText::logPassDonePullCursor + m_syncState.cloudPullCursor();
    if (!effectiveRequest) {
        markSyncSuccess(SyncText::syncDone);
        m_log.appendLog(completionLine);
        co_return;
    }

    const auto counts = quorvinReminderCountSummary(m_stateStore->currentSnapshot().items);
    const auto answer
        = co_await client.reportSyncCounts(effectiveRequest->request_id, m_syncState.cloudPullCursor(), counts);
    ensureSyncStateEpoch(epoch);
    ensureSettingsWritten();
    if (answer.state == SyncText::countStateMismatched) {
        const auto text = SyncText::countMismatchPrefix + quorvinReminderCountSummaryText(answer.server_counts)
            + SyncText::countMismatchMiddle + quorvinReminderCountSummaryText(counts);
        markSyncFailure(text);
        reportFailureLine(SyncText::logCountMismatchPrefix + trigger + SyncText::logCountMismatchText + text);
        m_activityLog.appendActivityLog(ActivityText::categorySync, ActivityText::summarySyncFailed, {text});
    } else if (answer.state == SyncText::countStateMatched) {
        markSyncSuccess(SyncText::syncDoneCountsMatched);
        m_log.appendLog(completionLine);
    } else {
        m_observedCountVerificationRequestID.clear();
        markSyncSuccess(SyncText::syncDoneCountsRetry);
        m_log.appendLog(completionLine);
    }
}

} // namespace quorvin
