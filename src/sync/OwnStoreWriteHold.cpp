#include "sync/OwnStoreWriteHold.h"

#include "activity/ActivityLog.h"
#include "matching/CloudSyncState.h"
#include "reminders/Strings.h"

namespace quorvin {

OwnStoreWriteHold::OwnStoreWriteHold(CloudSyncState &syncState, ActivityLog &activityLog)
    : m_syncState(syncState)
    , m_activityLog(activityLog)
{
}

void OwnStoreWriteHold::beginOwnStoreWrites()
{
    ++m_cloudPullActivityPending;
}

void OwnStoreWriteHold::endOwnStoreWrites(const QSet<QString> &reminderIDs, const QSet<QString> &listIDs)
{
    // Most often nothing is held yet: the apply's own sets are shared rather than copied entry by
    // entry, which after a large pull is tens of thousands of ids.
    const auto add = [](QSet<QString> &held, const QSet<QString> &ids) {
        if (held.isEmpty()) {
            held = ids;
        } else {
            held.unite(ids);
        }
    };
    add(m_ownWrittenReminderIDs, reminderIDs);
    add(m_ownWrittenListIDs, listIDs);
    if (--m_cloudPullActivityPending > 0) {
        return;
    }
    flushDeferredRefreshActivity();
    m_ownWrittenReminderIDs.clear();
    m_ownWrittenListIDs.clear();
}

void OwnStoreWriteHold::refreshArrived(const ReminderRefreshEvent &event)
{
    if (m_cloudPullActivityPending > 0) {
        m_deferredRefreshActivity.append(event);
    } else {
        flushDeferredRefreshActivity();
        forgetRemindersChangedHere(event);
        m_activityLog.appendLocalRefreshActivityLogIfNeeded(event);
    }
}

void OwnStoreWriteHold::forgetRemindersChangedHere(const ReminderRefreshEvent &event)
{
    // A change seen here that is not one of the app's own writes is the user's: a reminder it
    // touched is no longer just what the last apply wrote.
    if (event.reason == RemindersText::reasonCloudPull || event.reminderChanges.isEmpty()) {
        return;
    }
    QList<QString> changed;
    for (const auto &change : event.reminderChanges) {
        if (const auto &payload = change.after ? change.after : change.before) {
            changed.append(payload->local_id);
        }
    }
    m_syncState.forgetRemindersCreatedByApply(changed);
}

void OwnStoreWriteHold::flushDeferredRefreshActivity()
{
    const auto events = std::exchange(m_deferredRefreshActivity, {});
    for (auto event : events) {
        event.reminderChanges.removeIf([this](const ReminderRefreshItemChange &change) {
            const auto &payload = change.after ? change.after : change.before;
            return payload && m_ownWrittenReminderIDs.contains(payload->local_id);
        });
        event.listChanges.removeIf([this](const ReminderRefreshListChange &change) {
            const auto &list = change.after ? change.after : change.before;
            return list && m_ownWrittenListIDs.contains(list->list_id);
        });
        forgetRemindersChangedHere(event);
        m_activityLog.appendLocalRefreshActivityLogIfNeeded(event);
    }
}

} // namespace quorvin
