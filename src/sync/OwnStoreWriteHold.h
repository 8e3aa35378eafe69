#pragma once

#include "matching/ReminderRefreshEvent.h"
#include "sync/OwnStoreWriter.h"

#include <QList>
#include <QSet>
#include <QString>

namespace quorvin {

class ActivityLog;
class CloudSyncState;

// While this machine writes to the store (an apply, an alignment, a duplicate removal, a
// cleanup), the refreshes that arrive are held; when the last writer is done, they are logged
// without the changes of the ids written, which are this machine's own.
class OwnStoreWriteHold : public OwnStoreWriter {
public:
    OwnStoreWriteHold(CloudSyncState &syncState, ActivityLog &activityLog);

    void beginOwnStoreWrites() override;
    void endOwnStoreWrites(const QSet<QString> &reminderIDs, const QSet<QString> &listIDs) override;
    // A refresh the monitor reported: held while a writer is at work, logged at once otherwise.
    void refreshArrived(const ReminderRefreshEvent &event);

private:
    void flushDeferredRefreshActivity();
    // Drops the reminders a change made here (not by the app) touched from the set of those the
    // last apply created.
    void forgetRemindersChangedHere(const ReminderRefreshEvent &event);

    CloudSyncState &m_syncState;
    ActivityLog &m_activityLog;
    int m_cloudPullActivityPending = 0;
    QList<ReminderRefreshEvent> m_deferredRefreshActivity;
    QSet<QString> m_ownWrittenReminderIDs;
    QSet<QString> m_ownWrittenListIDs;
};

} // namespace quorvin
