#pragma once

#include "model/CloudDeviceSessionPayload.h"

#include <QList>
#include <QObject>
#include <QString>

#include <exception>

namespace quorvin {

class CloudAccountOwner;
class CloudSyncState;
class DiagnosticSink;
class UserDefaults;

// The cloud account of this machine: the one access token every cloud call carries, its marker
// (which token the cloud-side sync state belongs to), and the published account state that goes
// with it, each field restored from the user defaults when the account is built.
//
// The token changes only through applyCloudAuthToken(). A token of another identity clears the
// cloud-side sync state and forces a rebase of the push cursor; an empty token also clears the
// account fields. The local reminders are never touched.
class CloudAccount : public QObject {
    Q_OBJECT
public:
    CloudAccount(UserDefaults &defaults, CloudSyncState &syncState, DiagnosticSink &log, CloudAccountOwner &owner,
        QObject *parent = nullptr);

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

    const QString &cloudAuthToken() const { return m_cloudAuthToken; }
    // The marker of the token whose cursors and mappings are held; empty without a token.
    const QString &cloudAuthTokenMarker() const { return m_cloudAuthTokenMarker; }

    // ---- published account state
    const QString &cloudInstallDeviceID() const { return m_cloudInstallDeviceID; }
    const QString &cloudUserID() const { return m_cloudUserID; }
    const QString &cloudSessionID() const { return m_cloudSessionID; }
    const QString &cloudSessionDeviceID() const { return m_cloudSessionDeviceID; }
    const QString &cloudSessionClientKind() const { return m_cloudSessionClientKind; }
    const QString &cloudPhoneLoginStatus() const { return m_cloudPhoneLoginStatus; }
    const QString &cloudPhoneCodeHint() const { return m_cloudPhoneCodeHint; }
    const QString &cloudPhoneChallengeID() const { return m_cloudPhoneChallengeID; }
    bool isCloudPhoneCodeRequesting() const { return m_isCloudPhoneCodeRequesting; }
    bool isCloudPhoneCodeVerifying() const { return m_isCloudPhoneCodeVerifying; }
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

    void setCloudUserID(const QString &value);
    void setCloudSessionID(const QString &value);
    void setCloudSessionDeviceID(const QString &value);
    void setCloudSessionClientKind(const QString &value);
    void setCloudPhoneLoginStatus(const QString &value);
    void setCloudPhoneCodeHint(const QString &value);
    void setCloudPhoneChallengeID(const QString &value);
    void setIsCloudPhoneCodeRequesting(bool value);
    void setIsCloudPhoneCodeVerifying(bool value);
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
    void setCloudProfileStatus(const QString &value);

Q_SIGNALS:
    // Any published property changed; views re-read what they show.
    void changed();
    void cloudAuthTokenChanged(const QString &token);

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
    void setCloudAuthTokenValue(const QString &value);

    UserDefaults &m_defaults;
    CloudSyncState &m_syncState;
    DiagnosticSink &m_log;
    CloudAccountOwner &m_owner;

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
};

} // namespace quorvin
