#include "sync/QuorvinMacService.h"

#include "activity/ActivityEntryPoints.h"
#include "matching/MatchText.h"
#include "matching/SyncStateStore.h"
#include "platform/concurrency/Clock.h"
#include "sync/RemoteRecurringCompletionRules.h"

namespace quorvin {

namespace {

struct CloudPullComparison {
    std::vector<ReminderPayloadRef> beforeItems;
    std::vector<ReminderPayloadRef> afterItems;
    QList<ReminderListDirectoryPayload> beforeLists;
    QList<ReminderListDirectoryPayload> afterLists;
    QList<ActivityChangeLine> lines;

    void run()
    {
        lines = ActivityEntryPoints::cloudPullChangeLines(
            copies(beforeItems), beforeLists, copies(afterItems), afterLists);
    }

    static QList<ReminderPayload> copies(const std::vector<ReminderPayloadRef> &payloads)
    {
        QList<ReminderPayload> list;
        list.reserve(qsizetype(payloads.size()));
        for (const auto &payload : payloads) {
            list.append(*payload);
        }
        return list;
    }
};

} // namespace

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

QCoro::Task<void> QuorvinMacService::appendCloudPullActivityLog(bool fullSnapshot,
    std::vector<ReminderPayloadRef> beforeItems, QList<ReminderListDirectoryPayload> beforeLists, quint64 epoch)
{
    // The payloads are shared and never changed once made, so the worker may read them; it copies
    // nothing else and touches no object of this thread.
    auto work = std::make_shared<CloudPullComparison>();
    work->beforeItems = std::move(beforeItems);
    work->afterItems = m_stateStore->snapshotPayloads();
    work->beforeLists = std::move(beforeLists);
    work->afterLists = m_stateStore->listDirectory();

    struct Pending {
        QuorvinMacService &service;
        explicit Pending(QuorvinMacService &owner)
            : service(owner)
        {
            ++service.m_cloudPullActivityPending;
        }
        ~Pending() { --service.m_cloudPullActivityPending; }
        Pending(const Pending &) = delete;
        Pending &operator=(const Pending &) = delete;
    };
    {
        const Pending pending(*this);
        // Made before the await: a lambda built inside a co_await expression is not safe with every
        // compiler we build with.
        std::function<void()> compare = [work] { work->run(); };
        co_await m_clock.runOffMainThread(std::move(compare));
        // Signed out or reset meanwhile: the comparison belongs to data that is gone.
        ensureSyncStateEpoch(epoch);
        m_activityLog.appendCloudPullActivityLogIfNeeded(fullSnapshot, work->lines);
    }
    flushDeferredRefreshActivity();
}

void QuorvinMacService::flushDeferredRefreshActivity()
{
    const auto events = std::exchange(m_deferredRefreshActivity, {});
    for (const auto &event : events) {
        m_activityLog.appendLocalRefreshActivityLogIfNeeded(event);
    }
}

} // namespace quorvin
