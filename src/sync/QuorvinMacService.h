#pragma once

// QuorvinMacService: the one central object of the application. It owns the components (the
// cloud account, the cloud-side sync state, the two logs, the maintenance requests, the
// diagnostics upload, the completed cleanup, the hold on refresh activity), the change journal
// and the reminder monitor, wires them together and runs the serialized runner, which builds a
// CloudSyncPass for each pass, with its back-off, the health poll and the realtime long-poll, and
// publishes the sync status.
//
// Building one (tests and the application alike):
//
//     InMemoryUserDefaults defaults;            // or FileUserDefaults; "Quorvin.CloudBaseURL" and
//     defaults.setString(u"Quorvin.CloudBaseURL"_s, u"http://cloud.test"_s);   // "Quorvin.CloudAuthToken"
//     defaults.setString(u"Quorvin.CloudAuthToken"_s, token);                   // are read by the constructor
//     ManualClock clock;                        // SystemClock in the application
//     InProcessHttpSession http(...);           // any HttpSession
//     InMemoryReminderStore store;              // any ReminderStore; the service never owns it
//     QuorvinMacService service(defaults, http, clock, store);
//
// Starting: `runInVirtualTime(clock, service.startIfNeeded())`. Start-up starts the monitor, the
// health poll and the long-poll, and schedules the first pass ("startup-bootstrap").
//
// Passes: `scheduleCloudSync(trigger)` queues one (coalescing like every trigger of the system);
// `isCloudSyncRunnerActive()` is false once the runner has nothing left to do, so a test waits with
// `clock.runUntil([&] { return !service.isCloudSyncRunnerActive(); }, limit)`. `runCloudSync(trigger)`
// runs one pass directly and can be awaited (use it only while the runner is idle).
//
// Components: `account()` (token and account state), `syncState()` (cursors, id mappings, remote
// identity cache), `diagnosticLog()`, `activityLog()`, `maintenance()` (manual refresh and
// rebuild), `diagnosticsUpload()` and `completedCleanup()`. The service forwards the `changed()`
// of those that publish state to its own, so a view bound to the service sees every change. This
// header only declares them: a file that uses one includes its header.
//
// The long-poll and the health poll keep sleeping on the clock for as long as the service runs;
// `shutdown()` stops both. Destroy the service only while no pass is running.
//
// Quitting (SIGTERM, SIGINT, the quit item): `requestStop()` (or `co_await stop()`) stops the
// loops, lets a running pass end at its next safe point, where every reminder it wrote locally
// has its mapping saved, and emits `stopped()`; quit the event loop on that signal, and once
// `exec()` has returned call `finishAfterStop()`, which lets the ended tasks run out before the
// process exits. Failures of the start-up and of every pass are announced by
// `syncFailureReported(description)` (a desktop without a window prints them on stderr).

#include "account/CloudAccountOwner.h"
#include "model/SyncCountVerificationRequestSignal.h"
#include "platform/concurrency/CancelToken.h"
#include "sync/CloudSyncPassOwner.h"
#include "sync/SyncToolOwner.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>
#include <qcoro/qcorotask.h>

#include <chrono>
#include <memory>
#include <optional>

namespace quorvin {

class ActivityLog;
class Clock;
class CloudAccount;
class CloudSyncState;
class DiagnosticLog;
struct CloudSyncCarryOver;
struct CloudSyncPassParts;
class CloudReminderMatchSession;
class CloudMaintenance;
class CompletedReminderCleanup;
class DiagnosticsUpload;
class CloudSyncClient;
class DeviceIdentitySource;
class HttpSession;
class ReminderMonitor;
class ReminderStore;
class SyncStateStore;
class UserDefaults;
struct ReminderRefreshEvent;

class QuorvinMacService : public QObject, public CloudAccountOwner, public CloudSyncPassOwner, public SyncToolOwner {
    Q_OBJECT
public:
    QuorvinMacService(
        UserDefaults &defaults, HttpSession &http, Clock &clock, ReminderStore &store, QObject *parent = nullptr);
    // The same with the machine's identity from `deviceSource` (tests) instead of the system's.
    QuorvinMacService(UserDefaults &defaults, HttpSession &http, Clock &clock, ReminderStore &store,
        const DeviceIdentitySource &deviceSource, QObject *parent = nullptr);
    ~QuorvinMacService() override;

    // ---- components
    CloudAccount &account() { return m_account; }
    const CloudAccount &account() const { return m_account; }
    CloudSyncState &syncState() { return m_syncState; }
    const CloudSyncState &syncState() const { return m_syncState; }
    DiagnosticLog &diagnosticLog() { return m_log; }
    const DiagnosticLog &diagnosticLog() const { return m_log; }
    ActivityLog &activityLog() { return m_activityLog; }
    const ActivityLog &activityLog() const { return m_activityLog; }
    SyncStateStore &stateStore() { return *m_stateStore; }
    // Absent until start-up has built it.
    ReminderMonitor *reminderMonitor() const override { return m_reminderMonitor.get(); }
    // What the views load their own pictures through.
    HttpSession &http() const { return m_http; }
    // The clock the service runs on; views take their "now" from it too.
    Clock &clock() const { return m_clock; }

    // ---- start-up, refresh events and the status line
    QCoro::Task<void> startIfNeeded();
    // Stops the health poll and the long-poll (quit, tests).
    void shutdown();
    void handleRefreshEvent(const ReminderRefreshEvent &event);
    // Reminders the store says the database lost are no deletions: they wait, mapped, for a
    // rebasing pass to bring the server's copies back.
    void noteRemindersLostByDatabase(const QList<QString> &localIDs);
    void markSyncInProgress() override;
    void markSyncSuccess(const QString &message) override;
    void markSyncFailure(const QString &message) override;
    QString normalizedCloudBaseURL() const override;

    // ---- quitting
    // Stops the loops and the store observation, starts no pass any more and lets the running one
    // end at its next safe point, as a quiet stop (no status, no activity entry). Waits for it at
    // most `limit` on the clock; past that its requests are cancelled. Then emits stopped().
    QCoro::Task<void> stop(std::chrono::milliseconds limit = std::chrono::seconds(5));
    // stop() as a task of its own, for a signal handler.
    void requestStop();
    bool isStopping() const override { return m_stopping; }
    // After the event loop has returned: cancels whatever is left and runs the queued events until
    // the service's tasks have ended, so no coroutine of it is left suspended at exit.
    void finishAfterStop();

    // ---- the runner and the pass
    void scheduleCloudSync(const QString &trigger,
        const std::optional<SyncCountVerificationRequestSignal> &request = std::nullopt) override;
    QCoro::Task<void> runCloudSync(
        QString trigger, std::optional<SyncCountVerificationRequestSignal> request = std::nullopt);
    bool isCloudSyncRunnerActive() const { return m_cloudSyncRunning; }
    // A failed pass left a retry waiting for its back-off.
    bool isCloudSyncRetryPending() const { return m_cloudSyncRetryTask != nullptr; }
    void recordCloudSyncPauseIfNeeded(const QString &reason, const QString &status, const QString &logMessage);

    // ---- the two loops
    void startCloudSyncPollingIfNeeded();
    void startCloudRealtimeWaitIfNeeded() override;
    bool isCloudRealtimeWaitRunning() const { return m_cloudSyncWaitTask != nullptr; }

    // ---- manual refresh and rebuild, diagnostics report, completed-reminder cleanup
    CloudMaintenance &maintenance() { return *m_maintenance; }
    DiagnosticsUpload &diagnosticsUpload() { return *m_diagnosticsUpload; }
    const DiagnosticsUpload &diagnosticsUpload() const { return *m_diagnosticsUpload; }
    CompletedReminderCleanup &completedCleanup() { return *m_completedCleanup; }
    const CompletedReminderCleanup &completedCleanup() const { return *m_completedCleanup; }

    // ---- published sync state
    bool isRunning() const { return m_isRunning; }
    int reminderCount() const { return m_reminderCount; }
    const QString &cursor() const { return m_cursor; }
    const QString &lastRefreshSummary() const { return m_lastRefreshSummary; }
    const std::optional<QDateTime> &lastSyncSuccessAt() const { return m_lastSyncSuccessAt; }
    const std::optional<QDateTime> &lastSyncAttemptAt() const { return m_lastSyncAttemptAt; }
    const QString &lastSyncAttemptStatus() const { return m_lastSyncAttemptStatus; }
    const QString &attachmentExportDirectoryDisplay() const { return m_attachmentExportDirectoryDisplay; }

    // ---- engine state, readable for the views' diagnostics and for tests
    const QString &observedCountVerificationRequestID() const { return m_observedCountVerificationRequestID; }
    const QDateTime &cloudRealtimeLastResponseAt() const { return m_cloudRealtimeLastResponseAt; }

Q_SIGNALS:
    // Any published property of the service or of one of its components changed; views re-read
    // what they show.
    void changed();
    void isRunningChanged(bool isRunning);
    void lastSyncAttemptStatusChanged(const QString &status);
    // The runner finished its last pending pass.
    void cloudSyncRunnerIdle();
    // stop() has done its work: the application may quit now.
    void stopped();
    // The start-up failed, or a pass failed or paused: `description` is the diagnostic line that
    // says why (for a broken reminders file it names the file and the field). A desktop without a
    // window of its own prints it on stderr, where the terminal and the journal show it.
    void syncFailureReported(const QString &description);

private:
    template <typename T> bool publish(T &field, const T &value)
    {
        if (field == value) {
            return false;
        }
        field = value;
        Q_EMIT changed();
        return true;
    }
    void setIsRunning(bool value);
    void setLastSyncAttemptStatus(const QString &value);
    void cloudAuthTokenApplied() override;

    // The runner.
    QCoro::Task<void> runCloudSyncRunner();
    // After a failed pass another one follows on its own, 5 s later, then twice as late after each
    // further failure, at most 5 minutes; a pass that succeeds starts over at 5 s. Every other
    // trigger still runs at once, and a pass that starts drops the waiting retry.
    void scheduleCloudSyncRetry();
    void cancelCloudSyncRetry();
    QCoro::Task<void> runCloudSyncRetry(std::chrono::milliseconds delay, CancelToken token);
    // Logs the line and announces it with syncFailureReported().
    void reportFailureLine(const QString &line) override;
    CloudSyncClient makeClient(const QString &baseURL, const QString &token) const override;
    // What a pass works on; only while the monitor exists.
    CloudSyncPassParts passParts();
    // CloudSyncPassOwner.
    void scheduleCloudSyncAfterPass(
        const QString &trigger, const std::optional<SyncCountVerificationRequestSignal> &request) override;
    std::optional<SyncCountVerificationRequestSignal> takeCountVerificationRequest() override;
    void forgetObservedCountVerificationRequest() override;

    bool storeHasReminder(const QString &localID) const;

    // The hold on refresh activity while this machine writes to the store, kept by a component.
    void beginOwnStoreWrites() override;
    void endOwnStoreWrites(const QSet<QString> &reminderIDs, const QSet<QString> &listIDs) override;
    // What a diagnostics report carries of the published state.
    SyncStatusForReport syncStatusForReport() const override;

    // The loops.
    QCoro::Task<void> runHealthPoll(CancelToken token);
    QCoro::Task<void> runRealtimeWait(CancelToken token);

    // Injected.
    UserDefaults &m_defaults;
    HttpSession &m_http;
    Clock &m_clock;
    ReminderStore &m_store;

    // Components, in the order they need each other; built, and held, in the source file, so that
    // this header brings none of the engine along.
    struct Components;
    std::unique_ptr<Components> m_components;
    DiagnosticLog &m_log;
    ActivityLog &m_activityLog;
    CloudSyncState &m_syncState;
    CloudSyncCarryOver &m_carryOver;
    CloudAccount &m_account;

    // Published sync state.
    bool m_isRunning = false;
    int m_reminderCount = 0;
    QString m_cursor = QStringLiteral("0");
    QString m_lastRefreshSummary;
    std::optional<QDateTime> m_lastSyncSuccessAt;
    std::optional<QDateTime> m_lastSyncAttemptAt;
    QString m_lastSyncAttemptStatus;
    QString m_attachmentExportDirectoryDisplay;

    // Engine state.
    std::unique_ptr<SyncStateStore> m_stateStore;
    std::unique_ptr<ReminderMonitor> m_reminderMonitor;
    enum class CloudSyncPassOutcome { NotRun, Succeeded, Failed };
    bool m_cloudSyncRunning = false;
    CloudSyncPassOutcome m_lastCloudSyncPassOutcome = CloudSyncPassOutcome::NotRun;
    std::chrono::milliseconds m_cloudSyncRetryDelay;
    std::unique_ptr<CancelSource> m_cloudSyncRetryTask;
    bool m_cloudSyncPending = false;
    QString m_cloudSyncLatestTrigger;
    std::optional<SyncCountVerificationRequestSignal> m_cloudCountVerificationRequest;
    QString m_observedCountVerificationRequestID;
    std::unique_ptr<CancelSource> m_cloudSyncPollTask;
    std::unique_ptr<CancelSource> m_cloudSyncWaitTask;
    QDateTime m_cloudRealtimeLastResponseAt;
    std::optional<QString> m_lastLoggedCloudSyncPauseReason;
    bool m_started = false;
    bool m_stopping = false;
    std::unique_ptr<CloudMaintenance> m_maintenance;
    std::unique_ptr<DiagnosticsUpload> m_diagnosticsUpload;
    std::unique_ptr<CompletedReminderCleanup> m_completedCleanup;
    // Cancelled when the service goes away, or when a stop has waited long enough: ends the
    // requests of a pass.
    CancelSource m_lifetime;
};

} // namespace quorvin
