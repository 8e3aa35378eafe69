// The profile and linked identities, the avatar upload, the password change and phone linking.

#include "account/CloudAccount.h"

#include "account/CloudAccountCall.h"
#include "account/CloudAccountOwner.h"
#include "account/CloudAvatarImage.h"
#include "account/Strings.h"
#include "activity/ActivityLog.h"
#include "activity/Strings.h"
#include "cloud/CloudSyncClient.h"
#include "platform/concurrency/Spawn.h"
#include "platform/core/DiagnosticSink.h"
#include "platform/core/UnicodeText.h"
#include "platform/defaults/UserDefaults.h"

#include <QPointer>
#include <QTextBoundaryFinder>
#include <QUrlQuery>

namespace quorvin {

namespace {

// Characters as a person counts them when typing (grapheme clusters).
qsizetype characterCount(const QString &text)
{
    qsizetype count = 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    while (finder.toNextBoundary() > 0) {
        ++count;
    }
    return count;
}

QString trimmedOrEmpty(const std::optional<QString> &value)
{
    return value.value_or(QString()).trimmed();
}

} // namespace

// ---- applying what the service says

QString CloudAccount::cloudProfileAvatarRefreshToken(const QString &avatarURL, const QString &updatedAt)
{
    if (!updatedAt.isEmpty()) {
        return updatedAt;
    }
    const QUrl url(avatarURL, QUrl::StrictMode);
    if (url.isValid() && url.hasQuery()) {
        const QUrlQuery query(url);
        for (const auto &[name, value] : query.queryItems(QUrl::FullyDecoded)) {
            if (name == AccountText::avatarVersionQueryItem) {
                if (!value.isEmpty()) {
                    return value;
                }
                break;
            }
        }
    }
    return avatarURL;
}

void CloudAccount::applyCloudProfileAnswer(const CloudUserProfileResponse &answer)
{
    applyCloudProfile(answer.profile);
    if (answer.identities && !answer.identities->isEmpty()) {
        applyCloudIdentities(*answer.identities);
    }
}

void CloudAccount::applyCloudProfile(const std::optional<CloudUserProfilePayload> &profile)
{
    if (!profile) {
        return;
    }
    const QString nickname = trimmedOrEmpty(profile->nickname);
    const QString avatarURL = trimmedOrEmpty(profile->avatar_url);
    const QString refreshToken = cloudProfileAvatarRefreshToken(avatarURL, trimmedOrEmpty(profile->updated_at));
    const bool passwordSet = profile->password_set.value_or(false);
    setCloudProfileNickname(nickname);
    setCloudProfileAvatarURL(avatarURL);
    setCloudProfileAvatarRefreshToken(refreshToken);
    setCloudProfilePasswordSet(passwordSet);
    m_defaults.setString(AccountText::keyProfileNickname, nickname);
    m_defaults.setString(AccountText::keyProfileAvatarURL, avatarURL);
    m_defaults.setString(AccountText::keyProfileAvatarRefreshToken, refreshToken);
    m_defaults.setBoolean(AccountText::keyProfilePasswordSet, passwordSet);
}

void CloudAccount::applyCloudIdentities(const QList<CloudIdentityPayload> &identities)
{
    bool huaweiLinked = false;
    QString huaweiLabel;
    bool phoneLinked = false;
    QString phoneLabel;
    for (const CloudIdentityPayload &identity : identities) {
        const QString provider = trimmedOrEmpty(identity.provider).toLower();
        const QString label = trimmedOrEmpty(identity.display_label);
        if (provider == AccountText::providerHuaweiAccount) {
            huaweiLinked = true;
            huaweiLabel = label;
        } else if (provider == AccountText::providerPhone) {
            phoneLinked = true;
            phoneLabel = label;
        }
    }
    setCloudHuaweiAccountLinked(huaweiLinked);
    setCloudHuaweiAccountDisplayLabel(huaweiLabel);
    setCloudPhoneLinked(phoneLinked);
    setCloudPhoneDisplayLabel(phoneLabel);
    m_defaults.setBoolean(AccountText::keyHuaweiAccountLinked, huaweiLinked);
    m_defaults.setString(AccountText::keyHuaweiAccountDisplayLabel, huaweiLabel);
    m_defaults.setBoolean(AccountText::keyPhoneLinked, phoneLinked);
    m_defaults.setString(AccountText::keyPhoneDisplayLabel, phoneLabel);
}

// ---- profile

QCoro::Task<void> CloudAccount::refreshCloudProfile(QString trigger, bool updateStatus)
{
    if (m_isCloudProfileRefreshing) {
        co_return;
    }
    const QString baseURL = normalizedCloudBaseURL();
    const QString token = currentToken();
    if (baseURL.isEmpty() || token.isEmpty()) {
        if (updateStatus) {
            setCloudProfileStatus(AccountText::missingSyncToken);
            m_owner.markSyncFailure(AccountText::missingSyncToken);
        }
        co_return;
    }
    setIsCloudProfileRefreshing(true);
    const BusyScope busy(this, [](CloudAccount &account) { account.setIsCloudProfileRefreshing(false); });
    const auto reply = co_await awaitReply(
        baseURL, token, OnTokenChange::drop, [](const CloudSyncClient &client) { return client.profile(); });
    if (reply.gone || reply.stale) {
        co_return;
    }
    if (!reply.failure) {
        applyCloudProfileAnswer(*reply.value);
        m_log.appendLog(AccountText::logProfileRefreshedPrefix + trigger + AccountText::logProfileRefreshedSuffix);
        if (updateStatus) {
            setCloudProfileStatus(AccountText::profileRefreshed);
            m_owner.markSyncSuccess(AccountText::profileRefreshed);
        }
    } else if (!handleCloudAccessFailure(reply.failure, trigger)) {
        const QString description = errorDescription(reply.failure);
        setCloudProfileStatus(description);
        m_log.appendLog(
            AccountText::logProfileRefreshFailedPrefix + trigger + AccountText::logFailureSeparator + description);
        if (updateStatus) {
            m_owner.markSyncFailure(AccountText::profileRefreshFailed);
        }
    }
}

void CloudAccount::refreshCloudProfileSilently()
{
    spawn(refreshCloudProfile(AccountText::triggerAccountPopover, false), AccountText::taskAccount);
}

void CloudAccount::updateCloudProfile(const QString &nickname, const QString &avatarURL)
{
    if (m_isCloudProfileSaving) {
        return;
    }
    const QString trimmedNickname = nickname.trimmed();
    const QString trimmedAvatarURL = avatarURL.trimmed();
    CloudUserProfilePayload local;
    local.nickname = trimmedNickname;
    local.avatar_url = trimmedAvatarURL;
    local.password_set = m_cloudProfilePasswordSet;
    applyCloudProfile(local);
    setCloudProfileStatus(AccountText::statusProfileSavedUploading);
    m_owner.markSyncSuccess(AccountText::profileSavedLocally);

    const QString baseURL = normalizedCloudBaseURL();
    const QString token = currentToken();
    if (baseURL.isEmpty() || token.isEmpty()) {
        setCloudProfileStatus(AccountText::statusProfileUploadFailedPrefix + AccountText::missingSyncToken);
        m_owner.markSyncFailure(AccountText::profileUploadFailed);
        return;
    }
    setIsCloudProfileSaving(true);
    spawn(runCloudProfileUpdate(baseURL, token, trimmedNickname, trimmedAvatarURL), AccountText::taskAccount);
}

QCoro::Task<void> CloudAccount::runCloudProfileUpdate(
    QString baseURL, QString token, QString nickname, QString avatarURL)
{
    const BusyScope busy(this, [](CloudAccount &account) { account.setIsCloudProfileSaving(false); });
    CloudUserProfileUpdateRequest update;
    update.nickname = nickname;
    update.avatar_url = avatarURL;
    const auto reply = co_await awaitReply(baseURL, token, OnTokenChange::drop,
        [&update](const CloudSyncClient &client) { return client.updateProfile(update); });
    if (reply.gone || reply.stale) {
        co_return;
    }
    if (!reply.failure) {
        applyCloudProfileAnswer(*reply.value);
        setCloudProfileStatus(AccountText::profileSavedAndUploaded);
        m_log.appendLog(AccountText::logProfileUpdated);
        m_owner.markSyncSuccess(AccountText::profileSavedAndUploaded);
    } else if (handleCloudAccessFailure(reply.failure, AccountText::triggerProfileUpdate)) {
        setCloudProfileStatus(AccountText::statusSessionExpiredSignInAgain);
    } else {
        const QString description = errorDescription(reply.failure);
        setCloudProfileStatus(AccountText::statusProfileUploadFailedPrefix + description);
        m_log.appendLog(AccountText::logProfileUpdateFailed + description);
        m_owner.markSyncFailure(AccountText::profileUploadFailed);
    }
}

// ---- avatar

QByteArray CloudAccount::jpegAvatarData(const QByteArray &data, int maxDimension)
{
    return CloudAvatarImage::jpegAvatarData(data, maxDimension);
}

void CloudAccount::uploadCloudAvatar(const QUrl &url)
{
    if (m_isCloudProfileSaving) {
        return;
    }
    const QString baseURL = normalizedCloudBaseURL();
    const QString token = currentToken();
    if (baseURL.isEmpty() || token.isEmpty()) {
        setCloudProfileStatus(AccountText::missingSyncToken);
        m_owner.markSyncFailure(AccountText::avatarUploadFailed);
        return;
    }
    // A URL without a scheme is taken as a plain path; one of another scheme names no file here.
    const QString path = url.isLocalFile() ? url.toLocalFile() : url.scheme().isEmpty() ? url.path() : QString();
    CloudUserAvatarUploadRequest upload;
    try {
        upload = CloudAvatarImage::avatarUploadRequest(path);
    } catch (...) {
        setCloudProfileStatus(errorDescription(std::current_exception()));
        m_owner.markSyncFailure(AccountText::avatarUploadFailed);
        return;
    }
    setIsCloudProfileSaving(true);
    setCloudProfileStatus(AccountText::statusAvatarUploading);
    spawn(runCloudAvatarUpload(baseURL, token, upload.content_type, upload.data_base64), AccountText::taskAccount);
}

QCoro::Task<void> CloudAccount::runCloudAvatarUpload(
    QString baseURL, QString token, QString contentType, QString dataBase64)
{
    const BusyScope busy(this, [](CloudAccount &account) { account.setIsCloudProfileSaving(false); });
    const auto reply = co_await awaitReply(baseURL, token, OnTokenChange::drop,
        [&](const CloudSyncClient &client) { return client.uploadCloudAvatar(contentType, dataBase64); });
    if (reply.gone || reply.stale) {
        co_return;
    }
    if (!reply.failure) {
        applyCloudProfileAnswer(*reply.value);
        setCloudProfileStatus(AccountText::avatarSaved);
        m_log.appendLog(AccountText::logAvatarUploaded);
        m_owner.markSyncSuccess(AccountText::avatarSaved);
        m_activityLog.appendActivityLog(ActivityText::categoryUser, AccountText::avatarSaved, {});
    } else if (handleCloudAccessFailure(reply.failure, AccountText::triggerAvatarUpload)) {
        setCloudProfileStatus(AccountText::statusSessionExpiredSignInAgain);
    } else {
        const QString description = errorDescription(reply.failure);
        setCloudProfileStatus(AccountText::statusAvatarUploadFailedPrefix + description);
        m_log.appendLog(AccountText::logAvatarUploadFailed + description);
        m_owner.markSyncFailure(AccountText::avatarUploadFailed);
    }
}

// ---- password

void CloudAccount::updateCloudPassword(const QString &newPassword, const QString &currentPassword,
    const QString &verificationPhone, const QString &verificationCode, bool usePhoneCodeVerification)
{
    if (m_isCloudProfileSaving) {
        return;
    }
    if (characterCount(newPassword) < 8) {
        setCloudProfileStatus(AccountText::passwordTooShort);
        return;
    }
    const QString baseURL = normalizedCloudBaseURL();
    const QString token = currentToken();
    if (baseURL.isEmpty() || token.isEmpty()) {
        setCloudProfileStatus(AccountText::missingSyncToken);
        m_owner.markSyncFailure(AccountText::missingSyncToken);
        return;
    }
    const bool phonePath = !m_cloudProfilePasswordSet || usePhoneCodeVerification;
    const QString current = currentPassword.trimmed();
    const QString phone = verificationPhone.trimmed();
    const QString code = verificationCode.trimmed();
    const QString challengeID = m_cloudPhoneChallengeID.trimmed();
    if (!phonePath) {
        if (current.isEmpty()) {
            setCloudProfileStatus(AccountText::enterCurrentPassword);
            return;
        }
        setIsCloudProfileSaving(true);
        setCloudProfileStatus(AccountText::statusUpdatingPassword);
    } else {
        if (phone.isEmpty() || characterCount(code) != 6 || challengeID.isEmpty()) {
            setCloudProfileStatus(AccountText::verifyByPhoneCodeFirst);
            return;
        }
        setIsCloudProfileSaving(true);
        setCloudProfileStatus(AccountText::statusVerifyingPhone);
    }
    spawn(runCloudPasswordUpdate(baseURL, token, phonePath, newPassword, current, phone, challengeID, code),
        AccountText::taskAccount);
}

QCoro::Task<void> CloudAccount::runCloudPasswordUpdate(QString baseURL, QString token, bool phonePath,
    QString newPassword, QString currentPassword, QString phone, QString challengeID, QString code)
{
    const BusyScope busy(this, [](CloudAccount &account) { account.setIsCloudProfileSaving(false); });
    std::exception_ptr failure;
    if (phonePath) {
        const auto verified = co_await awaitReply(baseURL, token, OnTokenChange::drop,
            [&](const CloudSyncClient &client) { return client.verifyLinkedPhoneCode(phone, challengeID, code); });
        if (verified.gone || verified.stale) {
            co_return;
        }
        failure = verified.failure;
        if (!failure) {
            setCloudProfileStatus(AccountText::statusPhoneVerifiedUpdatingPassword);
        }
    }
    std::optional<CloudUserProfileResponse> answer;
    if (!failure) {
        CloudUserProfileUpdateRequest update;
        update.new_password = newPassword;
        if (!phonePath) {
            update.current_password = currentPassword;
        }
        auto reply = co_await awaitReply(baseURL, token, OnTokenChange::drop,
            [&update](const CloudSyncClient &client) { return client.updateProfile(update); });
        if (reply.gone || reply.stale) {
            co_return;
        }
        answer = std::move(reply.value);
        failure = reply.failure;
    }
    if (!failure) {
        applyCloudProfileAnswer(*answer);
        if (phonePath) {
            setCloudPhoneChallengeID(QString());
            setCloudPhoneCodeHint(QString());
        }
        setCloudProfileStatus(AccountText::passwordUpdated);
        m_log.appendLog(AccountText::logPasswordUpdated);
        m_owner.markSyncSuccess(AccountText::passwordUpdated);
    } else {
        // A 401 here is the service refusing the proof, not the session: no sign-out.
        const QString description = errorDescription(failure);
        setCloudProfileStatus(description);
        m_log.appendLog(AccountText::logPasswordUpdateFailed + description);
        m_owner.markSyncFailure(AccountText::passwordUpdateFailed);
    }
}

// ---- phone

void CloudAccount::linkCloudPhoneCode(const QString &phoneNumber, const QString &code)
{
    const QString phone = phoneNumber.trimmed();
    const QString trimmedCode = code.trimmed();
    const QString challengeID = m_cloudPhoneChallengeID.trimmed();
    if (phone.isEmpty() || characterCount(trimmedCode) != 6 || challengeID.isEmpty()) {
        setCloudPhoneLoginStatus(AccountText::enterPhoneAndCodeFirst);
        return;
    }
    if (m_phoneCodeActivity != PhoneCodeActivity::idle) {
        return;
    }
    const QString baseURL = normalizedCloudBaseURL();
    const QString token = currentToken();
    if (baseURL.isEmpty() || token.isEmpty()) {
        setCloudPhoneLoginStatus(AccountText::missingSyncToken);
        m_owner.markSyncFailure(AccountText::missingSyncToken);
        return;
    }
    beginPhoneCodeActivity(PhoneCodeActivity::verifying);
    setCloudPhoneLoginStatus(AccountText::statusVerifyingPhone);
    spawn(runCloudPhoneLink(baseURL, token, phone, challengeID, trimmedCode), AccountText::taskAccount);
}

QCoro::Task<void> CloudAccount::runCloudPhoneLink(
    QString baseURL, QString token, QString phone, QString challengeID, QString code)
{
    const BusyScope busy(
        this, [](CloudAccount &account) { account.endPhoneCodeActivity(PhoneCodeActivity::verifying); });
    const auto reply = co_await awaitReply(baseURL, token, OnTokenChange::drop,
        [&](const CloudSyncClient &client) { return client.linkWithPhoneCode(phone, challengeID, code); });
    if (reply.gone || reply.stale) {
        co_return;
    }
    if (!reply.failure) {
        applyCloudIdentities({reply.value->identity});
        rememberCloudPhoneNumber(phone);
        setCloudPhoneChallengeID(QString());
        setCloudPhoneCodeHint(QString());
        setCloudPhoneLoginStatus(AccountText::phoneSaved);
        m_log.appendLog(AccountText::logPhoneLinked);
        m_owner.markSyncSuccess(AccountText::phoneSaved);
        m_activityLog.appendActivityLog(ActivityText::categoryUser, AccountText::phoneSaved, {});
    } else {
        const QString description = errorDescription(reply.failure);
        setCloudPhoneLoginStatus(description);
        m_log.appendLog(AccountText::logPhoneLinkFailed + description);
        m_owner.markSyncFailure(AccountText::phoneSaveFailed);
    }
}

void CloudAccount::rememberCloudPhoneNumber(const QString &phoneNumber)
{
    QString number = UnicodeText::numericCharacters(phoneNumber);
    if (UnicodeText::characterCount(number) == 13 && UnicodeText::hasCharacterPrefix(number, QStringLiteral("86"))) {
        number = UnicodeText::droppingFirstCharacters(number, 2);
    }
    if (UnicodeText::characterCount(number) == 11 && UnicodeText::hasCharacterPrefix(number, QStringLiteral("1"))) {
        setCloudPhoneNumber(number);
        m_defaults.setString(AccountText::keyPhoneNumber, number);
    }
}

} // namespace quorvin
