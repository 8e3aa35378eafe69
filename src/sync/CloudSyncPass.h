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
#include "model/ReminderListDirectoryPayload.h"
#include "model/ReminderPayload.h"
#include "model/ReminderUpsertMutationPayload.h"
#include "model/SyncCountVerificationRequestSignal.h"
#include "model/SyncResponseEnvelope.h"
#include "sync/CloudSyncPassParts.h"
#include "sync/LocalRecurringCompletionUploadPair.h"

#include <QHash>
#include <QList>
#include <QString>
#include <qcoro/qcorotask.h>

#include <optional>
#include <type_traits>

namespace quorvin {

class CloudSyncPassOwner;

class CloudSyncPass {
public:
    CloudSyncPass(const CloudSyncPassParts &parts, CloudSyncPassOwner &owner, CloudSyncClient client, quint64 epoch);
    CloudSyncPass(const CloudSyncPass &) = delete;
    CloudSyncPass &operator=(const CloudSyncPass &) = delete;

    // The push, in this order: reminder deletes, list creates and updates, reminder upserts with
    // their completion state, list deletes. The push cursor moves only when all went through.
    QCoro::Task<void> pushLocalEnvelope(SyncResponseEnvelope envelope, CloudRemoteIdentities remote);

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
    // stopping, so a pass never goes on past the first wait after a stop request.
    void ensureCurrent() const;
    // Called by a push after each answer it recorded in the mappings: makes them durable.
    void noteMappingProgress();

    QCoro::Task<void> pushReminderDeletes(QList<QString> localIDs);
    QCoro::Task<void> pushListUpserts(QList<ReminderListDirectoryPayload> lists);
    QCoro::Task<void> pushReminderUpserts(QList<ReminderPayload> items, CloudRemoteIdentities remote);
    // Sends one upsert; a target the server no longer has is forgotten and the reminder uploaded as a
    // new item. Returns the server id that holds it.
    QCoro::Task<QString> upsertCloudReminder(ReminderUpsertMutationPayload body, QString localID);
    QCoro::Task<void> pushListDeletes(QList<QString> localIDs);
    QHash<QString, LocalRecurringCompletionUploadPair> localRecurringCompletionUploadPairs(
        const QList<ReminderPayload> &items) const;

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
};

} // namespace quorvin
