#include "account/CloudAccount.h"

#include "account/CloudAccountOwner.h"
#include "account/Fnv1aHash.h"
#include "account/ShortCloudIdentifier.h"
#include "account/Strings.h"
#include "cloud/CloudHTTPError.h"
#include "cloud/CloudSyncClient.h"
#include "matching/CloudSyncState.h"
#include "platform/core/DiagnosticSink.h"
#include "platform/defaults/UserDefaults.h"

#include <QRegularExpression>

namespace quorvin {

CloudAccount::CloudAccount(UserDefaults &defaults, CloudSyncState &syncState, DiagnosticSink &log,
    ActivityLog &activityLog, CloudAccountOwner &owner, HttpSession &http, Clock &clock,
    const DeviceIdentitySource &deviceSource, QObject *parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_syncState(syncState)
    , m_log(log)
    , m_activityLog(activityLog)
    , m_owner(owner)
    , m_http(http)
    , m_clock(clock)
    , m_deviceIdentity(defaults, deviceSource)
{
    auto text = [&defaults](const QString &key) { return defaults.string(key).value_or(QString()); };
    auto flag = [&defaults](const QString &key) { return defaults.boolean(key).value_or(false); };
    m_cloudAuthToken = text(AccountText::keyAuthToken);
    m_cloudUserID = text(AccountText::keyUserID);
    m_cloudProfileNickname = text(AccountText::keyProfileNickname);
    m_cloudProfileAvatarURL = text(AccountText::keyProfileAvatarURL);
    m_cloudProfileAvatarRefreshToken = text(AccountText::keyProfileAvatarRefreshToken);
    m_cloudProfilePasswordSet = flag(AccountText::keyProfilePasswordSet);
    m_cloudSessionID = text(AccountText::keySessionID);
    m_cloudSessionDeviceID = text(AccountText::keySessionDeviceID);
    m_cloudSessionClientKind = text(AccountText::keySessionClientKind);
    m_cloudHuaweiAccountLinked = flag(AccountText::keyHuaweiAccountLinked);
    m_cloudHuaweiAccountDisplayLabel = text(AccountText::keyHuaweiAccountDisplayLabel);
    m_cloudPhoneLinked = flag(AccountText::keyPhoneLinked);
    m_cloudPhoneDisplayLabel = text(AccountText::keyPhoneDisplayLabel);
    m_cloudPhoneNumber = text(AccountText::keyPhoneNumber);
    m_cloudAuthTokenMarker = text(AccountText::keyAuthTokenMarker);
}

CloudAccount::~CloudAccount()
{
    m_lifetime.cancel();
}

QString CloudAccount::currentToken() const
{
    return normalizeCloudAuthTokenValue(m_cloudAuthToken);
}

bool CloudAccount::isCurrentOrSignedOut(const QString &token) const
{
    const QString current = currentToken();
    return current.isEmpty() || current == token;
}

QString CloudAccount::normalizedCloudBaseURL() const
{
    return quorvin::normalizedCloudBaseURL(m_defaults);
}

CloudSyncClient CloudAccount::makeClient(const QString &baseURL, const QString &token) const
{
    CloudSyncClient client(m_http, baseURL, token, m_clock);
    client.setCancelToken(m_lifetime.token());
    return client;
}

QString CloudAccount::deviceLabel()
{
    const QString label = currentMacDeviceDisplayName();
    return label.isEmpty() ? AccountText::deviceLabelFallback : label;
}

QString CloudAccount::currentCloudDeviceIDForOwnEdits()
{
    if (QString session = m_cloudSessionDeviceID.trimmed(); !session.isEmpty()) {
        return session;
    }
    return mqvCloudDeviceID(m_cloudUserID);
}

// ---- the token

QString CloudAccount::normalizeCloudAuthTokenValue(const QString &value)
{
    const auto text = value.trimmed();
    if (text.isEmpty()) {
        return {};
    }
    static const QRegularExpression tokenPattern(AccountText::tokenPattern);
    if (const auto match = tokenPattern.match(text); match.hasMatch()) {
        return match.captured(0);
    }
    qsizetype length = 0;
    while (length < text.size() && AccountText::tokenCharacters.contains(text.at(length))) {
        ++length;
    }
    return text.left(length);
}

QString CloudAccount::fnv1aHashString(const QString &text)
{
    return quorvin::fnv1aHashString(text);
}

QString CloudAccount::cloudAuthTokenMarkerValue(const QString &token)
{
    const auto text = token.trimmed();
    return text.isEmpty() ? QString() : fnv1aHashString(text);
}

void CloudAccount::setCloudAuthTokenValue(const QString &value)
{
    if (publish(m_cloudAuthToken, value)) {
        Q_EMIT cloudAuthTokenChanged(value);
    }
}

void CloudAccount::normalizePersistedCloudAuthTokenIfNeeded()
{
    const auto normalized = normalizeCloudAuthTokenValue(m_cloudAuthToken);
    if (normalized == m_cloudAuthToken) {
        return;
    }
    setCloudAuthTokenValue(normalized);
    m_defaults.setString(AccountText::keyAuthToken, normalized);
    m_log.appendLog(normalized.isEmpty() ? AccountText::logTokenNormalizedEmpty : AccountText::logTokenNormalized);
}

void CloudAccount::reconcileCloudSyncStateWithAuthToken()
{
    const auto marker = cloudAuthTokenMarkerValue(normalizeCloudAuthTokenValue(m_cloudAuthToken));
    if (marker == m_cloudAuthTokenMarker) {
        return;
    }
    m_cloudAuthTokenMarker = marker;
    m_defaults.setString(AccountText::keyAuthTokenMarker, marker);
    m_syncState.setCloudPushCursorNeedsRebase(true);
    m_syncState.clearCloudSyncState(
        marker.isEmpty() ? AccountText::clearTokenUnavailable : AccountText::clearTokenIdentityChanged);
}

void CloudAccount::applyCloudAuthToken(const QString &token, const QString &logMessage)
{
    const auto oldMarker = m_cloudAuthTokenMarker;
    if (token != m_cloudAuthToken) {
        // A pass still running for the old token must not write its results into the new state.
        m_syncState.raiseSyncStateEpoch();
    }
    setCloudAuthTokenValue(token);
    m_defaults.setString(AccountText::keyAuthToken, token);
    m_log.appendLog(logMessage);
    if (token.isEmpty()) {
        clearCloudAccountState();
    }
    const auto marker = cloudAuthTokenMarkerValue(token);
    if (marker != oldMarker) {
        m_cloudAuthTokenMarker = marker;
        m_defaults.setString(AccountText::keyAuthTokenMarker, marker);
        m_syncState.setCloudPushCursorNeedsRebase(true);
        m_syncState.clearCloudSyncState(
            token.isEmpty() ? AccountText::clearTokenCleared : AccountText::clearTokenChanged);
    }
    m_owner.cloudAuthTokenApplied();
}

void CloudAccount::clearCloudAccountState()
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
    publish(m_phoneCodeActivity, PhoneCodeActivity::idle);
    setIsCloudPasswordLoggingIn(false);

    m_defaults.remove(AccountText::keyUserID);
    m_defaults.remove(AccountText::keySessionID);
    m_defaults.remove(AccountText::keySessionDeviceID);
    m_defaults.remove(AccountText::keySessionClientKind);
    m_defaults.remove(AccountText::keyProfileNickname);
    m_defaults.remove(AccountText::keyProfileAvatarURL);
    m_defaults.remove(AccountText::keyProfileAvatarRefreshToken);
    m_defaults.setBoolean(AccountText::keyProfilePasswordSet, false);
    m_defaults.setBoolean(AccountText::keyHuaweiAccountLinked, false);
    m_defaults.remove(AccountText::keyHuaweiAccountDisplayLabel);
    m_defaults.setBoolean(AccountText::keyPhoneLinked, false);
    m_defaults.remove(AccountText::keyPhoneDisplayLabel);
    m_defaults.remove(AccountText::keyPhoneNumber);
}

bool CloudAccount::handleCloudAccessFailure(const std::exception &error, const QString &trigger)
{
    const auto *known = dynamic_cast<const Error *>(&error);
    if (!known || !CloudHTTPError::hasStatus(*known, 401)) {
        return false;
    }
    applyCloudAuthToken(QString(), AccountText::logTokenInvalidPrefix + trigger + AccountText::logTokenInvalidSuffix);
    m_owner.markSyncFailure(AccountText::sessionExpired);
    return true;
}

void CloudAccount::resetCloudSyncStateForUserChangeIfNeeded(const QString &nextUserID, const QString &reason)
{
    const QString previous = m_cloudUserID.trimmed();
    const QString next = nextUserID.trimmed();
    if (next.isEmpty()) {
        return;
    }
    if (!previous.isEmpty() && previous != next) {
        m_syncState.setCloudPushCursorNeedsRebase(true);
        m_syncState.clearCloudSyncState(reason + AccountText::userChangedInfix + shortCloudIdentifier(previous)
            + AccountText::userChangedArrow + shortCloudIdentifier(next) + AccountText::userChangedSuffix);
        return;
    }
    if (previous.isEmpty() && m_syncState.holdsState()) {
        m_syncState.setCloudPushCursorNeedsRebase(true);
        m_syncState.clearCloudSyncState(reason + AccountText::userResolvedSuffix);
    }
}

// ---- published account setters

void CloudAccount::setCloudUserID(const QString &value)
{
    publish(m_cloudUserID, value);
}

void CloudAccount::setCloudSessionID(const QString &value)
{
    publish(m_cloudSessionID, value);
}

void CloudAccount::setCloudSessionDeviceID(const QString &value)
{
    publish(m_cloudSessionDeviceID, value);
}

void CloudAccount::setCloudSessionClientKind(const QString &value)
{
    publish(m_cloudSessionClientKind, value);
}

void CloudAccount::setCloudPhoneLoginStatus(const QString &value)
{
    if (publish(m_cloudPhoneLoginStatus, value)) {
        Q_EMIT cloudPhoneLoginStatusChanged(value);
    }
}

void CloudAccount::setCloudPhoneCodeHint(const QString &value)
{
    publish(m_cloudPhoneCodeHint, value);
}

void CloudAccount::setCloudPhoneChallengeID(const QString &value)
{
    publish(m_cloudPhoneChallengeID, value);
}

void CloudAccount::beginPhoneCodeActivity(PhoneCodeActivity activity)
{
    publish(m_phoneCodeActivity, activity);
}

void CloudAccount::endPhoneCodeActivity(PhoneCodeActivity activity)
{
    if (m_phoneCodeActivity == activity) {
        publish(m_phoneCodeActivity, PhoneCodeActivity::idle);
    }
}

void CloudAccount::setIsCloudPasswordLoggingIn(bool value)
{
    publish(m_isCloudPasswordLoggingIn, value);
}

void CloudAccount::setCloudDeviceSessions(const QList<CloudDeviceSessionPayload> &value)
{
    m_cloudDeviceSessions = value;
    Q_EMIT changed();
}

void CloudAccount::setIsCloudDevicesRefreshing(bool value)
{
    publish(m_isCloudDevicesRefreshing, value);
}

void CloudAccount::setCloudDeviceRevokingSessionID(const QString &value)
{
    publish(m_cloudDeviceRevokingSessionID, value);
}

void CloudAccount::setCloudProfileNickname(const QString &value)
{
    if (publish(m_cloudProfileNickname, value)) {
        Q_EMIT cloudProfileNicknameChanged(value);
    }
}

void CloudAccount::setCloudProfileAvatarURL(const QString &value)
{
    publish(m_cloudProfileAvatarURL, value);
}

void CloudAccount::setCloudProfileAvatarRefreshToken(const QString &value)
{
    publish(m_cloudProfileAvatarRefreshToken, value);
}

void CloudAccount::setCloudProfilePasswordSet(bool value)
{
    publish(m_cloudProfilePasswordSet, value);
}

void CloudAccount::setCloudHuaweiAccountLinked(bool value)
{
    publish(m_cloudHuaweiAccountLinked, value);
}

void CloudAccount::setCloudHuaweiAccountDisplayLabel(const QString &value)
{
    publish(m_cloudHuaweiAccountDisplayLabel, value);
}

void CloudAccount::setCloudPhoneLinked(bool value)
{
    publish(m_cloudPhoneLinked, value);
}

void CloudAccount::setCloudPhoneDisplayLabel(const QString &value)
{
    publish(m_cloudPhoneDisplayLabel, value);
}

void CloudAccount::setCloudPhoneNumber(const QString &value)
{
    publish(m_cloudPhoneNumber, value);
}

void CloudAccount::setIsCloudProfileRefreshing(bool value)
{
    publish(m_isCloudProfileRefreshing, value);
}

void CloudAccount::setIsCloudProfileSaving(bool value)
{
    publish(m_isCloudProfileSaving, value);
}

void CloudAccount::setCloudProfileStatus(const QString &value)
{
    if (publish(m_cloudProfileStatus, value)) {
        Q_EMIT cloudProfileStatusChanged(value);
    }
}

void CloudAccount::setIsCloudAccountDeleting(bool value)
{
    publish(m_isCloudAccountDeleting, value);
}

} // namespace quorvin
