#pragma once

#include "matching/ReminderPayloadRef.h"
#include "model/ReminderListDirectoryPayload.h"
#include "model/ReminderPayload.h"
#include "sync/CloudEnvelopeApplication.h"
#include "sync/CloudSyncPassPhase.h"
#include "sync/LocalReminderUpsertResult.h"
#include "sync/RemoteRecurringCompletionPair.h"

#include <QHash>
#include <QList>
#include <QStringList>

#include <memory>
#include <vector>

namespace quorvin {

class CloudReminderMatchSession;

// The apply of a sync pass: a pulled answer comes down into the store, each item matched to its
// local reminder, with the echo keys and the activity entry of what it wrote.
class CloudApplyPhase : public CloudSyncPassPhase {
public:
    explicit CloudApplyPhase(CloudSyncPassContext &context)
        : CloudSyncPassPhase(context)
    {
    }

    // The apply, in this order: deletes (reminders, then lists), lists, items. True when it
    // scheduled a follow-up pass for local changes it had to keep. With advancePullCursor the
    // envelope's cursor is saved once what it brought is applied.
    QCoro::Task<bool> applyCloudEnvelope(
        SyncResponseEnvelope envelope, bool advanceLocalPushCursor, bool advancePullCursor = false);
    bool storeHasReminder(const QString &localID) const;

private:
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
};

} // namespace quorvin
