#include "sync/CloudApplyPhase.h"

#include "account/CloudAccount.h"
#include "activity/ActivityEchoKeys.h"
#include "activity/ActivityEntryPoints.h"
#include "activity/ActivityLog.h"
#include "matching/MatchText.h"
#include "matching/SyncStateStore.h"
#include "platform/concurrency/BackgroundWork.h"
#include "platform/concurrency/Clock.h"
#include "reminders/Strings.h"
#include "sync/RemoteRecurringCompletionRules.h"

namespace quorvin {

namespace {

// The pull's entry holds what the apply wrote and nothing else: a reminder or list the apply did
// not touch is taken as it was before, so an edit the user made while the apply ran is not
// reported as the cloud's (the refresh that saw it reports it as the user's).
struct CloudPullComparison {
    std::vector<ReminderPayloadRef> beforeItems;
    std::vector<ReminderPayloadRef> afterItems;
    QList<ReminderListDirectoryPayload> beforeLists;
    QList<ReminderListDirectoryPayload> afterLists;
    QSet<QString> writtenReminderIDs;
    QSet<QString> writtenListIDs;
    QList<ActivityChangeLine> lines;
    // Built here too: at a large pull they were the longest stall of the entry.
    QList<QStringList> lineKeys;

    void run()
    {
        QList<ReminderPayload> before;
        before.reserve(qsizetype(beforeItems.size()));
        QHash<QString, const ReminderPayload *> beforeByID;
        for (const auto &payload : beforeItems) {
            before.append(*payload);
            beforeByID.insert(payload->local_id, payload.get());
        }
        QList<ReminderPayload> after;
        after.reserve(qsizetype(afterItems.size()));
        QSet<QString> seen;
        for (const auto &payload : afterItems) {
            seen.insert(payload->local_id);
            if (writtenReminderIDs.contains(payload->local_id)) {
                after.append(*payload);
            } else if (const auto *earlier = beforeByID.value(payload->local_id)) {
                after.append(*earlier);
            }
        }
        for (const auto &payload : beforeItems) {
            if (!seen.contains(payload->local_id) && !writtenReminderIDs.contains(payload->local_id)) {
                after.append(*payload);
            }
        }
        lines = ActivityEntryPoints::cloudPullChangeLines(before, beforeLists, after, listsAfterApply());
        lineKeys = ActivityEchoKeys::cloudActivityOriginKeys(lines);
    }

    QList<ReminderListDirectoryPayload> listsAfterApply() const
    {
        QHash<QString, const ReminderListDirectoryPayload *> beforeByID;
        for (const auto &list : beforeLists) {
            beforeByID.insert(list.list_id, &list);
        }
        QList<ReminderListDirectoryPayload> result;
        QSet<QString> seen;
        for (const auto &list : afterLists) {
            seen.insert(list.list_id);
            if (writtenListIDs.contains(list.list_id)) {
                result.append(list);
            } else if (const auto *earlier = beforeByID.value(list.list_id)) {
                result.append(*earlier);
            }
        }
        for (const auto &list : beforeLists) {
            if (!seen.contains(list.list_id) && !writtenListIDs.contains(list.list_id)) {
                result.append(list);
            }
        }
        return result;
    }
};

} // namespace

// The apply writes recurring completions as a completed occurrence plus an advanced series, and a
// refresh that reads them before the apply has journalled them would take them for the user's own
// completion. The keys carry titles only: the local reminder that ends up completed need not be
// the one the cloud item names.

void CloudApplyPhase::rememberCloudRecurringCompletionCommands(const QList<ReminderPayload> &items)
{
    QStringList titles;
    for (const auto &item : items) {
        if (RemoteRecurringCompletionRules::isRemoteRecurringCompletionCommand(item)) {
            titles.append(item.title);
        }
    }
    m_activityLog.rememberCloudCompletionTitles(titles);
}

void CloudApplyPhase::rememberRemoteCloudCompletionOrigins(const QList<ReminderPayload> &items)
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

void CloudApplyPhase::rememberCloudRecurringCompletionPairs(const QList<RemoteRecurringCompletionPair> &pairs)
{
    QStringList titles;
    for (const auto &pair : pairs) {
        titles.append(pair.activeItem.title);
        titles.append(pair.completedOccurrence.title);
    }
    m_activityLog.rememberCloudCompletionTitles(titles);
}

QCoro::Task<void> CloudApplyPhase::appendCloudPullActivityLog(bool fullSnapshot,
    std::vector<ReminderPayloadRef> beforeItems, QList<ReminderListDirectoryPayload> beforeLists,
    QSet<QString> writtenReminderIDs, QSet<QString> writtenListIDs)
{
    // The payloads are shared and never changed once made, so the worker may read them; it copies
    // nothing else and touches no object of this thread.
    auto work = std::make_shared<CloudPullComparison>();
    work->beforeItems = std::move(beforeItems);
    work->afterItems = m_stateStore->snapshotPayloads();
    work->beforeLists = std::move(beforeLists);
    work->afterLists = m_stateStore->listDirectory();
    work->writtenReminderIDs = std::move(writtenReminderIDs);
    work->writtenListIDs = std::move(writtenListIDs);
    // Made before the await: a lambda built inside a co_await expression is not safe with every
    // compiler we build with.
    std::function<void()> compare = [work] { work->run(); };
    // Signed out or reset meanwhile: the comparison belongs to data that is gone.
    co_await fenced(m_clock.runOffMainThread(std::move(compare)));
    m_activityLog.appendCloudPullActivityLogIfNeeded(fullSnapshot, work->lines, work->lineKeys);
    // A line and its keys for every item the apply wrote, and the payloads compared.
    releaseOffMainThread(std::move(work));
}

} // namespace quorvin
