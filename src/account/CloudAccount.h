#pragma once

#include "account/CloudDeviceIdentity.h"
#include "model/CloudAuthSessionResponse.h"
#include "model/CloudDeviceSessionPayload.h"
#include "model/CloudIdentityPayload.h"
#include "model/CloudPhoneCodeRequestResponse.h"
#include "model/CloudPhoneLoginResponse.h"
#include "model/CloudUserProfilePayload.h"
#include "model/CloudUserProfileResponse.h"
#include "platform/concurrency/CancelToken.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <qcoro/qcorotask.h>

#include <exception>
#include <optional>
#include <type_traits>

namespace quorvin {

class ActivityLog;
class Clock;
class CloudAccountOwner;
class CloudSyncClient;
class CloudSyncState;
class DeviceIdentitySource;
class DiagnosticSink;
class HttpSession;
class UserDefaults;

// The cloud account of this machine: the one access token every cloud call carries, its marker
// (which token the cloud-side sync state belongs to), the published account state that goes with
// it (each field restored from the user defaults when the account is built), and every account
// operation: sign-in, the session of this machine, devices, profile, avatar, password, phone,
// logout and deletion.
//
// The token changes only through applyCloudAuthToken(). A token of another identity clears the
// cloud-side sync state and forces a rebase of the push cursor; an empty token also clears the
// account fields. The local reminders are never touched.
//
// Operations that return at once (the ones views call) check their guards, show their status,
// set their busy flag and start a task; views follow them through the published state. A task
// notes the token it started with and drops an answer that arrives after the token changed (it
// then only clears its own busy flag), so a late answer never lands in another account. Sign-in,
// the token exchange, logout and deletion change the token themselves and are not held to that.
// Destroying the account cancels its requests; a task that outlives it ends without effect.
class CloudAccount : public QObject {
    Q_OBJECT
public:
    // Everything handed in must outlive the account.
    CloudAccount(UserDefaults &defaults, CloudSyncState &syncState, DiagnosticSink &log, ActivityLog &activityLog,
        CloudAccountOwner &owner, HttpSession &http, Clock &clock, const DeviceIdentitySource &deviceSource,
        QObject *parent = nullptr);
    ~CloudAccount() override;

    // ---- the token
    // The token a stored or pasted value carries: the first "qvk_" token in it, or else its leading
    // run of token characters (possibly empty).
    static QString normalizeCloudAuthTokenValue(const QString &value);
    // 64-bit FNV-1a of the UTF-8 bytes, in lowercase hexadecimal without leading zeros.
    static QString fnv1aHashString(const QString &text);
    // Empty for a blank token, otherwise the hash of the trimmed token.
    static QString cloudAuthTokenMarkerValue(const QString &token);
    // Start-up, in this order: rewrite a stored token that normalises to another text, then clear
    // the cloud-side sync state when it was built for another token.
    void normalizePersistedCloudAuthTokenIfNeeded();
    void reconcileCloudSyncStateWithAuthToken();
    // `token` is already normalised; `logMessage` becomes a diagnostic line.
    void applyCloudAuthToken(const QString &token, const QString &logMessage);
    void clearCloudAccountState();
    // True when the failure was an HTTP 401 of the cloud service and the session has been ended;
    // the caller then reports nothing of its own.
    bool handleCloudAccessFailure(const std::exception &error, const QString &trigger);
    // Wipes the cloud-side sync state when the signed-in user differs from `nextUserID`, or when
    // state exists from before any user was known. A blank next user changes nothing.
    void resetCloudSyncStateForUserChangeIfNeeded(const QString &nextUserID, const QString &reason);
    // A token the user supplied: a blank one signs out at once; any other is exchanged for a
    // session of this machine in a task (kept as given when the exchange fails). Returns at once.
    void updateCloudAuthToken(const QString &value);
    // `token` is normalised and not empty.
    QCoro::Task<void> exchangeAndStoreCloudAuthToken(QString token);

    const QString &cloudAuthToken() const { return m_cloudAuthToken; }
    // The normalised current token: what a task notes at its start and compares when its answer
    // arrives.
    QString currentToken() const;
    // The marker of the token whose cursors and mappings are held; empty without a token.
    const QString &cloudAuthTokenMarker() const { return m_cloudAuthTokenMarker; }

    // ---- this machine
    CloudDeviceIdentity &deviceIdentity() { return m_deviceIdentity; }
    QString mqvCloudDeviceID(const QString &userID) { return m_deviceIdentity.mqvCloudDeviceID(userID); }
    // This machine's label in the device list; never empty, worked out once.
    QString currentMacDeviceDisplayName() { return m_deviceIdentity.currentMacDeviceDisplayName(); }
    const QString &cloudInstallDeviceID() const { return m_deviceIdentity.cloudInstallDeviceID(); }
    // The device id a cloud item names when this machine made the edit: the session's device id,
    // or else the id this machine presents for the signed-in user.
    QString currentCloudDeviceIDForOwnEdits();

    // ---- sign-in (all return at once)
    void requestCloudPhoneCode(const QString &phoneNumber);
    void verifyCloudPhoneCode(const QString &phoneNumber, const QString &code);
    void loginWithCloudPassword(const QString &phoneNumber, const QString &password);
    // Stores a login: exchanges the login session for one of this machine (revoking the login
    // session), or keeps the login token when the exchange fails. Never throws.
    QCoro::Task<void> storePhoneLoginResponse(CloudPhoneLoginResponse response, QString baseURL);

    // ---- the session
    // Asks the service whose the token is and mirrors the answer; then the device context and the
    // device list follow with trigger + "-session". Never throws; silent without base URL or token.
    QCoro::Task<void> refreshCloudSession(QString trigger);
    void applyCloudSession(const CloudAuthSessionResponse &response);
    void applyCurrentCloudDeviceSession(const CloudDeviceSessionPayload &session);

    // ---- logout (returns at once; always signs out locally)
    void logoutCloudSession();

    // ---- devices
    QCoro::Task<void> updateCurrentCloudDeviceContext(QString trigger);
    QCoro::Task<void> refreshCloudDevices(QString trigger, bool updateStatus);
    // The device list's manual refresh; returns at once.
    void refreshCloudDevices();
    // Removes another device's session; returns at once.
    void revokeCloudDeviceSession(const QString &sessionID);

    // ---- profile, avatar, password and phone
    void applyCloudProfile(const std::optional<CloudUserProfilePayload> &profile);
    void applyCloudIdentities(const QList<CloudIdentityPayload> &identities);
    // A profile answer without identities (or with none) leaves the known identities as they are.
    void applyCloudProfileAnswer(const CloudUserProfileResponse &answer);
    // What identifies the avatar picture: `updatedAt` when given, else the first "v" query value of
    // the URL, else the URL itself.
    static QString cloudProfileAvatarRefreshToken(const QString &avatarURL, const QString &updatedAt);
    QCoro::Task<void> refreshCloudProfile(QString trigger, bool updateStatus);
    // The reload when the account sheet opens; returns at once.
    void refreshCloudProfileSilently();
    // Saves locally first, then uploads; returns at once.
    void updateCloudProfile(const QString &nickname, const QString &avatarURL);
    // The avatar JPEG of an image (see CloudAvatarImage); throws SyncError with the text to show.
    static QByteArray jpegAvatarData(const QByteArray &data, int maxDimension);
    // Prepares the picture at once (a failure shows in cloudProfileStatus), then uploads it in a task.
    void uploadCloudAvatar(const QUrl &url);
    void updateCloudPassword(const QString &newPassword, const QString &currentPassword,
        const QString &verificationPhone, const QString &verificationCode, bool usePhoneCodeVerification);
    void linkCloudPhoneCode(const QString &phoneNumber, const QString &code);
    // Keeps an 11-digit mainland mobile number found in the text; anything else changes nothing.
    void rememberCloudPhoneNumber(const QString &phoneNumber);

    // ---- deletion (the only operations that throw to their caller)
    QCoro::Task<CloudPhoneCodeRequestResponse> requestCloudAccountDeletionCode(QString phoneNumber);
    // Returns normally when the service confirmed the deletion, or when one was already running.
    QCoro::Task<void> deleteCloudAccount(
        QString phoneNumber, QString challengeID, QString code, QString confirmationText);

    // ---- published account state
    const QString &cloudUserID() const { return m_cloudUserID; }
    const QString &cloudSessionID() const { return m_cloudSessionID; }
    const QString &cloudSessionDeviceID() const { return m_cloudSessionDeviceID; }
    const QString &cloudSessionClientKind() const { return m_cloudSessionClientKind; }
    const QString &cloudPhoneLoginStatus() const { return m_cloudPhoneLoginStatus; }
    const QString &cloudPhoneCodeHint() const { return m_cloudPhoneCodeHint; }
    const QString &cloudPhoneChallengeID() const { return m_cloudPhoneChallengeID; }
    bool isCloudPhoneCodeRequesting() const { return m_phoneCodeActivity == PhoneCodeActivity::requesting; }
    bool isCloudPhoneCodeVerifying() const { return m_phoneCodeActivity == PhoneCodeActivity::verifying; }
    bool isCloudPasswordLoggingIn() const { return m_isCloudPasswordLoggingIn; }
    const QList<CloudDeviceSessionPayload> &cloudDeviceSessions() const { return m_cloudDeviceSessions; }
    bool isCloudDevicesRefreshing() const { return m_isCloudDevicesRefreshing; }
    const QString &cloudDeviceRevokingSessionID() const { return m_cloudDeviceRevokingSessionID; }
    const QString &cloudProfileNickname() const { return m_cloudProfileNickname; }
    const QString &cloudProfileAvatarURL() const { return m_cloudProfileAvatarURL; }
    const QString &cloudProfileAvatarRefreshToken() const { return m_cloudProfileAvatarRefreshToken; }
    bool cloudProfilePasswordSet() const { return m_cloudProfilePasswordSet; }
    bool cloudHuaweiAccountLinked() const { return m_cloudHuaweiAccountLinked; }
    const QString &cloudHuaweiAccountDisplayLabel() const { return m_cloudHuaweiAccountDisplayLabel; }
    bool cloudPhoneLinked() const { return m_cloudPhoneLinked; }
    const QString &cloudPhoneDisplayLabel() const { return m_cloudPhoneDisplayLabel; }
    const QString &cloudPhoneNumber() const { return m_cloudPhoneNumber; }
    bool isCloudProfileRefreshing() const { return m_isCloudProfileRefreshing; }
    bool isCloudProfileSaving() const { return m_isCloudProfileSaving; }
    const QString &cloudProfileStatus() const { return m_cloudProfileStatus; }
    bool isCloudAccountDeleting() const { return m_isCloudAccountDeleting; }

    // Views write the challenge, the hint and the two status lines too (to empty them or to show a
    // validation message).
    void setCloudPhoneLoginStatus(const QString &value);
    void setCloudPhoneCodeHint(const QString &value);
    void setCloudPhoneChallengeID(const QString &value);
    void setCloudProfileStatus(const QString &value);

Q_SIGNALS:
    // Any published property changed; views re-read what they show.
    void changed();
    void cloudAuthTokenChanged(const QString &token);
    // The properties views react to one by one (a result text closes an editor; a nickname fills
    // the nickname draft).
    void cloudPhoneLoginStatusChanged(const QString &status);
    void cloudProfileStatusChanged(const QString &status);
    void cloudProfileNicknameChanged(const QString &nickname);

private:
    // The code side of signing in runs one operation at a time: a code request, or a code login or
    // phone link. A password login is not part of it: it waits for neither, and neither waits for
    // it, so it keeps a flag of its own.
    enum class PhoneCodeActivity { idle, requesting, verifying };

    // The one shape of a request of the account (CloudAccountCall.h): a client, the await, and
    // then the answer or the failure, unless the account went meanwhile or the token changed.
    template <typename T> struct Reply;
    // Whether an answer still counts after the account's token changed: not for the operations of
    // a signed-in account; yes for sign-in and the exchange, which change the token themselves.
    enum class OnTokenChange { drop, keep };
    template <typename Request>
    using ReplyOf = Reply<typename std::invoke_result_t<Request, const CloudSyncClient &>::value_type>;
    template <typename Request>
    auto awaitReply(QString baseURL, QString token, OnTokenChange onChange, Request request)
        -> QCoro::Task<ReplyOf<Request>>;
    class BusyScope;

    template <typename T> bool publish(T &field, const T &value)
    {
        if (field == value) {
            return false;
        }
        field = value;
        Q_EMIT changed();
        return true;
    }
    // Only the account writes the rest of its published state.
    void setCloudUserID(const QString &value);
    void setCloudSessionID(const QString &value);
    void setCloudSessionDeviceID(const QString &value);
    void setCloudSessionClientKind(const QString &value);
    void setIsCloudPasswordLoggingIn(bool value);
    void setCloudDeviceSessions(const QList<CloudDeviceSessionPayload> &value);
    void setIsCloudDevicesRefreshing(bool value);
    void setCloudDeviceRevokingSessionID(const QString &value);
    void setCloudProfileNickname(const QString &value);
    void setCloudProfileAvatarURL(const QString &value);
    void setCloudProfileAvatarRefreshToken(const QString &value);
    void setCloudProfilePasswordSet(bool value);
    void setCloudHuaweiAccountLinked(bool value);
    void setCloudHuaweiAccountDisplayLabel(const QString &value);
    void setCloudPhoneLinked(bool value);
    void setCloudPhoneDisplayLabel(const QString &value);
    void setCloudPhoneNumber(const QString &value);
    void setIsCloudProfileRefreshing(bool value);
    void setIsCloudProfileSaving(bool value);
    void setIsCloudAccountDeleting(bool value);

    void beginPhoneCodeActivity(PhoneCodeActivity activity);
    // Ends `activity` only: an operation that outlived a sign-out never ends the one begun after it.
    void endPhoneCodeActivity(PhoneCodeActivity activity);
    void setCloudAuthTokenValue(const QString &value);
    // Whether an operation that started with `token` may still act on the account: the token is
    // still the account's, or nobody is signed in any more.
    bool isCurrentOrSignedOut(const QString &token) const;
    static std::exception_ptr emptyLoginTokenFailure(const CloudPhoneLoginResponse &response);
    CloudSyncClient makeClient(const QString &baseURL, const QString &token) const;
    QString normalizedCloudBaseURL() const;
    QString deviceLabel();
    bool handleCloudAccessFailure(const std::exception_ptr &error, const QString &trigger);
    // The readable description of a caught failure.
    static QString errorDescription(const std::exception_ptr &error);

    QCoro::Task<void> runCloudPhoneCodeRequest(QString baseURL, QString phone);
    QCoro::Task<void> runCloudPhoneCodeLogin(QString baseURL, QString phone, QString challengeID, QString code);
    QCoro::Task<void> runCloudPasswordLogin(QString baseURL, QString phone, QString password);
    // The texts a phone sign-in says when it ends: the log line and outcome of a failure, the log
    // line (followed by the short account id) and outcome of a success.
    struct PhoneLoginTexts {
        QString failedLogLine;
        QString failedOutcome;
        QString succeededLogLine;
        QString outcome;
    };
    QCoro::Task<void> concludePhoneLogin(
        Reply<CloudPhoneLoginResponse> reply, QString baseURL, QString phone, PhoneLoginTexts texts);
    QCoro::Task<void> runLogout(QString baseURL, QString token);
    QCoro::Task<void> runManualDevicesRefresh();
    QCoro::Task<void> runCloudDeviceRevoke(QString baseURL, QString token, QString sessionID);
    QCoro::Task<void> runCloudProfileUpdate(QString baseURL, QString token, QString nickname, QString avatarURL);
    QCoro::Task<void> runCloudAvatarUpload(QString baseURL, QString token, QString contentType, QString dataBase64);
    QCoro::Task<void> runCloudPasswordUpdate(QString baseURL, QString token, bool phonePath, QString newPassword,
        QString currentPassword, QString phone, QString challengeID, QString code);
    QCoro::Task<void> runCloudPhoneLink(
        QString baseURL, QString token, QString phone, QString challengeID, QString code);

    UserDefaults &m_defaults;
    CloudSyncState &m_syncState;
    DiagnosticSink &m_log;
    ActivityLog &m_activityLog;
    CloudAccountOwner &m_owner;
    HttpSession &m_http;
    Clock &m_clock;
    CloudDeviceIdentity m_deviceIdentity;
    // Cancelled when the account goes: its requests end instead of resuming into nothing.
    CancelSource m_lifetime;

    QString m_cloudAuthToken;
    QString m_cloudAuthTokenMarker;
    QString m_cloudUserID;
    QString m_cloudSessionID;
    QString m_cloudSessionDeviceID;
    QString m_cloudSessionClientKind;
    QString m_cloudPhoneLoginStatus;
    QString m_cloudPhoneCodeHint;
    QString m_cloudPhoneChallengeID;
    PhoneCodeActivity m_phoneCodeActivity = PhoneCodeActivity::idle;
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
    bool m_isLoggingOut = false;
};

} // namespace quorvin
