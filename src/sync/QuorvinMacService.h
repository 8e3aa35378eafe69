#pragma once

// QuorvinMacService: the one central object of the application. It owns the change journal, the
// reminder monitor, both id mappings, the cursors, the account state and the two logs, and runs the
// sync engine: the serialized runner, the passes, the health poll and the realtime long-poll.
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
// The long-poll and the health poll keep sleeping on the clock for as long as the service runs;
// `shutdown()` stops both. Destroy the service only while no pass is running.

#include "activity/ActivityLogLine.h"
#include "activity/LogLine.h"
#include "model/CloudDeviceSessionPayload.h"
#include "model/ReminderListDirectoryPayload.h"
#include "model/ReminderPayload.h"
#include "model/SyncCountVerificationRequestSignal.h"
#include "model/SyncResponseEnvelope.h"
#include "platform/concurrency/CancelToken.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <qcoro/qcorotask.h>

#include <memory>
#include <optional>

namespace quorvin {

class Clock;
class CloudIDMappingIndex;
class CloudReminderMatchSession;
class CloudSyncClient;
class HttpSession;
class ReminderMonitor;
class ReminderStore;
class SyncStateStore;
class UserDefaults;
struct ReminderRefreshEvent;

class QuorvinMacService : public QObject {
    Q_OBJECT
public:
    QuorvinMacService(
        UserDefaults &defaults, HttpSession &http, Clock &clock, ReminderStore &store, QObject *parent = nullptr);
    ~QuorvinMacService() override;

    // ---- start-up, refresh events and the status line
    QCoro::Task<void> startIfNeeded();
    // Stops the health poll and the long-poll (quit, tests).
    void shutdown();
    void handleRefreshEvent(const ReminderRefreshEvent &event);
    void markSyncInProgress();
    void markSyncSuccess(const QString &message);
    void markSyncFailure(const QString &message);
    QString cloudCursorSummary() const;
    QString normalizedCloudBaseURL() const;

    // ---- the runner and the pass
    void scheduleCloudSync(
        const QString &trigger, const std::optional<SyncCountVerificationRequestSignal> &request = std::nullopt);
    QCoro::Task<void> runCloudSync(
        QString trigger, std::optional<SyncCountVerificationRequestSignal> request = std::nullopt);
    bool isCloudSyncRunnerActive() const { return m_cloudSyncRunning; }
    void recordCloudSyncPauseIfNeeded(const QString &reason, const QString &status, const QString &logMessage);

    // ---- the two loops
    void startCloudSyncPollingIfNeeded();
    void startCloudRealtimeWaitIfNeeded();
    bool isCloudRealtimeWaitRunning() const { return m_cloudSyncWaitTask != nullptr; }

    // ---- maintenance
    void manualRefresh();
    void retryCloudBootstrap();

    // ---- the token and the account state
    static QString normalizeCloudAuthTokenValue(const QString &value);
    static QString fnv1aHashString(const QString &text);
    static QString cloudAuthTokenMarkerValue(const QString &token);
    void normalizePersistedCloudAuthTokenIfNeeded();
    void reconcileCloudSyncStateWithAuthToken();
    void applyCloudAuthToken(const QString &token, const QString &logMessage);
    void clearCloudAccountState();
    // True when the failure was an HTTP 401 of the cloud service and the session has been ended.
    bool handleCloudAccessFailure(const std::exception &error, const QString &trigger);

    // ---- cloud-side sync state (cursors, id maps, remote identity cache)
    void clearCloudSyncState(const QString &reason);
    // Wipes the cloud-side state when the signed-in user differs from the one it was built for, or
    // when state exists from before any user was known. The local reminders are never touched.
    void resetCloudSyncStateForUserChangeIfNeeded(const QString &nextUserID, const QString &reason);
    // Raised by every clear of the cloud-side sync state and by every token change: a pass that sees
    // it move during an await stops without writing anything.
    quint64 syncStateEpoch() const { return m_syncStateEpoch; }

    // ---- logs
    void appendLog(const QString &message);
    void appendActivityLog(const QString &category, const QString &summary, const QStringList &details);
    void clearActivityLogs();
    const QList<LogLine> &logs() const { return m_logs; }
    const QList<ActivityLogLine> &activityLogs() const { return m_activityLogs; }
    static QString activityDisplayTitle(const QString &title);
    QHash<QString, QDateTime> &recentCloudActivityKeys() { return m_recentCloudActivityKeys; }
    QHash<QString, QDateTime> &recentLocalActivityKeys() { return m_recentLocalActivityKeys; }

    // ---- published sync state
    bool isRunning() const { return m_isRunning; }
    int reminderCount() const { return m_reminderCount; }
    const QString &cursor() const { return m_cursor; }
    const QString &lastRefreshSummary() const { return m_lastRefreshSummary; }
    const std::optional<QDateTime> &lastSyncSuccessAt() const { return m_lastSyncSuccessAt; }
    const std::optional<QDateTime> &lastSyncAttemptAt() const { return m_lastSyncAttemptAt; }
    const QString &lastSyncAttemptStatus() const { return m_lastSyncAttemptStatus; }
    const QString &attachmentExportDirectoryDisplay() const { return m_attachmentExportDirectoryDisplay; }

    // ---- published account state
    const QString &cloudAuthToken() const { return m_cloudAuthToken; }
    const QString &cloudUserID() const { return m_cloudUserID; }
    const QString &cloudSessionID() const { return m_cloudSessionID; }
    const QString &cloudSessionDeviceID() const { return m_cloudSessionDeviceID; }
    const QString &cloudSessionClientKind() const { return m_cloudSessionClientKind; }
    const QString &cloudProfileNickname() const { return m_cloudProfileNickname; }
    const QString &cloudProfileAvatarURL() const { return m_cloudProfileAvatarURL; }
    const QString &cloudProfileAvatarRefreshToken() const { return m_cloudProfileAvatarRefreshToken; }
    bool cloudProfilePasswordSet() const { return m_cloudProfilePasswordSet; }
    bool cloudHuaweiAccountLinked() const { return m_cloudHuaweiAccountLinked; }
    const QString &cloudHuaweiAccountDisplayLabel() const { return m_cloudHuaweiAccountDisplayLabel; }
    bool cloudPhoneLinked() const { return m_cloudPhoneLinked; }
    const QString &cloudPhoneDisplayLabel() const { return m_cloudPhoneDisplayLabel; }
    const QString &cloudPhoneNumber() const { return m_cloudPhoneNumber; }
    const QList<CloudDeviceSessionPayload> &cloudDeviceSessions() const { return m_cloudDeviceSessions; }
    bool isCloudDevicesRefreshing() const { return m_isCloudDevicesRefreshing; }
    bool isCloudProfileRefreshing() const { return m_isCloudProfileRefreshing; }
    bool isCloudProfileSaving() const { return m_isCloudProfileSaving; }
    const QString &cloudProfileStatus() const { return m_cloudProfileStatus; }
    const QString &cloudDeviceRevokingSessionID() const { return m_cloudDeviceRevokingSessionID; }
    const QString &cloudPhoneLoginStatus() const { return m_cloudPhoneLoginStatus; }
    const QString &cloudPhoneCodeHint() const { return m_cloudPhoneCodeHint; }
    const QString &cloudPhoneChallengeID() const { return m_cloudPhoneChallengeID; }
    bool isCloudPhoneCodeRequesting() const { return m_isCloudPhoneCodeRequesting; }
    bool isCloudPhoneCodeVerifying() const { return m_isCloudPhoneCodeVerifying; }
    bool isCloudPasswordLoggingIn() const { return m_isCloudPasswordLoggingIn; }
    bool isCloudAccountDeleting() const { return m_isCloudAccountDeleting; }
    const QString &cloudInstallDeviceID() const { return m_cloudInstallDeviceID; }

    void setCloudUserID(const QString &value);
    void setCloudSessionID(const QString &value);
    void setCloudSessionDeviceID(const QString &value);
    void setCloudSessionClientKind(const QString &value);
    void setCloudProfileNickname(const QString &value);
    void setCloudProfileAvatarURL(const QString &value);
    void setCloudProfileAvatarRefreshToken(const QString &value);
    void setCloudProfilePasswordSet(bool value);
    void setCloudHuaweiAccountLinked(bool value);
    void setCloudHuaweiAccountDisplayLabel(const QString &value);
    void setCloudPhoneLinked(bool value);
    void setCloudPhoneDisplayLabel(const QString &value);
    void setCloudPhoneNumber(const QString &value);
    void setCloudDeviceSessions(const QList<CloudDeviceSessionPayload> &value);
    void setIsCloudDevicesRefreshing(bool value);
    void setIsCloudProfileRefreshing(bool value);
    void setIsCloudProfileSaving(bool value);
    void setCloudProfileStatus(const QString &value);
    void setCloudDeviceRevokingSessionID(const QString &value);
    void setCloudPhoneLoginStatus(const QString &value);
    void setCloudPhoneCodeHint(const QString &value);
    void setCloudPhoneChallengeID(const QString &value);
    void setIsCloudPhoneCodeRequesting(bool value);
    void setIsCloudPhoneCodeVerifying(bool value);
    void setIsCloudPasswordLoggingIn(bool value);
    void setIsCloudAccountDeleting(bool value);
    void setCloudInstallDeviceID(const QString &value);

    // ---- engine state, readable for the views' diagnostics and for tests
    const QString &cloudPullCursor() const { return m_cloudPullCursor; }
    const QString &cloudPushCursor() const { return m_cloudPushCursor; }
    bool cloudPushCursorNeedsRebase() const { return m_cloudPushCursorNeedsRebase; }
    const QString &cloudAuthTokenMarker() const { return m_cloudAuthTokenMarker; }
    const QString &observedCountVerificationRequestID() const { return m_observedCountVerificationRequestID; }
    const QDateTime &cloudRealtimeLastResponseAt() const { return m_cloudRealtimeLastResponseAt; }
    const CloudIDMappingIndex &reminderMappingIndex() const { return *m_reminderMappingIndex; }
    const CloudIDMappingIndex &listMappingIndex() const { return *m_listMappingIndex; }
    const QHash<QString, QString> &cachedRemoteSourceIdentityByServerID() const
    {
        return m_cachedRemoteSourceIdentityByServerID;
    }
    const QSet<QString> &cachedRemoteServerIDs() const { return m_cachedRemoteServerIDs; }
    qint64 remoteIdentityCacheVersion() const { return m_remoteIdentityCacheVersion; }
    SyncStateStore &stateStore() { return *m_stateStore; }
    ReminderMonitor *reminderMonitor() const { return m_reminderMonitor.get(); }
    UserDefaults &defaults() const { return m_defaults; }
    Clock &clock() const { return m_clock; }
    HttpSession &httpSession() const { return m_http; }

Q_SIGNALS:
    // Any published property changed; views re-read what they show.
    void changed();
    void isRunningChanged(bool isRunning);
    void lastSyncAttemptStatusChanged(const QString &status);
    void activityLogsChanged();
    void cloudAuthTokenChanged(const QString &token);
    // The runner finished its last pending pass.
    void cloudSyncRunnerIdle();

private:
    struct RemoteRecurringCompletionPair {
        ReminderPayload activeItem;
        ReminderPayload completedOccurrence;
    };
    struct LocalRecurringCompletionUploadPair {
        QString serverID;
        QString activeLocalID;
        QString completedLocalID;
    };
    struct LocalReminderUpsertResult {
        QString localID;
        bool needsFollowUp = false;
    };

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
    void setCloudAuthTokenValue(const QString &value);

    // The runner.
    QCoro::Task<void> runCloudSyncRunner();
    // Throws when the sync state was cleared or the token changed since `epoch` was taken.
    void ensureSyncStateEpoch(quint64 epoch) const;
    CloudSyncClient makeClient(const QString &baseURL, const QString &token) const;

    // The pass and its steps.
    QCoro::Task<void> runCloudSyncSteps(QString trigger, std::optional<SyncCountVerificationRequestSignal> request,
        QString baseURL, QString token, quint64 epoch,
        std::shared_ptr<std::optional<SyncCountVerificationRequestSignal>> passRequest);
    QCoro::Task<SyncResponseEnvelope> pullCloudEnvelope(
        CloudSyncClient client, std::optional<QString> cursor, quint64 epoch);
    QCoro::Task<QList<ReminderPayload>> pullAndApplySecondEnvelope(CloudSyncClient client, quint64 epoch);
    void saveCloudPullCursor(const QString &cursor);
    void saveCloudPushCursor(const QString &cursor);

    // Push.
    QCoro::Task<void> pushLocalEnvelope(SyncResponseEnvelope envelope, CloudSyncClient client,
        QHash<QString, QString> remoteSourceIdentityByServerID, std::optional<QSet<QString>> remoteSourceIdentities,
        std::optional<QSet<QString>> remoteServerIDs, quint64 epoch);
    QCoro::Task<void> pushLocalEnvelopeSteps(SyncResponseEnvelope envelope, CloudSyncClient client,
        QHash<QString, QString> remoteSourceIdentityByServerID, std::optional<QSet<QString>> remoteSourceIdentities,
        std::optional<QSet<QString>> remoteServerIDs, quint64 epoch);
    QHash<QString, LocalRecurringCompletionUploadPair> localRecurringCompletionUploadPairs(
        const QList<ReminderPayload> &items) const;
    std::optional<QString> firstServerID(const CloudIDMappingIndex &index, const QString &localID) const;

    // Restart reconciliation.
    QCoro::Task<std::optional<SyncResponseEnvelope>> cloudRestartReconciliationEnvelope(
        QList<ReminderPayload> remoteItems, bool requiresFullSnapshotUpload, quint64 epoch);

    // Apply.
    QCoro::Task<bool> applyCloudEnvelope(SyncResponseEnvelope envelope, bool advanceLocalPushCursor, quint64 epoch);
    QCoro::Task<bool> applyCloudEnvelopeSteps(
        SyncResponseEnvelope envelope, bool advanceLocalPushCursor, quint64 epoch);
    QHash<QString, RemoteRecurringCompletionPair> remoteRecurringCompletionPairs(
        const QList<ReminderPayload> &items) const;
    QCoro::Task<std::optional<QString>> applyRemoteRecurringCompletionCommand(ReminderPayload item,
        std::optional<QString> localListID, std::shared_ptr<CloudReminderMatchSession> matchSession);
    void rememberCloudRecurringCompletionCommands(const QList<ReminderPayload> &items);
    void rememberRemoteCloudCompletionOrigins(const QList<ReminderPayload> &items);
    void rememberCloudRecurringCompletionPairs(const QList<RemoteRecurringCompletionPair> &pairs);
    void registerCloudActivityTitles(const QStringList &titles, const QDateTime &now);
    void mapCloudReminder(const QString &serverID, const QString &localID);
    // Both devices completed one occurrence and each uploaded its own completed copy; the local
    // copy now stands for both. Queues every copy but the smallest server id for deletion.
    void noteRedundantCompletedCopies(
        const QString &serverID, const QString &localID, const QList<ReminderPayload> &envelopeItems);
    QCoro::Task<void> deleteRedundantCompletedCopies(CloudSyncClient client, quint64 epoch);

    // Local upsert.
    QCoro::Task<QString> ensureLocalListID(ReminderListDirectoryPayload list, quint64 epoch);
    QCoro::Task<LocalReminderUpsertResult> upsertLocalReminder(ReminderPayload item, std::optional<QString> localListID,
        std::optional<RemoteRecurringCompletionPair> remoteRecurringCompletion, QSet<QString> protectedLocalReminderIDs,
        std::shared_ptr<CloudReminderMatchSession> matchSession, quint64 epoch);
    bool storeHasReminder(const QString &localID) const;

    // Rules of recurring completions between two cloud items.
    static bool isRemoteRecurringActiveCandidate(const ReminderPayload &item);
    static bool isRemoteRecurringCompletedOccurrenceCandidate(const ReminderPayload &item);
    static bool isRemoteRecurringCompletionCommand(const ReminderPayload &item);
    static bool sameRemoteRecurringCompletionIdentity(const ReminderPayload &a, const ReminderPayload &b);

    // Alignment.
    QCoro::Task<QSet<QString>> alignLocalRecurringDueDates(QList<ReminderPayload> items, quint64 epoch);

    // Maintenance.
    QCoro::Task<void> runManualRefresh();
    QCoro::Task<void> runCloudBootstrapRebuild(QString baseURL);

    // The loops.
    QCoro::Task<void> runHealthPoll(CancelToken token);
    QCoro::Task<void> runRealtimeWait(CancelToken token);

    // Id mappings and the remote identity cache.
    void saveReminderMappings();
    void saveListMappings();
    void beginCloudMappingMutationBatch();
    void endCloudMappingMutationBatch();
    void writeReminderMappings();
    void writeListMappings();
    void clearRemoteIdentityCache();
    void saveRemoteIdentityCache();
    void updateRemoteIdentityCache(const SyncResponseEnvelope &envelope);
    void noteRemoteReminderUpsert(const QString &serverID, const std::optional<QString> &sourceID);

    // Injected.
    UserDefaults &m_defaults;
    HttpSession &m_http;
    Clock &m_clock;
    ReminderStore &m_store;

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
    bool m_cloudSyncRunning = false;
    bool m_cloudSyncPending = false;
    QString m_cloudSyncLatestTrigger = QStringLiteral("startup");
    std::optional<SyncCountVerificationRequestSignal> m_cloudCountVerificationRequest;
    QString m_observedCountVerificationRequestID;
    std::unique_ptr<CancelSource> m_cloudSyncPollTask;
    std::unique_ptr<CancelSource> m_cloudSyncWaitTask;
    QDateTime m_cloudRealtimeLastResponseAt;
    std::optional<QString> m_lastLoggedCloudSyncPauseReason;
    QString m_cloudPullCursor;
    QString m_cloudPushCursor;
    bool m_cloudPushCursorNeedsRebase = true;
    bool m_started = false;
    quint64 m_syncStateEpoch = 0;
    CancelSource m_lifetime;

    // Logs.
    QList<ActivityLogLine> m_activityLogs;
    QList<LogLine> m_logs;
    QHash<QString, QDateTime> m_recentLocalActivityKeys;
    QHash<QString, QDateTime> m_recentCloudActivityKeys;

    // Token and account.
    QString m_cloudAuthToken;
    QString m_cloudAuthTokenMarker;
    QString m_cloudInstallDeviceID;
    QString m_cloudUserID;
    QString m_cloudSessionID;
    QString m_cloudSessionDeviceID;
    QString m_cloudSessionClientKind;
    QString m_cloudPhoneLoginStatus;
    QString m_cloudPhoneCodeHint;
    QString m_cloudPhoneChallengeID;
    bool m_isCloudPhoneCodeRequesting = false;
    bool m_isCloudPhoneCodeVerifying = false;
    bool m_isCloudPasswordLoggingIn = false;
    QList<CloudDeviceSessionPayload> m_cloudDeviceSessions;
    bool m_isCloudDevicesRefreshing = false;
    QString m_cloudDeviceRevokingSessionID;
    QString m_cloudProfileNickname;
    QString m_cloudProfileAvatarURL;
    QString m_cloudProfileAvatarRefreshToken;
    bool m_cloudProfilePasswordSet = false;
    bool m_cloudHuaweiAccountLinked = false;
    QString m_cloudHuaweiAccountDisplayLabel;
    bool m_cloudPhoneLinked = false;
    QString m_cloudPhoneDisplayLabel;
    QString m_cloudPhoneNumber;
    bool m_isCloudProfileRefreshing = false;
    bool m_isCloudProfileSaving = false;
    QString m_cloudProfileStatus;
    bool m_isCloudAccountDeleting = false;

    // Id mappings and the remote identity cache.
    std::unique_ptr<CloudIDMappingIndex> m_reminderMappingIndex;
    std::unique_ptr<CloudIDMappingIndex> m_listMappingIndex;
    int m_cloudMappingMutationBatchDepth = 0;
    bool m_reminderMappingsNeedSave = false;
    bool m_listMappingsNeedSave = false;
    QHash<QString, QString> m_cachedRemoteSourceIdentityByServerID;
    QSet<QString> m_cachedRemoteServerIDs;
    // Server ids of surplus completed copies of one occurrence. Each stays mapped until its delete
    // succeeds and loses its mapping with it, so a later pull of the delete leaves the reminder be.
    QSet<QString> m_redundantCompletedCopyServerIDs;
    qint64 m_remoteIdentityCacheVersion = 0;
    // The cache differs from what the defaults hold; an unchanged cache is not rewritten.
    bool m_remoteIdentityCacheNeedsWrite = true;
};

} // namespace quorvin
