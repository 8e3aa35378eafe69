// Sign-in, the exchange for a session of this machine, the session refresh and logout.

#include "account/CloudAccount.h"

#include "account/CloudAccountCall.h"
#include "account/CloudAccountOwner.h"
#include "account/MaskPhoneForLog.h"
#include "account/ShortCloudIdentifier.h"
#include "account/Strings.h"
#include "activity/ActivityLog.h"
#include "activity/Strings.h"
#include "cloud/CloudSyncClient.h"
#include "model/SyncError.h"
#include "platform/concurrency/Spawn.h"
#include "platform/core/DiagnosticSink.h"
#include "platform/defaults/UserDefaults.h"

#include <QPointer>

namespace quorvin {

namespace {
QString trimmedOrEmpty(const std::optional<QString> &value)
{
    return value.value_or(QString()).trimmed();
}
} // namespace

QString CloudAccount::errorDescription(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Error &known) {
        return known.description();
    } catch (const std::exception &other) {
        return QString::fromUtf8(other.what());
    } catch (...) {
        return {};
    }
}

// A login answer without a token signs nobody in: it is reported as the failed login it is, and
// nothing of it (user, session, phone) is kept.
std::exception_ptr CloudAccount::emptyLoginTokenFailure(const CloudPhoneLoginResponse &response)
{
    if (!normalizeCloudAuthTokenValue(response.access_token).isEmpty()) {
        return {};
    }
    return std::make_exception_ptr(SyncError::invalidRequest(AccountText::loginEmptyToken));
}

bool CloudAccount::handleCloudAccessFailure(const std::exception_ptr &error, const QString &trigger)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &failure) {
        return handleCloudAccessFailure(failure, trigger);
    } catch (...) {
        return false;
    }
}

// ---- a token the user supplied

void CloudAccount::updateCloudAuthToken(const QString &value)
{
    const QString token = normalizeCloudAuthTokenValue(value);
    if (token.isEmpty()) {
        applyCloudAuthToken(QString(), AccountText::logTokenCleared);
        return;
    }
    spawn(exchangeAndStoreCloudAuthToken(token), AccountText::taskAccount);
}

QCoro::Task<void> CloudAccount::exchangeAndStoreCloudAuthToken(QString token)
{
    QPointer<CloudAccount> self(this);
    const QString baseURL = normalizedCloudBaseURL();
    if (baseURL.isEmpty()) {
        applyCloudAuthToken(token, AccountText::logTokenWithoutBaseURL);
        co_await refreshCloudSession(AccountText::triggerTokenUpdated);
        if (!self) {
            co_return;
        }
        m_owner.startCloudRealtimeWaitIfNeeded();
        m_owner.scheduleCloudSync(AccountText::triggerTokenUpdated, std::nullopt);
        co_return;
    }

    // The token is not stored before the exchange: clients of their own carry it.
    const auto session = co_await awaitReply(
        baseURL, token, OnTokenChange::keep, [](const CloudSyncClient &client) { return client.currentSession(); });
    if (session.gone) {
        co_return;
    }
    std::optional<CloudSessionExchangeResponse> exchange;
    std::exception_ptr failure = session.failure;
    if (!failure) {
        auto reply = co_await awaitReply(baseURL, token, OnTokenChange::keep, [&](const CloudSyncClient &client) {
            return client.exchangeCloudSession(AccountText::clientKind, mqvCloudDeviceID(session.value->user_id),
                deviceLabel(), AccountText::platform, CloudSyncClient::defaultAppVersion());
        });
        if (reply.gone) {
            co_return;
        }
        exchange = std::move(reply.value);
        failure = reply.failure;
    }
    QString macToken;
    if (!failure) {
        macToken = normalizeCloudAuthTokenValue(exchange->access_token);
        if (macToken.isEmpty()) {
            failure = std::make_exception_ptr(SyncError::invalidRequest(AccountText::exchangeEmptyToken));
        }
    }

    if (failure) {
        // The user's token is never lost: it is stored as given and checked by a session refresh.
        applyCloudAuthToken(token, AccountText::logTokenExchangeFailed + errorDescription(failure));
        co_await refreshCloudSession(AccountText::triggerTokenFallback);
        if (!self) {
            co_return;
        }
        m_owner.startCloudRealtimeWaitIfNeeded();
        m_owner.scheduleCloudSync(AccountText::triggerTokenUpdated, std::nullopt);
        co_return;
    }

    applyCloudAuthToken(macToken, AccountText::logTokenExchanged);
    applyCloudSession(CloudAuthSessionResponse {exchange->user_id,
        exchange->profile ? exchange->profile : session.value->profile, session.value->identities, exchange->session});
    co_await refreshCloudDevices(AccountText::triggerTokenExchanged, false);
    if (!self) {
        co_return;
    }
    m_owner.startCloudRealtimeWaitIfNeeded();
    m_owner.scheduleCloudSync(AccountText::triggerTokenExchanged, std::nullopt);
}

// ---- sign-in

void CloudAccount::requestCloudPhoneCode(const QString &phoneNumber)
{
    const QString phone = phoneNumber.trimmed();
    if (phone.isEmpty()) {
        return;
    }
    if (m_phoneCodeActivity != PhoneCodeActivity::idle) {
        return;
    }
    const QString baseURL = normalizedCloudBaseURL();
    if (baseURL.isEmpty()) {
        setCloudPhoneLoginStatus(AccountText::missingBaseURL);
        m_owner.markSyncFailure(AccountText::missingBaseURL);
        return;
    }
    beginPhoneCodeActivity(PhoneCodeActivity::requesting);
    setCloudPhoneLoginStatus(AccountText::statusSendingCode);
    setCloudPhoneCodeHint(QString());
    spawn(runCloudPhoneCodeRequest(baseURL, phone), AccountText::taskAccount);
}

QCoro::Task<void> CloudAccount::runCloudPhoneCodeRequest(QString baseURL, QString phone)
{
    const BusyScope busy(
        this, [](CloudAccount &account) { account.endPhoneCodeActivity(PhoneCodeActivity::requesting); });
    const auto reply = co_await awaitReply(baseURL, QString(), OnTokenChange::keep,
        [&phone](const CloudSyncClient &client) { return client.requestPhoneLoginCode(phone); });
    if (reply.gone) {
        co_return;
    }
    if (reply.failure) {
        const QString description = errorDescription(reply.failure);
        setCloudPhoneLoginStatus(description);
        m_log.appendLog(AccountText::logCodeRequestFailed + description);
        m_owner.markSyncFailure(AccountText::codeRequestFailed);
        co_return;
    }
    const CloudPhoneCodeRequestResponse &answer = *reply.value;
    setCloudPhoneChallengeID(answer.challenge_id.trimmed());
    const QString devCode = trimmedOrEmpty(answer.dev_code);
    setCloudPhoneCodeHint(
        devCode.isEmpty() ? AccountText::cloudPhoneCodeSmsHint : AccountText::devCodeHintPrefix + devCode);
    if (answer.expires_at.trimmed().isEmpty()) {
        setCloudPhoneLoginStatus(AccountText::cloudPhoneCodeSmsHint);
    } else {
        QString expiry = answer.expires_at;
        expiry.replace(u'T', u' ').remove(u'Z');
        setCloudPhoneLoginStatus(AccountText::cloudPhoneCodeSmsHint + AccountText::codeExpiryInfix + expiry);
    }
    m_log.appendLog(AccountText::logCodeRequested + maskPhoneForLog(phone));
}

void CloudAccount::verifyCloudPhoneCode(const QString &phoneNumber, const QString &code)
{
    const QString phone = phoneNumber.trimmed();
    const QString trimmedCode = code.trimmed();
    const QString challengeID = m_cloudPhoneChallengeID.trimmed();
    if (phone.isEmpty() || trimmedCode.isEmpty() || challengeID.isEmpty()) {
        return;
    }
    if (m_phoneCodeActivity != PhoneCodeActivity::idle) {
        return;
    }
    const QString baseURL = normalizedCloudBaseURL();
    if (baseURL.isEmpty()) {
        setCloudPhoneLoginStatus(AccountText::missingBaseURL);
        m_owner.markSyncFailure(AccountText::missingBaseURL);
        return;
    }
    beginPhoneCodeActivity(PhoneCodeActivity::verifying);
    setCloudPhoneLoginStatus(AccountText::statusCodeLoggingIn);
    spawn(runCloudPhoneCodeLogin(baseURL, phone, challengeID, trimmedCode), AccountText::taskAccount);
}

QCoro::Task<void> CloudAccount::runCloudPhoneCodeLogin(
    QString baseURL, QString phone, QString challengeID, QString code)
{
    const BusyScope busy(
        this, [](CloudAccount &account) { account.endPhoneCodeActivity(PhoneCodeActivity::verifying); });
    // The login itself names no device; the exchange that follows does.
    const auto reply = co_await awaitReply(baseURL, QString(), OnTokenChange::keep, [&](const CloudSyncClient &client) {
        return client.loginWithPhoneCode(phone, challengeID, code, AccountText::clientKind, std::nullopt, deviceLabel(),
            AccountText::platform, CloudSyncClient::defaultAppVersion());
    });
    // The challenge stays after a failure, so another code can be tried.
    co_await concludePhoneLogin(reply, baseURL, phone,
        {AccountText::logCodeLoginFailed, AccountText::codeLoginFailed, AccountText::logCodeLoginSucceeded,
            AccountText::phoneLoggedIn});
}

// Either way of signing in with the phone ends the same: a failure is said and logged; a success
// stores the session, spends the challenge and keeps the number for the next sign-in.
QCoro::Task<void> CloudAccount::concludePhoneLogin(
    Reply<CloudPhoneLoginResponse> reply, QString baseURL, QString phone, PhoneLoginTexts texts)
{
    if (reply.gone) {
        co_return;
    }
    if (const auto failure = reply.failure ? reply.failure : emptyLoginTokenFailure(*reply.value)) {
        const QString description = errorDescription(failure);
        setCloudPhoneLoginStatus(description);
        m_log.appendLog(texts.failedLogLine + description);
        m_owner.markSyncFailure(texts.failedOutcome);
        co_return;
    }
    QPointer<CloudAccount> self(this);
    co_await storePhoneLoginResponse(*reply.value, baseURL);
    if (!self) {
        co_return;
    }
    rememberCloudPhoneNumber(phone);
    setCloudPhoneChallengeID(QString());
    setCloudPhoneCodeHint(QString());
    setCloudPhoneLoginStatus(AccountText::phoneLoggedIn);
    m_log.appendLog(texts.succeededLogLine + shortCloudIdentifier(reply.value->user_id));
    m_owner.markSyncSuccess(texts.outcome);
    m_activityLog.appendActivityLog(ActivityText::categoryUser, texts.outcome, {});
}

void CloudAccount::loginWithCloudPassword(const QString &phoneNumber, const QString &password)
{
    const QString phone = phoneNumber.trimmed();
    if (phone.isEmpty() || password.isEmpty()) {
        return;
    }
    if (m_phoneCodeActivity != PhoneCodeActivity::idle || m_isCloudPasswordLoggingIn) {
        return;
    }
    const QString baseURL = normalizedCloudBaseURL();
    if (baseURL.isEmpty()) {
        setCloudPhoneLoginStatus(AccountText::missingBaseURL);
        m_owner.markSyncFailure(AccountText::missingBaseURL);
        return;
    }
    setIsCloudPasswordLoggingIn(true);
    setCloudPhoneLoginStatus(AccountText::statusPasswordLoggingIn);
    spawn(runCloudPasswordLogin(baseURL, phone, password), AccountText::taskAccount);
}

QCoro::Task<void> CloudAccount::runCloudPasswordLogin(QString baseURL, QString phone, QString password)
{
    const BusyScope busy(this, [](CloudAccount &account) { account.setIsCloudPasswordLoggingIn(false); });
    const auto reply = co_await awaitReply(baseURL, QString(), OnTokenChange::keep, [&](const CloudSyncClient &client) {
        return client.loginWithPassword(phone, password, AccountText::clientKind, std::nullopt, deviceLabel(),
            AccountText::platform, CloudSyncClient::defaultAppVersion());
    });
    co_await concludePhoneLogin(reply, baseURL, phone,
        {AccountText::logPasswordLoginFailed, AccountText::passwordLoginFailed, AccountText::logPasswordLoginSucceeded,
            AccountText::passwordLoggedIn});
}

QCoro::Task<void> CloudAccount::storePhoneLoginResponse(CloudPhoneLoginResponse response, QString baseURL)
{
    QPointer<CloudAccount> self(this);
    const QString loginToken = normalizeCloudAuthTokenValue(response.access_token);
    const CloudAuthSessionResponse loginSession {
        response.user_id, response.profile, QList<CloudIdentityPayload> {response.identity}, response.session};
    if (loginToken.isEmpty()) {
        co_return;
    }

    const auto reply
        = co_await awaitReply(baseURL, loginToken, OnTokenChange::keep, [&](const CloudSyncClient &client) {
              return client.exchangeCloudSession(AccountText::clientKind, mqvCloudDeviceID(response.user_id),
                  deviceLabel(), AccountText::platform, CloudSyncClient::defaultAppVersion());
          });
    if (reply.gone) {
        co_return;
    }
    const auto &exchange = reply.value;
    std::exception_ptr failure = reply.failure;
    QString macToken;
    if (!failure) {
        macToken = normalizeCloudAuthTokenValue(exchange->access_token);
        if (macToken.isEmpty()) {
            failure = std::make_exception_ptr(SyncError::invalidRequest(AccountText::exchangeEmptyToken));
        }
    }

    if (!failure) {
        applyCloudAuthToken(macToken, AccountText::logLoginExchanged);
        applyCloudSession(
            CloudAuthSessionResponse {exchange->user_id, exchange->profile ? exchange->profile : response.profile,
                QList<CloudIdentityPayload> {response.identity}, exchange->session});
        // The login session has served its purpose; this machine's own session ends it.
        if (const QString loginSessionID = trimmedOrEmpty(response.session.session_id); !loginSessionID.isEmpty()) {
            const auto revoked = co_await awaitReply(baseURL, macToken, OnTokenChange::keep,
                [&](const CloudSyncClient &client) { return client.revokeCloudDeviceSession(loginSessionID); });
            if (revoked.gone) {
                co_return;
            }
        }
    } else {
        applyCloudAuthToken(loginToken, AccountText::logLoginExchangeFailed + errorDescription(failure));
        applyCloudSession(loginSession);
    }

    co_await refreshCloudDevices(AccountText::triggerPhoneLogin, false);
    if (!self) {
        co_return;
    }
    m_owner.startCloudRealtimeWaitIfNeeded();
    m_owner.scheduleCloudSync(AccountText::triggerPhoneLogin, std::nullopt);
}

// ---- the session

QCoro::Task<void> CloudAccount::refreshCloudSession(QString trigger)
{
    const QString baseURL = normalizedCloudBaseURL();
    const QString token = currentToken();
    if (baseURL.isEmpty() || token.isEmpty()) {
        co_return;
    }
    QPointer<CloudAccount> self(this);
    const auto reply = co_await awaitReply(
        baseURL, token, OnTokenChange::drop, [](const CloudSyncClient &client) { return client.currentSession(); });
    if (reply.gone || reply.stale) {
        co_return;
    }
    if (reply.failure) {
        if (handleCloudAccessFailure(reply.failure, trigger)) {
            co_return;
        }
        m_log.appendLog(AccountText::logSessionRefreshFailedPrefix + trigger + AccountText::logFailureSeparator
            + errorDescription(reply.failure));
        m_owner.markSyncFailure(AccountText::sessionCheckFailed);
        co_return;
    }
    applyCloudSession(*reply.value);
    m_log.appendLog(AccountText::logSessionRefreshedPrefix + trigger + AccountText::logSessionRefreshedUser
        + shortCloudIdentifier(reply.value->user_id));
    co_await updateCurrentCloudDeviceContext(trigger + AccountText::triggerSessionSuffix);
    if (!self) {
        co_return;
    }
    co_await refreshCloudDevices(trigger + AccountText::triggerSessionSuffix, false);
}

void CloudAccount::applyCloudSession(const CloudAuthSessionResponse &response)
{
    const QString userID = response.user_id.trimmed();
    // Before the user id changes, so that the previous user can be compared with the next one.
    resetCloudSyncStateForUserChangeIfNeeded(userID, AccountText::sessionRefreshedReason);
    setCloudUserID(userID);
    setCloudSessionID(trimmedOrEmpty(response.session.session_id));
    setCloudSessionDeviceID(trimmedOrEmpty(response.session.device_id));
    setCloudSessionClientKind(trimmedOrEmpty(response.session.client_kind));
    m_defaults.setString(AccountText::keyUserID, m_cloudUserID);
    m_defaults.setString(AccountText::keySessionID, m_cloudSessionID);
    m_defaults.setString(AccountText::keySessionDeviceID, m_cloudSessionDeviceID);
    m_defaults.setString(AccountText::keySessionClientKind, m_cloudSessionClientKind);
    applyCloudProfile(response.profile);
    if (response.identities) {
        applyCloudIdentities(*response.identities);
    }
}

void CloudAccount::applyCurrentCloudDeviceSession(const CloudDeviceSessionPayload &session)
{
    if (const QString value = trimmedOrEmpty(session.session_id); !value.isEmpty()) {
        setCloudSessionID(value);
        m_defaults.setString(AccountText::keySessionID, value);
    }
    if (const QString value = trimmedOrEmpty(session.device_id); !value.isEmpty()) {
        setCloudSessionDeviceID(value);
        m_defaults.setString(AccountText::keySessionDeviceID, value);
    }
    if (const QString value = trimmedOrEmpty(session.client_kind); !value.isEmpty()) {
        setCloudSessionClientKind(value);
        m_defaults.setString(AccountText::keySessionClientKind, value);
    }
}

// ---- logout

void CloudAccount::logoutCloudSession()
{
    const QString baseURL = normalizedCloudBaseURL();
    const QString token = currentToken();
    if (token.isEmpty()) {
        updateCloudAuthToken(QString());
        return;
    }
    // One logout at a time: a second press while the request waits would send a second request
    // and write a second entry.
    if (m_isLoggingOut) {
        return;
    }
    m_isLoggingOut = true;
    spawn(runLogout(baseURL, token), AccountText::taskAccount);
}

QCoro::Task<void> CloudAccount::runLogout(QString baseURL, QString token)
{
    if (!baseURL.isEmpty()) {
        const auto reply = co_await awaitReply(
            baseURL, token, OnTokenChange::keep, [](const CloudSyncClient &client) { return client.logout(); });
        if (reply.gone) {
            co_return;
        }
        m_log.appendLog(reply.failure ? AccountText::logLogoutFailed + errorDescription(reply.failure)
                                      : AccountText::logLogoutRevoked);
    }
    m_isLoggingOut = false;
    // Another account signed in while the request waited (the session ended meanwhile and the
    // user signed in again): the logout was of the old token, and the new account stays.
    if (!isCurrentOrSignedOut(token)) {
        m_log.appendLog(AccountText::logLogoutSuperseded);
        co_return;
    }
    // Signed out here whatever the service said: the server session is then simply not ended by us.
    setCloudPhoneChallengeID(QString());
    setCloudPhoneCodeHint(QString());
    setCloudPhoneLoginStatus(QString());
    updateCloudAuthToken(QString());
    m_owner.markSyncSuccess(AccountText::loggedOut);
    m_activityLog.appendActivityLog(
        ActivityText::categoryUser, AccountText::activityLoggedOut, {AccountText::activityLoggedOutDetail});
}

} // namespace quorvin
