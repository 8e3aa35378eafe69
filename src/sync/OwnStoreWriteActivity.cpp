#include "sync/QuorvinMacService.h"

#include "activity/ActivityLog.h"
#include "matching/CloudSyncState.h"
#include "reminders/ReminderMonitor.h"
#include "reminders/Strings.h"

namespace quorvin {

void QuorvinMacService::beginOwnStoreWrites()
{
    ++m_cloudPullActivityPending;
}

void QuorvinMacService::endOwnStoreWrites(const QSet<QString> &reminderIDs, const QSet<QString> &listIDs)
{
    m_ownWrittenReminderIDs.unite(reminderIDs);
    m_ownWrittenListIDs.unite(listIDs);
    if (--m_cloudPullActivityPending > 0) {
        return;
    }
    flushDeferredRefreshActivity();
    m_ownWrittenReminderIDs.clear();
    m_ownWrittenListIDs.clear();
}

void QuorvinMacService::forgetRemindersChangedHere(const ReminderRefreshEvent &event)
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

void QuorvinMacService::flushDeferredRefreshActivity()
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
