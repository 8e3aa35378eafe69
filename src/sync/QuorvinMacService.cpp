#include "sync/QuorvinMacService.h"

#include "account/CloudAccount.h"
#include "activity/ActivityLog.h"
#include "activity/DiagnosticLog.h"
#include "activity/Strings.h"
#include "cloud/CloudSyncClient.h"
#include "matching/CloudSyncState.h"
#include "matching/SyncStateStore.h"
#include "platform/concurrency/BackgroundWork.h"
#include "platform/concurrency/Clock.h"
#include "platform/concurrency/QueuedEvents.h"
#include "platform/concurrency/Spawn.h"
#include "platform/core/AllocatorArenas.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/device/DeviceIdentitySource.h"
#include "reminders/ReminderMonitor.h"
#include "reminders/ShortcutAttachmentDirectoryBookmarkStore.h"
#include "reminders/Strings.h"
#include "sync/CloudMaintenance.h"
#include "sync/CloudSyncCarryOver.h"
#include "sync/CompletedReminderCleanup.h"
#include "sync/DiagnosticsUpload.h"
#include "sync/OwnStoreWriteHold.h"
#include "sync/Strings.h"

#include <QPointer>

#include <chrono>

namespace quorvin {

using namespace std::chrono_literals;

namespace {
// How often a stop looks whether the pass has ended, and how long it still waits once it has
// cancelled the pass's requests.
constexpr auto stopPollInterval = 20ms;
constexpr auto stopGrace = 1s;
constexpr std::chrono::milliseconds firstRetryDelay = 5s;
constexpr std::chrono::milliseconds longestRetryDelay = 5min;
} // namespace

struct QuorvinMacService::Components {
    Components(UserDefaults &defaults, HttpSession &http, Clock &clock, const DeviceIdentitySource &deviceSource,
        CloudAccountOwner &owner)
        : log(clock)
        , activityLog(defaults, clock, log)
        , syncState(defaults, log, &clock)
        , account(defaults, syncState, log, activityLog, owner, http, clock, deviceSource)
        , ownStoreWriteHold(syncState, activityLog)
    {
    }
    DiagnosticLog log;
    ActivityLog activityLog;
    CloudSyncState syncState;
    CloudSyncCarryOver carryOver;
    CloudAccount account;
    OwnStoreWriteHold ownStoreWriteHold;
};

QuorvinMacService::QuorvinMacService(
    UserDefaults &defaults, HttpSession &http, Clock &clock, ReminderStore &store, QObject *parent)
    : QuorvinMacService(defaults, http, clock, store, DeviceIdentitySource::system(), parent)
{
}

QuorvinMacService::QuorvinMacService(UserDefaults &defaults, HttpSession &http, Clock &clock, ReminderStore &store,
    const DeviceIdentitySource &deviceSource, QObject *parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_http(http)
    , m_clock(clock)
    , m_store(store)
    , m_components(std::make_unique<Components>(defaults, http, clock, deviceSource, *this))
    , m_log(m_components->log)
    , m_activityLog(m_components->activityLog)
    , m_syncState(m_components->syncState)
    , m_carryOver(m_components->carryOver)
    , m_account(m_components->account)
    , m_lastSyncAttemptStatus(SyncText::statusNotYet)
    , m_attachmentExportDirectoryDisplay(ShortcutAttachmentDirectoryBookmarkStore::displayText(defaults))
    , m_stateStore(std::make_unique<SyncStateStore>(clock))
    , m_cloudSyncRetryDelay(firstRetryDelay)
    , m_cloudSyncLatestTrigger(SyncText::triggerStartup)
    , m_cloudRealtimeLastResponseAt(QDateTime::fromMSecsSinceEpoch(std::numeric_limits<qint64>::min() / 4, Qt::UTC))
{
    m_maintenance
        = std::make_unique<CloudMaintenance>(*this, m_account, m_syncState, *m_stateStore, m_log, m_activityLog);
    m_diagnosticsUpload = std::make_unique<DiagnosticsUpload>(
        *this, m_account, m_syncState, *m_stateStore, m_log, m_activityLog, m_clock);
    m_completedCleanup
        = std::make_unique<CompletedReminderCleanup>(*this, m_account, m_syncState, *m_stateStore, m_log, m_carryOver);
    connect(&m_account, &CloudAccount::changed, this, &QuorvinMacService::changed);
    connect(m_diagnosticsUpload.get(), &DiagnosticsUpload::changed, this, &QuorvinMacService::changed);
    connect(m_completedCleanup.get(), &CompletedReminderCleanup::changed, this, &QuorvinMacService::changed);
    connect(&m_activityLog, &ActivityLog::changed, this, &QuorvinMacService::changed);
}

QuorvinMacService::~QuorvinMacService()
{
    m_lifetime.cancel();
    shutdown();
}

void QuorvinMacService::shutdown()
{
    cancelCloudSyncRetry();
    if (m_cloudSyncPollTask) {
        m_cloudSyncPollTask->cancel();
        m_cloudSyncPollTask.reset();
    }
    if (m_cloudSyncWaitTask) {
        m_cloudSyncWaitTask->cancel();
        m_cloudSyncWaitTask.reset();
    }
}

QCoro::Task<void> QuorvinMacService::startIfNeeded()
{
    if (m_started) {
        co_return;
    }
    m_started = true;
    markSyncInProgress();
    QPointer<QuorvinMacService> self(this);
    co_await m_clock.yield();
    if (!self) {
        co_return;
    }

    publish(m_attachmentExportDirectoryDisplay, SyncText::attachmentSyncOff);
    m_account.normalizePersistedCloudAuthTokenIfNeeded();
    m_account.reconcileCloudSyncStateWithAuthToken();

    auto onRefresh = [self](const ReminderRefreshEvent &event) {
        // At once, not queued: a push reading the journal meanwhile must already know these are
        // no deletions.
        if (self && !event.lostReminderIDs.isEmpty()) {
            self->noteRemindersLostByDatabase(event.lostReminderIDs);
        }
        QMetaObject::invokeMethod(
            self.data(),
            [self, event] {
                if (self) {
                    self->handleRefreshEvent(event);
                }
            },
            Qt::QueuedConnection);
    };
    auto onDiagnostic = [self](const QString &text) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, text] {
                if (self) {
                    self->m_log.appendLog(text);
                }
            },
            Qt::QueuedConnection);
    };
    m_reminderMonitor = std::make_unique<ReminderMonitor>(m_store, *m_stateStore, onRefresh, onDiagnostic, m_clock);

    try {
        co_await m_reminderMonitor->start();
    } catch (const Error &error) {
        if (!self) {
            co_return;
        }
        markSyncFailure(SyncText::startupFailed);
        reportFailureLine(SyncText::logStartupFailedPrefix + error.description());
        setIsRunning(false);
        // A damaged reminders file may be mended while the app runs: its next change starts again.
        connect(
            &m_store, &ReminderStore::changed, this,
            [this] {
                if (!m_stopping) {
                    m_started = false;
                    spawn(startIfNeeded(), SyncText::taskStart);
                }
            },
            Qt::SingleShotConnection);
        co_return;
    }
    if (!self) {
        co_return;
    }

    m_syncState.resolveTentativeMappings([this](const QString &localID) { return storeHasReminder(localID); });
    publish(m_reminderCount, m_stateStore->reminderCount());
    publish(m_cursor, QString::number(m_stateStore->currentSequence()));
    setIsRunning(true);

    if (!m_account.currentToken().isEmpty()) {
        co_await m_account.refreshCloudSession(SyncText::triggerStartup);
        if (!self) {
            co_return;
        }
    }

    startCloudSyncPollingIfNeeded();
    startCloudRealtimeWaitIfNeeded();
    scheduleCloudSync(SyncText::triggerStartupBootstrap);
}

void QuorvinMacService::beginOwnStoreWrites()
{
    m_components->ownStoreWriteHold.beginOwnStoreWrites();
}

void QuorvinMacService::endOwnStoreWrites(const QSet<QString> &reminderIDs, const QSet<QString> &listIDs)
{
    m_components->ownStoreWriteHold.endOwnStoreWrites(reminderIDs, listIDs);
}

bool QuorvinMacService::storeHasReminder(const QString &localID) const
{
    return m_reminderMonitor->reminder(localID).has_value();
}

void QuorvinMacService::handleRefreshEvent(const ReminderRefreshEvent &event)
{
    publish(m_reminderCount, int(event.totalCount));
    publish(m_cursor, event.cursor);
    publish(m_lastRefreshSummary,
        event.reason + SyncText::refreshSummaryUpserts + QString::number(event.upserts)
            + SyncText::refreshSummaryDeletions + QString::number(event.deletions));
    m_log.appendLog(SyncText::logRefreshPrefix + event.reason + SyncText::logRefreshUpserts
        + QString::number(event.upserts) + SyncText::logRefreshDeletions + QString::number(event.deletions)
        + SyncText::logRefreshTotal + QString::number(event.totalCount) + SyncText::logRefreshCursor + event.cursor);
    m_components->ownStoreWriteHold.refreshArrived(event);
    if (event.reason != RemindersText::reasonCloudPull
        && (event.upserts >= 1 || event.deletions >= 1 || !event.listChanges.isEmpty()
            || !event.lostReminderIDs.isEmpty())) {
        scheduleCloudSync(event.reason);
    }
}

void QuorvinMacService::noteRemindersLostByDatabase(const QList<QString> &localIDs)
{
    if (!m_syncState.noteRemindersLostByDatabase(localIDs)) {
        return;
    }
    m_log.appendLog(SyncText::logLostByDatabasePrefix + QString::number(localIDs.size()));
    // Only a full snapshot brings back what the service holds of them.
    m_syncState.requestCloudPushCursorRebase();
}

void QuorvinMacService::markSyncInProgress()
{
    publish(m_lastSyncAttemptAt, std::optional<QDateTime>(m_clock.now()));
    setLastSyncAttemptStatus(SyncText::statusSyncing);
}

void QuorvinMacService::markSyncSuccess(const QString &message)
{
    const auto now = m_clock.now();
    publish(m_lastSyncAttemptAt, std::optional<QDateTime>(now));
    publish(m_lastSyncSuccessAt, std::optional<QDateTime>(now));
    setLastSyncAttemptStatus(SyncText::statusSuccessPrefix + message + SyncText::statusSuffix);
}

void QuorvinMacService::markSyncFailure(const QString &message)
{
    publish(m_lastSyncAttemptAt, std::optional<QDateTime>(m_clock.now()));
    setLastSyncAttemptStatus(SyncText::statusFailurePrefix + message + SyncText::statusSuffix);
}

SyncStatusForReport QuorvinMacService::syncStatusForReport() const
{
    return SyncStatusForReport {
        m_reminderCount, m_cursor, m_lastSyncAttemptStatus, m_lastSyncAttemptAt, m_lastSyncSuccessAt};
}

QString QuorvinMacService::normalizedCloudBaseURL() const
{
    return quorvin::normalizedCloudBaseURL(m_defaults);
}

void QuorvinMacService::setIsRunning(bool value)
{
    if (publish(m_isRunning, value)) {
        Q_EMIT isRunningChanged(value);
    }
}

void QuorvinMacService::setLastSyncAttemptStatus(const QString &value)
{
    if (publish(m_lastSyncAttemptStatus, value)) {
        Q_EMIT lastSyncAttemptStatusChanged(value);
    }
}

// ---- runner

void QuorvinMacService::scheduleCloudSync(
    const QString &trigger, const std::optional<SyncCountVerificationRequestSignal> &request)
{
    if (m_stopping) {
        return;
    }
    m_cloudSyncLatestTrigger = trigger;
    if (request) {
        m_cloudCountVerificationRequest = request;
        if (m_cloudSyncRunning) {
            return;
        }
    }
    // While the settings cannot be written every pass fails the same way, and a failed pass's own
    // writes come back as store news: a new cause waits for the back-off's retry (which takes a
    // count verification asked meanwhile along), unless the settings can be written again now.
    if (isCloudSyncRetryPending() && m_defaults.writeFailure() && !m_defaults.retryFailedWrite()) {
        return;
    }
    m_cloudSyncPending = true;
    if (m_cloudSyncRunning) {
        return;
    }
    m_cloudSyncRunning = true;
    spawn(runCloudSyncRunner(), SyncText::taskRunner);
}

QCoro::Task<void> QuorvinMacService::runCloudSyncRunner()
{
    QPointer<QuorvinMacService> self(this);
    // Let the caller that scheduled the pass finish first, as a freshly started task would.
    co_await m_clock.yield();
    if (!self) {
        co_return;
    }
    while (m_cloudSyncPending && !m_stopping) {
        const auto trigger = m_cloudSyncLatestTrigger;
        const auto request = m_cloudCountVerificationRequest;
        m_cloudSyncPending = false;
        m_cloudCountVerificationRequest.reset();
        cancelCloudSyncRetry();
        m_lastCloudSyncPassOutcome = CloudSyncPassOutcome::NotRun;
        co_await runCloudSync(trigger, request);
        if (!self) {
            co_return;
        }
        if (m_cloudCountVerificationRequest) {
            m_cloudSyncPending = true;
        }
        if (m_lastCloudSyncPassOutcome == CloudSyncPassOutcome::Succeeded && m_carryOver.pullRetryCursor) {
            // Items the store refused come again with a pull after a growing pause, even on an
            // account where nothing else changes.
            if (!m_cloudSyncPending) {
                scheduleCloudSyncRetry();
            }
        } else if (m_lastCloudSyncPassOutcome == CloudSyncPassOutcome::Succeeded) {
            m_cloudSyncRetryDelay = firstRetryDelay;
        } else if (m_lastCloudSyncPassOutcome == CloudSyncPassOutcome::Failed && !m_cloudSyncPending) {
            scheduleCloudSyncRetry();
        }
    }
    m_cloudSyncRunning = false;
    // A pass over a large store frees much more than it keeps; without this the process would
    // hold its high mark until the next one.
    startInBackground(returnFreedMemory);
    Q_EMIT cloudSyncRunnerIdle();
}

void QuorvinMacService::scheduleCloudSyncRetry()
{
    if (m_stopping) {
        return;
    }
    const auto delay = m_cloudSyncRetryDelay;
    m_cloudSyncRetryDelay = std::min(delay * 2, longestRetryDelay);
    m_cloudSyncRetryTask = std::make_unique<CancelSource>();
    m_log.appendLog(
        SyncText::logRetryScheduledPrefix + QString::number(delay.count() / 1000) + SyncText::logRetryScheduledSuffix);
    spawn(runCloudSyncRetry(delay, m_cloudSyncRetryTask->token()), SyncText::taskRetry);
}

void QuorvinMacService::cancelCloudSyncRetry()
{
    if (m_cloudSyncRetryTask) {
        m_cloudSyncRetryTask->cancel();
        m_cloudSyncRetryTask.reset();
    }
}

QCoro::Task<void> QuorvinMacService::runCloudSyncRetry(std::chrono::milliseconds delay, CancelToken token)
{
    // The token's state outlives the service, so it is checked before `this` is used.
    try {
        co_await m_clock.sleep(delay, token);
    } catch (const CancelledError &) {
        co_return;
    }
    if (token.isCancelled()) {
        co_return;
    }
    m_cloudSyncRetryTask.reset();
    scheduleCloudSync(SyncText::triggerRetry);
}

// ---- quitting

QCoro::Task<void> QuorvinMacService::stop(std::chrono::milliseconds limit)
{
    QPointer<QuorvinMacService> self(this);
    Clock &clock = m_clock;
    m_stopping = true;
    m_cloudSyncPending = false;
    shutdown();
    if (m_reminderMonitor) {
        m_reminderMonitor->stopObserving();
    }
    // The pass ends at the first wait after this, once what it is doing has reached the store
    // and the settings together. A pass waiting on the network for longer has its requests
    // cancelled; it then ends as soon as it runs again.
    const auto deadline = clock.monotonicNow() + limit;
    while (self && m_cloudSyncRunning && clock.monotonicNow() < deadline) {
        co_await clock.sleep(stopPollInterval);
    }
    if (self && m_cloudSyncRunning) {
        m_lifetime.cancel();
        const auto grace = clock.monotonicNow() + stopGrace;
        while (self && m_cloudSyncRunning && clock.monotonicNow() < grace) {
            co_await clock.sleep(stopPollInterval);
        }
    }
    if (self) {
        Q_EMIT stopped();
    }
}

void QuorvinMacService::requestStop()
{
    spawn(stop(), SyncText::taskStop);
}

void QuorvinMacService::finishAfterStop()
{
    m_stopping = true;
    m_cloudSyncPending = false;
    shutdown();
    m_lifetime.cancel();
    if (m_reminderMonitor) {
        m_reminderMonitor->stopObserving();
    }
    runQueuedEvents();
}

void QuorvinMacService::recordCloudSyncPauseIfNeeded(
    const QString &reason, const QString &status, const QString &logMessage)
{
    if (m_lastLoggedCloudSyncPauseReason == reason) {
        return;
    }
    m_lastLoggedCloudSyncPauseReason = reason;
    markSyncFailure(status);
    reportFailureLine(logMessage);
    m_activityLog.appendActivityLog(
        ActivityText::categorySync, SyncText::pauseSummary, {status, SyncText::pauseDetailKept});
}

void QuorvinMacService::cloudAuthTokenApplied()
{
    m_lastLoggedCloudSyncPauseReason.reset();
    if (m_cloudSyncWaitTask) {
        m_cloudSyncWaitTask->cancel();
        m_cloudSyncWaitTask.reset();
    }
}

} // namespace quorvin
