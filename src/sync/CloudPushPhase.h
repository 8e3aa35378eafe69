#pragma once

#include "matching/CloudRemoteIdentities.h"
#include "model/ReminderListDirectoryPayload.h"
#include "model/ReminderPayload.h"
#include "model/ReminderUpsertMutationPayload.h"
#include "sync/CloudSyncPassPhase.h"
#include "sync/LocalRecurringCompletionUploadPair.h"

#include <QHash>
#include <QList>

namespace quorvin {

// The push of a sync pass: the local changes go up.
class CloudPushPhase : public CloudSyncPassPhase {
public:
    explicit CloudPushPhase(CloudSyncPassContext &context)
        : CloudSyncPassPhase(context)
    {
    }

    // The push, in this order: reminder deletes, list creates and updates, reminder upserts with
    // their completion state, list deletes. The push cursor moves only when all went through.
    QCoro::Task<void> pushLocalEnvelope(SyncResponseEnvelope envelope, CloudRemoteIdentities remote);

private:
    QCoro::Task<void> pushReminderDeletes(QList<QString> localIDs);
    QCoro::Task<void> pushListUpserts(QList<ReminderListDirectoryPayload> lists);
    QCoro::Task<void> pushReminderUpserts(QList<ReminderPayload> items, CloudRemoteIdentities remote);
    // Sends one upsert; a target the server no longer has is forgotten and the reminder uploaded as a
    // new item. Returns the server id that holds it.
    QCoro::Task<QString> upsertCloudReminder(ReminderUpsertMutationPayload body, QString localID);
    QCoro::Task<void> pushListDeletes(QList<QString> localIDs);
    QHash<QString, LocalRecurringCompletionUploadPair> localRecurringCompletionUploadPairs(
        const QList<ReminderPayload> &items) const;
};

} // namespace quorvin
