#pragma once

// CloudSyncPass: one sync pass, built by the service's runner for each pass. It holds the pass's
// context (the client, the fence epoch, the trigger, the count-verification request) and the
// components it works on, and runs the phases of the pass as its members.
//
// Every await of a phase goes through `fenced()`: it awaits, then checks that the owner is still
// there and that the sync state's epoch has not moved (sign-out, another account, a reset), and
// throws otherwise — so no phase applies a late answer to another account or to a cleared state.

#include "cloud/CloudSyncClient.h"
#include "matching/CloudRemoteIdentities.h"
#include "matching/ReminderPayloadRef.h"
#include "model/ReminderListDirectoryPayload.h"
#include "model/ReminderPayload.h"
#include "model/ReminderUpsertMutationPayload.h"
#include "model/SyncCountVerificationRequestSignal.h"
#include "model/SyncResponseEnvelope.h"
#include "sync/CloudEnvelopeApplication.h"
#include "sync/CloudSyncPassParts.h"
#include "sync/LocalRecurringCompletionUploadPair.h"
#include "sync/LocalReminderUpsertResult.h"
#include "sync/RemoteRecurringCompletionPair.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <qcoro/qcorotask.h>

#include <chrono>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

namespace quorvin {

class CloudReminderMatchSession;
class CloudSyncPassOwner;

class CloudSyncPass {
public:
    // `epoch`: the sync state's epoch when the runner decided on the pass; `request`: the
    // count-verification request the pass answers, if any.
    CloudSyncPass(const CloudSyncPassParts &parts, CloudSyncPassOwner &owner, CloudSyncClient client, quint64 epoch,
        QString trigger, std::optional<SyncCountVerificationRequestSignal> request);
    CloudSyncPass(const CloudSyncPass &) = delete;
    CloudSyncPass &operator=(const CloudSyncPass &) = delete;

    // The pass: the first pull, one of three paths, the tail, then the outcome.
    QCoro::Task<void> run();
    // Whether the pass took on a count-verification request (its own, or one that arrived while it
    // ran): a pass that fails or is fenced drops it, so the server may ask again.
    bool carriesCountVerificationRequest() const { return m_request.has_value(); }

private:
    // Awaits `task`; once it has answered, throws unless the pass may go on (see ensureCurrent).
    template <typename T> QCoro::Task<T> fenced(QCoro::Task<T> task)
    {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(task);
            ensureCurrent();
        } else {
            auto value = co_await std::move(task);
            ensureCurrent();
            co_return value;
        }
    }
    // Throws CancelledError when the owner is gone, SyncStateFencedError when the sync state was
    // cleared or the token changed since the pass began, and CancelledError once the owner is
    // stopping, so a pass never goes on past the first wait after a stop request. Called by hand
    // only where a phase handles an await's failure itself: the fence is checked once the failure
    // is judged, as after an answer.
    void ensureCurrent() const;
    // Long walks over cloud items (the apply, the due-date alignment) let other main-thread work run
    // before every twelfth item.
    static constexpr qsizetype itemsBetweenYields = 12;
    // An apply commits the store and saves its mappings at most this often.
    static constexpr std::chrono::milliseconds minimumCommitStretch {1000};
    // ... and never before the items written since took this many times the last commit.
    static constexpr int commitShareOfStretch = 20;
    // Store-wide work on fewer reminders than this stays on the main thread: handing it over
    // would cost more than it takes.
    static constexpr std::size_t copiedInPlace = 256;
    // Throws SettingsWriteError when the settings could not be written: a pass never reports
    // success, or goes on creating reminders, with its cursors or mappings not on disk.
    void ensureSettingsWritten() const;
    // Called by a push after each answer it recorded in the mappings: makes them durable.
    void noteMappingProgress();
    // Writes the mappings changed so far at once (right after a store commit that created a
    // reminder or list or moved a mapping), then ensureSettingsWritten().
    void saveMappingsNow();
    // The journal's changes since `cursor` (none: the whole snapshot), read at once; the copies of
    // a large answer's items are made on a worker thread.
    QCoro::Task<SyncResponseEnvelope> journalChanges(std::optional<QString> cursor);

    QCoro::Task<SyncResponseEnvelope> pullCloudEnvelope(std::optional<QString> cursor);
    QCoro::Task<QList<ReminderPayload>> pullAndApplySecondEnvelope();
    // Each path returns the items of its second pull.
    // `deletedWhileClosed`: see mappedRemindersDeletedWhileClosed().
    QCoro::Task<QList<ReminderPayload>> runRestartSyncPath(SyncResponseEnvelope first, QStringList deletedWhileClosed);
    QCoro::Task<QList<ReminderPayload>> runNormalSyncPath(SyncResponseEnvelope first);
    QCoro::Task<QList<ReminderPayload>> runFreshSyncPath(SyncResponseEnvelope first);
    // Surplus completed copies, due-date alignment, the closing re-reads; clears the rebase flag.
    QCoro::Task<void> finishCloudSyncPass(QList<QList<ReminderPayload>> remoteItems);
    // Another pass for changes made meanwhile, or success, or the answer to a count verification.
    QCoro::Task<void> reportCloudSyncOutcome();

    // The push, in this order: reminder deletes, list creates and updates, reminder upserts with
    // their completion state, list deletes. The push cursor moves only when all went through.
    QCoro::Task<void> pushLocalEnvelope(SyncResponseEnvelope envelope, CloudRemoteIdentities remote);

    QCoro::Task<void> pushReminderDeletes(QList<QString> localIDs);
    QCoro::Task<void> pushListUpserts(QList<ReminderListDirectoryPayload> lists);
    QCoro::Task<void> pushReminderUpserts(QList<ReminderPayload> items, CloudRemoteIdentities remote);
    // Sends one upsert; a target the server no longer has is forgotten and the reminder uploaded as a
    // new item. Returns the server id that holds it.
    QCoro::Task<QString> upsertCloudReminder(ReminderUpsertMutationPayload body, QString localID);
    QCoro::Task<void> pushListDeletes(QList<QString> localIDs);
    QHash<QString, LocalRecurringCompletionUploadPair> localRecurringCompletionUploadPairs(
        const QList<ReminderPayload> &items) const;

    // The first pass after a start, with a pull cursor stored: the changes since that cursor are
    // pulled before the full snapshot and their deletions applied, since a snapshot need not list
    // what the server deleted while the app was closed. Returns the answer instead when the server
    // gave a full snapshot.
    QCoro::Task<std::optional<SyncResponseEnvelope>> applyCloudDeletionsSinceLastRun();
    // The first pass after a start: a mapped reminder that is completed but still carries its
    // rules, while its series is open on the server, was completed from outside while the app was
    // not running. It is split as such a completion is while the app runs, so the series goes on.
    void splitRecurringCompletionsMadeWhileClosed(const QList<ReminderPayload> &remoteItems);
    // The first pass after a start, before it changes anything: a reminder that is mapped but gone
    // from the local store was deleted here while the app was closed. None is, when every mapped
    // reminder is gone: that is a lost or replaced database, which the server's copy restores.
    QStringList mappedRemindersDeletedWhileClosed();
    // Deletes the server items of those reminders that are still mapped, unless the reminder's
    // list is gone as well (see there). Returns the server ids deleted.
    QCoro::Task<QSet<QString>> pushDeletesMadeWhileClosed(
        QList<ReminderPayload> remoteItems, QStringList deletedWhileClosed);

    // Restart reconciliation.
    QCoro::Task<std::optional<SyncResponseEnvelope>> cloudRestartReconciliationEnvelope(
        QList<ReminderPayload> remoteItems, bool requiresFullSnapshotUpload);

    // The apply, in this order: deletes (reminders, then lists), lists, items. True when it
    // scheduled a follow-up pass for local changes it had to keep.
    QCoro::Task<bool> applyCloudEnvelope(SyncResponseEnvelope envelope, bool advanceLocalPushCursor);
    // The pull just applied was the one repeated for refused items: it is done with.
    void forgetRepeatedPull();
    std::shared_ptr<CloudEnvelopeApplication> prepareCloudEnvelopeApplication(SyncResponseEnvelope envelope);
    QCoro::Task<void> applyCloudDeletes(std::shared_ptr<CloudEnvelopeApplication> apply);
    QCoro::Task<void> applyCloudLists(std::shared_ptr<CloudEnvelopeApplication> apply);
    QCoro::Task<void> applyCloudItems(std::shared_ptr<CloudEnvelopeApplication> apply);
    QCoro::Task<void> applyCloudItem(std::shared_ptr<CloudEnvelopeApplication> apply, ReminderPayload item);

    // Recurring completions.
    QHash<QString, RemoteRecurringCompletionPair> remoteRecurringCompletionPairs(
        const QList<ReminderPayload> &items) const;
    QCoro::Task<std::optional<QString>> applyRemoteRecurringCompletionCommand(ReminderPayload item,
        std::optional<QString> localListID, std::shared_ptr<CloudReminderMatchSession> matchSession);
    // Both devices completed one occurrence and each uploaded its own completed copy; the local
    // copy now stands for both. Queues every copy but the smallest server id for deletion.
    void noteRedundantCompletedCopies(
        const QString &serverID, const QString &localID, const QList<ReminderPayload> &envelopeItems);
    QCoro::Task<void> deleteRedundantCompletedCopies();
    // Moves local series forward to the due dates of the pulled active series. `items` holds each
    // server item once, as last pulled; reminders in `pendingLocalIDs` carry a local change not yet
    // uploaded, which is newer than any pulled version, and are left as they are.
    QCoro::Task<QSet<QString>> alignLocalRecurringDueDates(QList<ReminderPayload> items, QSet<QString> pendingLocalIDs);

    // The local upsert: which local reminder a cloud item is, then the write.
    QCoro::Task<QString> ensureLocalListID(ReminderListDirectoryPayload list);
    QCoro::Task<LocalReminderUpsertResult> upsertLocalReminder(ReminderPayload item, std::optional<QString> localListID,
        std::optional<RemoteRecurringCompletionPair> remoteRecurringCompletion, QSet<QString> protectedLocalReminderIDs,
        std::shared_ptr<CloudReminderMatchSession> matchSession);
    QCoro::Task<void> removeRecurringActiveDuplicates(QString serverID, QString winner, QStringList duplicates,
        QSet<QString> protectedLocalReminderIDs, std::shared_ptr<CloudReminderMatchSession> matchSession);
    // Returns the local id written.
    QCoro::Task<QString> writeLocalReminder(ReminderPayload item, std::optional<QString> target,
        std::optional<QString> localListID, QSet<QString> protectedLocalReminderIDs,
        std::shared_ptr<CloudReminderMatchSession> matchSession);
    bool storeHasReminder(const QString &localID) const;

    // Echo keys of the recurring completions an apply is about to write (commands, completions
    // made on other devices, pairs).
    void rememberCloudRecurringCompletionCommands(const QList<ReminderPayload> &items);
    void rememberRemoteCloudCompletionOrigins(const QList<ReminderPayload> &items);
    void rememberCloudRecurringCompletionPairs(const QList<RemoteRecurringCompletionPair> &pairs);
    // The pull's activity entry: the journal before the apply against the journal now.
    // Comparing whole stores takes long with many reminders, so it runs away from the main thread;
    // the user's refreshes that arrive meanwhile are logged after it, against its echo keys.
    QCoro::Task<void> appendCloudPullActivityLog(bool fullSnapshot, std::vector<ReminderPayloadRef> beforeItems,
        QList<ReminderListDirectoryPayload> beforeLists, QSet<QString> writtenReminderIDs,
        QSet<QString> writtenListIDs);

    // The components.
    QPointer<QObject> m_lifetime;
    UserDefaults &m_defaults;
    Clock &m_clock;
    ReminderStore &m_store;
    DiagnosticLog &m_log;
    ActivityLog &m_activityLog;
    CloudSyncState &m_syncState;
    CloudAccount &m_account;
    SyncStateStore *m_stateStore;
    ReminderMonitor *m_reminderMonitor;
    std::optional<QString> &m_pullRetryCursor;
    QString &m_lastPullCursor;
    QSet<QString> &m_localRemindersAwaitingUpload;
    CloudSyncPassOwner &m_owner;

    // The context.
    CloudSyncClient m_client;
    quint64 m_epoch;
    QString m_trigger;
    std::optional<SyncCountVerificationRequestSignal> m_request;
};

} // namespace quorvin
