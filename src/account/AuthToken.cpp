#include "sync/QuorvinMacService.h"

#include "platform/defaults/UserDefaults.h"
#include "sync/CloudErrors.h"
#include "sync/Strings.h"

#include <QRegularExpression>

namespace quorvin {

QString QuorvinMacService::normalizeCloudAuthTokenValue(const QString &value)
{
    const auto text = value.trimmed();
    if (text.isEmpty()) {
        return {};
    }
    static const QRegularExpression tokenPattern(QStringLiteral("qvk_[A-Za-z0-9_-]+"));
    if (const auto match = tokenPattern.match(text); match.hasMatch()) {
        return match.captured(0);
    }
    static const QString allowed = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_.~-");
    qsizetype length = 0;
    while (length < text.size() && allowed.contains(text.at(length))) {
        ++length;
    }
    return text.left(length);
}

QString QuorvinMacService::fnv1aHashString(const QString &text)
{
    quint64 hash = 0xcbf29ce484222325ULL;
    for (const char byte : text.toUtf8()) {
        hash ^= static_cast<quint8>(byte);
        hash *= 0x100000001b3ULL;
    }
    return QString::number(hash, 16);
}

QString QuorvinMacService::cloudAuthTokenMarkerValue(const QString &token)
{
    const auto text = token.trimmed();
    return text.isEmpty() ? QString() : fnv1aHashString(text);
}

void QuorvinMacService::normalizePersistedCloudAuthTokenIfNeeded()
{
    const auto normalized = normalizeCloudAuthTokenValue(m_cloudAuthToken);
    if (normalized == m_cloudAuthToken) {
        return;
    }
    setCloudAuthTokenValue(normalized);
    m_defaults.setString(SyncText::keyAuthToken, normalized);
    appendLog(normalized.isEmpty() ? SyncText::logTokenNormalizedEmpty : SyncText::logTokenNormalized);
}

void QuorvinMacService::reconcileCloudSyncStateWithAuthToken()
{
    const auto marker = cloudAuthTokenMarkerValue(normalizeCloudAuthTokenValue(m_cloudAuthToken));
    if (marker == m_cloudAuthTokenMarker) {
        return;
    }
    m_cloudAuthTokenMarker = marker;
    m_defaults.setString(SyncText::keyAuthTokenMarker, marker);
    m_cloudPushCursorNeedsRebase = true;
    clearCloudSyncState(marker.isEmpty() ? SyncText::clearTokenUnavailable : SyncText::clearTokenIdentityChanged);
}

void QuorvinMacService::applyCloudAuthToken(const QString &token, const QString &logMessage)
{
    const auto oldMarker = m_cloudAuthTokenMarker;
    if (token != m_cloudAuthToken) {
        // A pass still running for the old token must not write its results into the new state.
        ++m_syncStateEpoch;
    }
    m_lastLoggedCloudSyncPauseReason.reset();
    setCloudAuthTokenValue(token);
    m_defaults.setString(SyncText::keyAuthToken, token);
    appendLog(logMessage);
    if (token.isEmpty()) {
        clearCloudAccountState();
    }
    const auto marker = cloudAuthTokenMarkerValue(token);
    if (marker != oldMarker) {
        m_cloudAuthTokenMarker = marker;
        m_defaults.setString(SyncText::keyAuthTokenMarker, marker);
        m_cloudPushCursorNeedsRebase = true;
        clearCloudSyncState(token.isEmpty() ? SyncText::clearTokenCleared : SyncText::clearTokenChanged);
    }
    if (m_cloudSyncWaitTask) {
        m_cloudSyncWaitTask->cancel();
        m_cloudSyncWaitTask.reset();
    }
}

void QuorvinMacService::clearCloudAccountState()
{
    setCloudUserID({});
    setCloudSessionID({});
    setCloudSessionDeviceID({});
    setCloudSessionClientKind({});
    setCloudProfileNickname({});
    setCloudProfileAvatarURL({});
    setCloudProfileAvatarRefreshToken({});
    setCloudProfilePasswordSet(false);
    setCloudHuaweiAccountLinked(false);
    setCloudHuaweiAccountDisplayLabel({});
    setCloudPhoneLinked(false);
    setCloudPhoneDisplayLabel({});
    setCloudPhoneNumber({});
    setCloudDeviceSessions({});
    setIsCloudDevicesRefreshing(false);
    setIsCloudProfileRefreshing(false);
    setIsCloudProfileSaving(false);
    setCloudProfileStatus({});
    setCloudDeviceRevokingSessionID({});
    setCloudPhoneLoginStatus({});
    setCloudPhoneCodeHint({});
    setCloudPhoneChallengeID({});
    setIsCloudPhoneCodeRequesting(false);
    setIsCloudPhoneCodeVerifying(false);
    setIsCloudPasswordLoggingIn(false);

    m_defaults.remove(SyncText::keyUserID);
    m_defaults.remove(SyncText::keySessionID);
    m_defaults.remove(SyncText::keySessionDeviceID);
    m_defaults.remove(SyncText::keySessionClientKind);
    m_defaults.remove(SyncText::keyProfileNickname);
    m_defaults.remove(SyncText::keyProfileAvatarURL);
    m_defaults.remove(SyncText::keyProfileAvatarRefreshToken);
    m_defaults.setBoolean(SyncText::keyProfilePasswordSet, false);
    m_defaults.setBoolean(SyncText::keyHuaweiAccountLinked, false);
    m_defaults.remove(SyncText::keyHuaweiAccountDisplayLabel);
    m_defaults.setBoolean(SyncText::keyPhoneLinked, false);
    m_defaults.remove(SyncText::keyPhoneDisplayLabel);
    m_defaults.remove(SyncText::keyPhoneNumber);
}

bool QuorvinMacService::handleCloudAccessFailure(const std::exception &error, const QString &trigger)
{
    const auto *known = dynamic_cast<const Error *>(&error);
    if (!known || !isCloudHTTPError(*known, 401)) {
        return false;
    }
    applyCloudAuthToken(QString(), SyncText::logTokenInvalidPrefix + trigger + SyncText::logTokenInvalidSuffix);
    markSyncFailure(SyncText::sessionExpired);
    return true;
}

} // namespace quorvin
