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
        // A reminder the apply did not write is taken as it was before on both sides, and one it
        // wrote back as the very record it was is the same on both sides too: neither can make a
        // line, so only the rest is compared. At a pass that changes nothing over a large store,
        // that is nothing at all. The journal's records are shared, not copied: a first pull of a
        // large store compares every reminder it brought.
        QHash<QString, const ReminderPayload *> beforeByID;
        beforeByID.reserve(qsizetype(beforeItems.size()));
        for (const auto &payload : beforeItems) {
            beforeByID.insert(payload->local_id, payload.get());
        }
        QHash<QString, const ReminderPayload *> afterByID;
        afterByID.reserve(qsizetype(afterItems.size()));
        for (const auto &payload : afterItems) {
            afterByID.insert(payload->local_id, payload.get());
        }
        const auto compared
            = [this](const QHash<QString, const ReminderPayload *> &otherSide, const ReminderPayloadRef &payload) {
                  return writtenReminderIDs.contains(payload->local_id)
                      && otherSide.value(payload->local_id) != payload.get();
              };
        QList<ReminderPayloadRef> before;
        for (const auto &payload : beforeItems) {
            if (compared(afterByID, payload)) {
                before.append(payload);
            }
        }
        QList<ReminderPayloadRef> after;
        for (const auto &payload : afterItems) {
            if (compared(beforeByID, payload)) {
                after.append(payload);
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
