#include "sync/QuorvinMacService.h"

#include "activity/QuorvinActivityLogStore.h"
#include "cloud/CloudSyncClient.h"
#include "matching/CloudIDMappingIndex.h"
#include "matching/SyncStateStore.h"
#include "platform/concurrency/Clock.h"
#include "platform/concurrency/Spawn.h"
#include "platform/defaults/UserDefaults.h"
#include "reminders/ReminderMonitor.h"
#include "reminders/ShortcutAttachmentDirectoryBookmarkStore.h"
#include "sync/Strings.h"

#include <QPointer>

#include <chrono>

namespace quorvin {

using namespace Qt::Literals::StringLiterals;

using namespace std::chrono_literals;

namespace {
// A stored dictionary is used only when every key and value is text; anything else reads as empty.
QHash<QString, QString> readStringMap(const UserDefaults &defaults, const QString &key)
{
    QHash<QString, QString> result;
    if (const auto map = defaults.stringMap(key)) {
        for (auto it = map->cbegin(); it != map->cend(); ++it) {
            result.insert(it.key(), it.value());
        }
    }
    return result;
}
} // namespace

QuorvinMacService::QuorvinMacService(
    UserDefaults &defaults, HttpSession &http, Clock &clock, ReminderStore &store, QObject *parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_http(http)
    , m_clock(clock)
    , m_store(store)
    , m_lastSyncAttemptStatus(SyncText::statusNotYet)
    , m_stateStore(std::make_unique<SyncStateStore>(clock))
    , m_cloudRealtimeLastResponseAt(QDateTime::fromMSecsSinceEpoch(std::numeric_limits<qint64>::min() / 4, Qt::UTC))
{
    m_activityLogs = QuorvinActivityLogStore::load(m_defaults);
    m_attachmentExportDirectoryDisplay = ShortcutAttachmentDirectoryBookmarkStore::displayText(m_defaults);

    auto text = [this](const QString &key) { return m_defaults.string(key).value_or(QString()); };
    auto flag = [this](const QString &key) { return m_defaults.boolean(key).value_or(false); };
    m_cloudAuthToken = text(SyncText::keyAuthToken);
    m_cloudUserID = text(SyncText::keyUserID);
    m_cloudProfileNickname = text(SyncText::keyProfileNickname);
    m_cloudProfileAvatarURL = text(SyncText::keyProfileAvatarURL);
    m_cloudProfileAvatarRefreshToken = text(SyncText::keyProfileAvatarRefreshToken);
    m_cloudProfilePasswordSet = flag(SyncText::keyProfilePasswordSet);
    m_cloudSessionID = text(SyncText::keySessionID);
    m_cloudSessionDeviceID = text(SyncText::keySessionDeviceID);
    m_cloudSessionClientKind = text(SyncText::keySessionClientKind);
    m_cloudHuaweiAccountLinked = flag(SyncText::keyHuaweiAccountLinked);
    m_cloudHuaweiAccountDisplayLabel = text(SyncText::keyHuaweiAccountDisplayLabel);
    m_cloudPhoneLinked = flag(SyncText::keyPhoneLinked);
    m_cloudPhoneDisplayLabel = text(SyncText::keyPhoneDisplayLabel);
    m_cloudPhoneNumber = text(SyncText::keyPhoneNumber);

    m_cloudPullCursor = text(SyncText::keyPullCursor);
    m_cloudPushCursor = text(SyncText::keyPushCursor);
    m_cloudAuthTokenMarker = text(SyncText::keyAuthTokenMarker);
    m_cloudPushCursorNeedsRebase = true;
    m_cloudInstallDeviceID = text(SyncText::keyInstallDeviceID);

    m_reminderMappingIndex = std::make_unique<CloudIDMappingIndex>(readStringMap(m_defaults, SyncText::keyReminderMap));
    m_listMappingIndex = std::make_unique<CloudIDMappingIndex>(readStringMap(m_defaults, SyncText::keyListMap));

    m_cachedRemoteSourceIdentityByServerID = readStringMap(m_defaults, SyncText::keyRemoteSourceIdentityMap);
    if (const auto ids = m_defaults.stringArray(SyncText::keyRemoteServerIDs)) {
        m_cachedRemoteServerIDs = QSet<QString>(ids->cbegin(), ids->cend());
    }
    m_remoteIdentityCacheVersion = m_defaults.integer(SyncText::keyRemoteIdentityCacheVersion).value_or(0);
}

QuorvinMacService::~QuorvinMacService()
{
    m_lifetime.cancel();
    shutdown();
}

void QuorvinMacService::shutdown()
{
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
    normalizePersistedCloudAuthTokenIfNeeded();
    reconcileCloudSyncStateWithAuthToken();

    auto onRefresh = [self](const ReminderRefreshEvent &event) {
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
                    self->appendLog(text);
                }
            },
            Qt::QueuedConnection);
    };
    m_reminderMonitor
        = std::make_unique<ReminderMonitor>(m_store, *m_stateStore, onRefresh, onDiagnostic, 1'000'000'000ULL, m_clock);

    try {
        co_await m_reminderMonitor->start();
    } catch (const Error &error) {
        if (!self) {
            co_return;
        }
        markSyncFailure(SyncText::startupFailed);
        appendLog(SyncText::logStartupFailedPrefix + error.description());
        setIsRunning(false);
        co_return;
    }
    if (!self) {
        co_return;
    }

    publish(m_reminderCount, m_stateStore->reminderCount());
    publish(m_cursor, QString::number(m_stateStore->currentSequence()));
    setIsRunning(true);

    // The session refresh with trigger "startup" joins here with the account operations.

    startCloudSyncPollingIfNeeded();
    startCloudRealtimeWaitIfNeeded();
    scheduleCloudSync(SyncText::triggerStartupBootstrap);
}

void QuorvinMacService::handleRefreshEvent(const ReminderRefreshEvent &event)
{
    publish(m_reminderCount, int(event.totalCount));
    publish(m_cursor, event.cursor);
    publish(m_lastRefreshSummary,
        event.reason + u": +"_s + QString::number(event.upserts) + u" / -"_s + QString::number(event.deletions));
    appendLog(u"Refresh ["_s + event.reason + u"] upserts="_s + QString::number(event.upserts) + u" deletions="_s
        + QString::number(event.deletions) + u" total="_s + QString::number(event.totalCount) + u" cursor="_s
        + event.cursor);
    // The local-refresh activity entry joins here with the activity entry points.
    if (event.reason != SyncText::reasonCloudPull
        && (event.upserts >= 1 || event.deletions >= 1 || !event.listChanges.isEmpty())) {
        scheduleCloudSync(event.reason);
    }
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

QString QuorvinMacService::cloudCursorSummary() const
{
    auto shown = [](const QString &cursor) { return cursor.isEmpty() ? QStringLiteral("-") : cursor; };
    return u"push="_s + shown(m_cloudPushCursor) + u" / pull="_s + shown(m_cloudPullCursor);
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

void QuorvinMacService::setCloudAuthTokenValue(const QString &value)
{
    if (publish(m_cloudAuthToken, value)) {
        Q_EMIT cloudAuthTokenChanged(value);
    }
}

// ---- runner

void QuorvinMacService::scheduleCloudSync(
    const QString &trigger, const std::optional<SyncCountVerificationRequestSignal> &request)
{
    m_cloudSyncLatestTrigger = trigger;
    if (request) {
        m_cloudCountVerificationRequest = request;
        if (m_cloudSyncRunning) {
            return;
        }
    }
    m_cloudSyncPending = true;
    if (m_cloudSyncRunning) {
        return;
    }
    m_cloudSyncRunning = true;
    spawn(runCloudSyncRunner(), QStringLiteral("cloud sync runner"));
}

QCoro::Task<void> QuorvinMacService::runCloudSyncRunner()
{
    QPointer<QuorvinMacService> self(this);
    // Let the caller that scheduled the pass finish first, as a freshly started task would.
    co_await m_clock.yield();
    if (!self) {
        co_return;
    }
    while (m_cloudSyncPending) {
        const auto trigger = m_cloudSyncLatestTrigger;
        const auto request = m_cloudCountVerificationRequest;
        m_cloudSyncPending = false;
        m_cloudCountVerificationRequest.reset();
        co_await runCloudSync(trigger, request);
        if (!self) {
            co_return;
        }
        if (m_cloudCountVerificationRequest) {
            m_cloudSyncPending = true;
        }
    }
    m_cloudSyncRunning = false;
    Q_EMIT cloudSyncRunnerIdle();
}

void QuorvinMacService::recordCloudSyncPauseIfNeeded(
    const QString &reason, const QString &status, const QString &logMessage)
{
    if (m_lastLoggedCloudSyncPauseReason == reason) {
        return;
    }
    m_lastLoggedCloudSyncPauseReason = reason;
    markSyncFailure(status);
    appendLog(logMessage);
    appendActivityLog(SyncText::categorySync, SyncText::pauseSummary, {status, SyncText::pauseDetailKept});
}

// ---- published account setters

void QuorvinMacService::setCloudUserID(const QString &value)
{
    publish(m_cloudUserID, value);
}
void QuorvinMacService::setCloudSessionID(const QString &value)
{
    publish(m_cloudSessionID, value);
}
void QuorvinMacService::setCloudSessionDeviceID(const QString &value)
{
    publish(m_cloudSessionDeviceID, value);
}
void QuorvinMacService::setCloudSessionClientKind(const QString &value)
{
    publish(m_cloudSessionClientKind, value);
}
void QuorvinMacService::setCloudProfileNickname(const QString &value)
{
    publish(m_cloudProfileNickname, value);
}
void QuorvinMacService::setCloudProfileAvatarURL(const QString &value)
{
    publish(m_cloudProfileAvatarURL, value);
}
void QuorvinMacService::setCloudProfileAvatarRefreshToken(const QString &value)
{
    publish(m_cloudProfileAvatarRefreshToken, value);
}
void QuorvinMacService::setCloudProfilePasswordSet(bool value)
{
    publish(m_cloudProfilePasswordSet, value);
}
void QuorvinMacService::setCloudHuaweiAccountLinked(bool value)
{
    publish(m_cloudHuaweiAccountLinked, value);
}
void QuorvinMacService::setCloudHuaweiAccountDisplayLabel(const QString &value)
{
    publish(m_cloudHuaweiAccountDisplayLabel, value);
}
void QuorvinMacService::setCloudPhoneLinked(bool value)
{
    publish(m_cloudPhoneLinked, value);
}
void QuorvinMacService::setCloudPhoneDisplayLabel(const QString &value)
{
    publish(m_cloudPhoneDisplayLabel, value);
}
void QuorvinMacService::setCloudPhoneNumber(const QString &value)
{
    publish(m_cloudPhoneNumber, value);
}
void QuorvinMacService::setCloudDeviceSessions(const QList<CloudDeviceSessionPayload> &value)
{
    m_cloudDeviceSessions = value;
    Q_EMIT changed();
}
void QuorvinMacService::setIsCloudDevicesRefreshing(bool value)
{
    publish(m_isCloudDevicesRefreshing, value);
}
void QuorvinMacService::setIsCloudProfileRefreshing(bool value)
{
    publish(m_isCloudProfileRefreshing, value);
}
void QuorvinMacService::setIsCloudProfileSaving(bool value)
{
    publish(m_isCloudProfileSaving, value);
}
void QuorvinMacService::setCloudProfileStatus(const QString &value)
{
    publish(m_cloudProfileStatus, value);
}
void QuorvinMacService::setCloudDeviceRevokingSessionID(const QString &value)
{
    publish(m_cloudDeviceRevokingSessionID, value);
}
void QuorvinMacService::setCloudPhoneLoginStatus(const QString &value)
{
    publish(m_cloudPhoneLoginStatus, value);
}
void QuorvinMacService::setCloudPhoneCodeHint(const QString &value)
{
    publish(m_cloudPhoneCodeHint, value);
}
void QuorvinMacService::setCloudPhoneChallengeID(const QString &value)
{
    publish(m_cloudPhoneChallengeID, value);
}
void QuorvinMacService::setIsCloudPhoneCodeRequesting(bool value)
{
    publish(m_isCloudPhoneCodeRequesting, value);
}
void QuorvinMacService::setIsCloudPhoneCodeVerifying(bool value)
{
    publish(m_isCloudPhoneCodeVerifying, value);
}
void QuorvinMacService::setIsCloudPasswordLoggingIn(bool value)
{
    publish(m_isCloudPasswordLoggingIn, value);
}
void QuorvinMacService::setIsCloudAccountDeleting(bool value)
{
    publish(m_isCloudAccountDeleting, value);
}
void QuorvinMacService::setCloudInstallDeviceID(const QString &value)
{
    publish(m_cloudInstallDeviceID, value);
}

} // namespace quorvin
