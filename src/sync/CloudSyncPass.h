#pragma once

// CloudSyncPass: one sync pass, built by the service's runner for each pass over a context the
// runner also builds. It runs the pulls, the path the state calls for, the restart
// reconciliation and the tail, with the push and the apply as phases over the same context.

#include "matching/ReminderPayloadRef.h"
#include "model/ReminderPayload.h"
#include "model/SyncResponseEnvelope.h"
#include "sync/CloudApplyPhase.h"
#include "sync/CloudPushPhase.h"
#include "sync/CloudSyncPassPhase.h"

#include <QList>
#include <QSet>
#include <QStringList>

#include <optional>

namespace quorvin {

class CloudSyncPass : public CloudSyncPassPhase {
public:
    explicit CloudSyncPass(CloudSyncPassContext &context);

    // The pass: the first pull, one of three paths, the tail, then the outcome.
    QCoro::Task<void> run();
    // Whether the pass took on a count-verification request (its own, or one that arrived while it
    // ran): a pass that fails or is fenced drops it, so the server may ask again.
    bool carriesCountVerificationRequest() const { return m_request.has_value(); }

private:
    // What the pass's end needs of one pull's items, in pull order: every item's server id, with
    // the item itself only when it is an active recurring series that may be aligned. A pull's
    // whole item list is let go once it is applied.
    struct PulledItem {
        QString localID;
        ReminderPayloadRef alignable;
    };
    using PulledItems = QList<PulledItem>;
    static PulledItems pulledItems(const QList<ReminderPayload> &items);

    QCoro::Task<SyncResponseEnvelope> pullCloudEnvelope(std::optional<QString> cursor);
    // The remote identity cache as it is now, its derived tables built away from the window's
    // thread.
    QCoro::Task<CloudRemoteIdentities> remoteIdentities();
    QCoro::Task<PulledItems> pullAndApplySecondEnvelope();
    // Each path returns the items of its second pull.
    // `deletedWhileClosed`: see mappedRemindersDeletedWhileClosed().
    QCoro::Task<PulledItems> runRestartSyncPath(SyncResponseEnvelope first, QStringList deletedWhileClosed);
    QCoro::Task<PulledItems> runNormalSyncPath(SyncResponseEnvelope first);
    QCoro::Task<PulledItems> runFreshSyncPath(SyncResponseEnvelope first);
    // Surplus completed copies, due-date alignment, the closing re-reads; clears the rebase flag.
    QCoro::Task<void> finishCloudSyncPass(QList<PulledItems> remoteItems);
    // Clears the rebase flag unless a rebase was asked for while the pass ran.
    void endRebase();
    // Another pass for changes made meanwhile, or success, or the answer to a count verification.
    QCoro::Task<void> reportCloudSyncOutcome();

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

    // Recurring completions the pass itself finishes.
    QCoro::Task<void> deleteRedundantCompletedCopies();
    // Moves local series forward to the due dates of the pulled active series. `items` holds each
    // server item once, as last pulled; reminders in `pendingLocalIDs` carry a local change not yet
    // uploaded, which is newer than any pulled version, and are left as they are.
    QCoro::Task<QSet<QString>> alignLocalRecurringDueDates(QList<ReminderPayload> items, QSet<QString> pendingLocalIDs);

    QString &m_trigger;
    std::optional<SyncCountVerificationRequestSignal> &m_request;
    // Whether the pass rebases (decided once, at its start), and the rebase requests made before
    // it started: one made while it runs is the next pass's.
    bool m_rebasing = false;
    quint64 m_rebaseRequestsAtStart = 0;
    CloudPushPhase m_push;
    CloudApplyPhase m_apply;
};

} // namespace quorvin
