#include "sync/QuorvinMacService.h"

#include "matching/MatchText.h"
#include "matching/SyncStateStore.h"
#include "sync/RemoteRecurringCompletionRules.h"

namespace quorvin {

// The apply writes recurring completions as a completed occurrence plus an advanced series, and a
// refresh that reads them before the apply has journalled them would take them for the user's own
// completion. The keys carry titles only: the local reminder that ends up completed need not be
// the one the cloud item names.

void QuorvinMacService::rememberCloudRecurringCompletionCommands(const QList<ReminderPayload> &items)
{
    QStringList titles;
    for (const auto &item : items) {
        if (RemoteRecurringCompletionRules::isRemoteRecurringCompletionCommand(item)) {
            titles.append(item.title);
        }
    }
    m_activityLog.rememberCloudCompletionTitles(titles);
}

void QuorvinMacService::rememberRemoteCloudCompletionOrigins(const QList<ReminderPayload> &items)
{
    const QString thisDevice = m_account.currentCloudDeviceIDForOwnEdits();
    QStringList titles;
    for (const auto &item : items) {
        const QString editor = MatchText::trimmed(item.last_modified_by_device_id);
        if (item.is_completed && !editor.isEmpty() && editor != thisDevice) {
            titles.append(item.title);
        }
    }
    m_activityLog.rememberCloudCompletionTitles(titles);
}

void QuorvinMacService::rememberCloudRecurringCompletionPairs(const QList<RemoteRecurringCompletionPair> &pairs)
{
    QStringList titles;
    for (const auto &pair : pairs) {
        titles.append(pair.activeItem.title);
        titles.append(pair.completedOccurrence.title);
    }
    m_activityLog.rememberCloudCompletionTitles(titles);
}

void QuorvinMacService::appendCloudPullActivityLog(bool fullSnapshot,
    const std::vector<ReminderPayloadRef> &beforeItems, const QList<ReminderListDirectoryPayload> &beforeLists)
{
    QList<ReminderPayload> before;
    before.reserve(qsizetype(beforeItems.size()));
    for (const auto &payload : beforeItems) {
        before.append(*payload);
    }
    const auto after = m_stateStore->currentSnapshot();
    m_activityLog.appendCloudPullActivityLogIfNeeded(fullSnapshot, before, beforeLists, after.items, after.lists);
}

} // namespace quorvin
