// The account's device sessions: this machine's device context, the list, and removing another
// device.

#include "account/CloudAccount.h"

#include "account/CloudAccountCall.h"
#include "account/CloudAccountOwner.h"
#include "account/ShortCloudIdentifier.h"
#include "account/Strings.h"
#include "activity/ActivityLog.h"
#include "activity/Strings.h"
#include "cloud/CloudSyncClient.h"
#include "platform/concurrency/Spawn.h"
#include "platform/core/DiagnosticSink.h"

#include <QPointer>

namespace quorvin {

QCoro::Task<void> CloudAccount::updateCurrentCloudDeviceContext(QString trigger)
{
    const QString baseURL = normalizedCloudBaseURL();
    const QString token = currentToken();
    const QString userID = m_cloudUserID.trimmed();
    if (baseURL.isEmpty() || token.isEmpty() || userID.isEmpty()) {
        co_return;
    }
    CloudSessionExchangeRequest device;
    device.client_kind = AccountText::clientKind;
    device.device_id = mqvCloudDeviceID(userID);
    device.device_label = deviceLabel();
    device.platform = AccountText::platform;

    const auto reply = co_await awaitReply(baseURL, token, OnTokenChange::drop,
        [&device](const CloudSyncClient &client) { return client.updateCurrentDevice(device); });
    if (reply.gone || reply.stale) {
        co_return;
    }
    if (reply.failure) {
        if (!handleCloudAccessFailure(reply.failure, trigger)) {
            m_log.appendLog(AccountText::logDeviceContextFailedPrefix + trigger + AccountText::logFailureSeparator
                + errorDescription(reply.failure));
        }
        co_return;
    }
    applyCurrentCloudDeviceSession(*reply.value);
    m_log.appendLog(AccountText::logDeviceContextUpdatedPrefix + trigger + AccountText::logDeviceContextUpdatedLabel
        + deviceLabel());
}

QCoro::Task<void> CloudAccount::refreshCloudDevices(QString trigger, bool updateStatus)
{
    if (m_isCloudDevicesRefreshing) {
        co_return;
    }
    const QString baseURL = normalizedCloudBaseURL();
    const QString token = currentToken();
    if (baseURL.isEmpty() || token.isEmpty()) {
        if (updateStatus) {
            m_log.appendLog(AccountText::logDevicesSkippedPrefix + trigger + AccountText::logDevicesSkippedSuffix);
            m_owner.markSyncFailure(AccountText::missingSyncToken);
        }
        co_return;
    }
    setIsCloudDevicesRefreshing(true);
    const BusyScope busy(this, [](CloudAccount &account) { account.setIsCloudDevicesRefreshing(false); });
    const auto reply = co_await awaitReply(
        baseURL, token, OnTokenChange::drop, [](const CloudSyncClient &client) { return client.devices(); });
    if (reply.gone || reply.stale) {
        co_return;
    }
    if (!reply.failure) {
        setCloudDeviceSessions(reply.value->sessions);
        m_log.appendLog(AccountText::logDevicesRefreshedPrefix + trigger + AccountText::logDevicesRefreshedCount
            + QString::number(reply.value->sessions.size()));
        if (updateStatus) {
            m_owner.markSyncSuccess(AccountText::devicesRefreshed);
        }
    } else if (!handleCloudAccessFailure(reply.failure, trigger)) {
        m_log.appendLog(AccountText::logDevicesFailedPrefix + trigger + AccountText::logFailureSeparator
            + errorDescription(reply.failure));
        if (updateStatus) {
            m_owner.markSyncFailure(AccountText::devicesRefreshFailed);
        }
    }
}

void CloudAccount::refreshCloudDevices()
{
    spawn(runManualDevicesRefresh(), AccountText::taskAccount);
}

QCoro::Task<void> CloudAccount::runManualDevicesRefresh()
{
    QPointer<CloudAccount> self(this);
    co_await updateCurrentCloudDeviceContext(AccountText::triggerManualRefreshDevices);
    if (!self) {
        co_return;
    }
    co_await refreshCloudDevices(AccountText::triggerManualRefresh, true);
}

void CloudAccount::revokeCloudDeviceSession(const QString &sessionID)
{
    const QString id = sessionID.trimmed();
    if (id.isEmpty()) {
        return;
    }
    if (!m_cloudDeviceRevokingSessionID.isEmpty()) {
        return;
    }
    if (id == m_cloudSessionID.trimmed()) {
        m_log.appendLog(AccountText::logRevokeOwnSession);
        m_owner.markSyncFailure(AccountText::cannotRemoveCurrentDevice);
        return;
    }
    const QString baseURL = normalizedCloudBaseURL();
    const QString token = currentToken();
    if (baseURL.isEmpty() || token.isEmpty()) {
        m_log.appendLog(AccountText::logRevokeSkipped);
        m_owner.markSyncFailure(AccountText::missingSyncToken);
        return;
    }
    setCloudDeviceRevokingSessionID(id);
    spawn(runCloudDeviceRevoke(baseURL, token, id), AccountText::taskAccount);
}

QCoro::Task<void> CloudAccount::runCloudDeviceRevoke(QString baseURL, QString token, QString sessionID)
{
    const BusyScope busy(this, [](CloudAccount &account) { account.setCloudDeviceRevokingSessionID(QString()); });
    const auto reply = co_await awaitReply(baseURL, token, OnTokenChange::drop,
        [&sessionID](const CloudSyncClient &client) { return client.revokeCloudDeviceSession(sessionID); });
    if (reply.gone || reply.stale) {
        co_return;
    }
    if (reply.failure) {
        if (!handleCloudAccessFailure(reply.failure, AccountText::triggerDeviceRevoke)) {
            m_log.appendLog(AccountText::logDeviceRevokeFailed + errorDescription(reply.failure));
            m_owner.markSyncFailure(AccountText::deviceRemoveFailed);
        }
        co_return;
    }
    QList<CloudDeviceSessionPayload> remaining;
    for (const CloudDeviceSessionPayload &session : std::as_const(m_cloudDeviceSessions)) {
        if (session.session_id.value_or(QString()).trimmed() != sessionID) {
            remaining.append(session);
        }
    }
    setCloudDeviceSessions(remaining);
    m_log.appendLog(AccountText::logDeviceRevoked + shortCloudIdentifier(sessionID));
    m_owner.markSyncSuccess(AccountText::deviceRemoved);
    m_activityLog.appendActivityLog(ActivityText::categoryUser, AccountText::activityDeviceRemoved, {});
    co_await refreshCloudDevices(AccountText::triggerDeviceRevoked, false);
}

} // namespace quorvin
