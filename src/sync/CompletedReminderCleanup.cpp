#include "sync/CompletedReminderCleanup.h"

#include "account/CloudAccount.h"
#include "activity/CompletedReminderCleanupSelection.h"
#include "activity/DiagnosticLog.h"
#include "activity/LocalCompletedRecord.h"
#include "cloud/CloudSyncClient.h"
#include "matching/CloudIDMappingIndex.h"
#include "matching/CloudSyncState.h"
#include "matching/SyncStateStore.h"
#include "platform/concurrency/Spawn.h"
#include "reminders/ReminderMonitor.h"
#include "sync/CloudSyncCarryOver.h"
#include "sync/OwnStoreWrites.h"
#include "sync/Strings.h"
#include "sync/SyncToolOwner.h"

#include <QPointer>

namespace quorvin {

namespace {

// A completed reminder the cloud has not seen yet is not surplus: it is missing from the cloud
// only because its upload is still waiting (a failing sync, a change the journal has not even
// read yet), and deleting it would lose it for good. Before the first upload that is every one.
QList<LocalCompletedRecord> withoutPendingUploads(QList<LocalCompletedRecord> records, const SyncStateStore &journal,
    const QString &pushCursor, const QSet<QString> &awaitingUpload)
{
    QSet<QString> uploaded;
    for (const auto &payload : journal.snapshotPayloads()) {
        uploaded.insert(payload->local_id);
    }
    const auto pending = journal.journalAnswer(pushCursor.isEmpty() ? std::nullopt : std::optional(pushCursor));
    for (const auto &item : pending.items) {
        uploaded.remove(item->local_id);
    }
    // A reminder the last apply unmapped waits in memory for a fresh upload: the cloud no longer
    // has it under any id, though the journal saw it long ago.
    records.removeIf([&](const LocalCompletedRecord &record) {
        return !uploaded.contains(record.localID) || awaitingUpload.contains(record.localID);
    });
    return records;
}

} // namespace

CompletedReminderCleanup::CompletedReminderCleanup(SyncToolOwner &owner, CloudAccount &account,
    CloudSyncState &syncState, SyncStateStore &stateStore, DiagnosticLog &log, const CloudSyncCarryOver &carryOver,
    QObject *parent)
    : QObject(parent)
    , m_owner(owner)
    , m_account(account)
    , m_syncState(syncState)
    , m_stateStore(stateStore)
    , m_log(log)
    , m_carryOver(carryOver)
{
}

void CompletedReminderCleanup::dryRunCompletedReminderCleanup()
{
    if (!m_owner.reminderMonitor()) {
        m_log.appendLog(SyncText::logCleanupDryRunNoMonitor);
        return;
    }
    const QString baseURL = m_owner.normalizedCloudBaseURL();
    if (baseURL.isEmpty()) {
        m_log.appendLog(SyncText::logCleanupDryRunNoBaseURL);
        return;
    }
    spawn(runCompletedCleanupDryRun(baseURL), SyncText::taskCleanupDryRun);
}

QCoro::Task<void> CompletedReminderCleanup::runCompletedCleanupDryRun(QString baseURL)
{
    QPointer<CompletedReminderCleanup> self(this);
    const QString token = m_account.currentToken();
    if (token.isEmpty()) {
        m_log.appendLog(SyncText::logCleanupDryRunNoToken);
        m_owner.markSyncFailure(SyncText::missingToken);
        co_return;
    }
    setIsCompletedCleanupRunning(true);
    publish(m_completedCleanupSummary, SyncText::cleanupChecking);

    std::optional<QString> failure;
    try {
        // The cloud's whole state, not a delta: the plan weighs every completed item it holds.
        const auto snapshot = co_await m_owner.makeClient(baseURL, token).sync(std::nullopt);
        if (!self) {
            co_return;
        }
        const auto raw = co_await m_owner.reminderMonitor()->fetchRawReminders();
        if (!self) {
            co_return;
        }
        const auto local = withoutPendingUploads(
            LocalCompletedRecord::fromReminders(
                raw, m_owner.reminderMonitor()->eventStore().lists(), m_owner.reminderMonitor()->calendar()),
            m_stateStore, m_syncState.cloudPushCursor(), m_carryOver.localRemindersAwaitingUpload);
        const auto plan = CompletedReminderCleanupSelection::completedReminderCleanupPlan(
            snapshot.items, m_syncState.reminderMappingIndex().serverToLocal(), local);

        QStringList ids;
        for (const auto &candidate : plan.candidates) {
            ids.append(candidate.localID);
        }
        m_completedCleanupCandidateIDs = ids;
        publish(m_completedCleanupCandidateCount, int(plan.candidates.size()));
        const QString summary = CompletedReminderCleanupSelection::completedReminderCleanupSummary(plan);
        publish(m_completedCleanupSummary, summary);
        m_log.appendLog(summary);
        for (const auto &line : CompletedReminderCleanupSelection::completedReminderCleanupDetailLines(plan)) {
            m_log.appendLog(line);
        }
        if (plan.remoteWithoutSourceOrMappingCount >= 1) {
            m_log.appendLog(
                SyncText::logCleanupWarningPrefix + QString::number(plan.remoteWithoutSourceOrMappingCount));
        }
        setIsCompletedCleanupRunning(false);
        co_return;
    } catch (const Error &error) {
        failure = error.description();
    }
    if (!self) {
        co_return;
    }
    m_completedCleanupCandidateIDs.clear();
    publish(m_completedCleanupCandidateCount, 0);
    publish(m_completedCleanupSummary, SyncText::cleanupDryRunFailedPrefix + *failure);
    m_log.appendLog(SyncText::logCleanupDryRunFailedPrefix + *failure);
    m_owner.markSyncFailure(SyncText::cleanupDryRunFailed);
    setIsCompletedCleanupRunning(false);
}

void CompletedReminderCleanup::deleteCompletedReminderCleanupCandidates()
{
    if (!m_owner.reminderMonitor()) {
        m_log.appendLog(SyncText::logCleanupDeleteNoMonitor);
        return;
    }
    if (m_completedCleanupCandidateIDs.isEmpty()) {
        m_log.appendLog(SyncText::logCleanupDeleteNoCandidates);
        return;
    }
    // One that has come to wait for an upload since the dry run is not surplus any more.
    QStringList ids = m_completedCleanupCandidateIDs;
    ids.removeIf([this](const QString &id) { return m_carryOver.localRemindersAwaitingUpload.contains(id); });
    spawn(runCompletedCleanupDelete(ids), SyncText::taskCleanupDelete);
}

QCoro::Task<void> CompletedReminderCleanup::runCompletedCleanupDelete(QStringList localIDs)
{
    QPointer<CompletedReminderCleanup> self(this);
    setIsCompletedCleanupRunning(true);
    publish(m_completedCleanupSummary,
        SyncText::cleanupDeletingPrefix + QString::number(localIDs.size()) + SyncText::cleanupDeletingSuffix);

    std::optional<QString> failure;
    try {
        // The deletions are the cleanup's own: its result says what they were.
        OwnStoreWrites ownWrites(m_owner);
        ownWrites.reminderIDs = QSet<QString>(localIDs.cbegin(), localIDs.cend());
        const int removed = co_await m_owner.reminderMonitor()->deleteCompletedCleanupCandidates(localIDs, true);
        if (!self) {
            co_return;
        }
        m_completedCleanupCandidateIDs.clear();
        publish(m_completedCleanupCandidateCount, 0);
        publish(m_completedCleanupSummary,
            SyncText::cleanupDeletedPrefix + QString::number(removed) + SyncText::cleanupDeletedSuffix);
        m_log.appendLog(SyncText::logCleanupDeletedPrefix + QString::number(removed));
        m_owner.markSyncSuccess(SyncText::cleanupDone);
        m_owner.scheduleCloudSync(SyncText::triggerCompletedCleanup, std::nullopt);
        setIsCompletedCleanupRunning(false);
        co_return;
    } catch (const Error &error) {
        failure = error.description();
    }
    if (!self) {
        co_return;
    }
    // The candidates stay, so the delete can be tried again.
    publish(m_completedCleanupSummary, SyncText::cleanupDeleteFailedPrefix + *failure);
    m_log.appendLog(SyncText::logCleanupDeleteFailedPrefix + *failure);
    m_owner.markSyncFailure(SyncText::cleanupDeleteFailed);
    setIsCompletedCleanupRunning(false);
}

void CompletedReminderCleanup::setIsCompletedCleanupRunning(bool value)
{
    publish(m_isCompletedCleanupRunning, value);
}

} // namespace quorvin
