#include "cloud/CloudSyncClient.h"

#include "cloud/CloudHTTPError.h"
#include "cloud/CloudURLEscaping.h"
#include "cloud/ReadableHTTPError.h"
#include "cloud/Strings.h"
#include "model/CloudAccountDeletionRequest.h"
#include "model/CloudLinkedPhoneVerificationResponse.h"
#include "model/CloudPasswordLoginRequest.h"
#include "model/CloudPhoneCodeLoginRequest.h"
#include "model/CloudPhoneCodeRequest.h"
#include "model/CloudPhoneCodeVerifyRequest.h"
#include "model/CloudUserAvatarUploadRequest.h"
#include "model/DateFormatters.h"
#include "model/ListDeleteMutationPayload.h"
#include "model/MqvReminderCountReportRequest.h"
#include "model/ReminderDeleteMutationPayload.h"
#include "platform/core/UnicodeText.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/http/TransportError.h"

#include <QCoreApplication>
#include <QStringList>
#include <QUrl>

#include <cmath>

namespace quorvin {

namespace {

using namespace std::chrono_literals;

constexpr double standardTimeout = 15.0;
constexpr double longTimeout = 30.0;

QString trimmedSlashes(QString text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text.at(start) == u'/') {
        ++start;
    }
    while (end > start && text.at(end - 1) == u'/') {
        --end;
    }
    return text.mid(start, end - start);
}

template <typename T> QByteArray body(const T &record)
{
    return encodeJson(record);
}

} // namespace

CloudSyncClient::CloudSyncClient(QString baseURL, QString authToken, HttpSession &session, Clock &clock)
    : m_baseURL(normalizeBaseURL(baseURL))
    , m_authToken(authToken.trimmed())
    , m_session(&session)
    , m_clock(&clock)
{
}

CloudSyncClient::CloudSyncClient(HttpSession &session, QString baseURL, QString authToken, Clock &clock)
    : CloudSyncClient(std::move(baseURL), std::move(authToken), session, clock)
{
}

QString CloudSyncClient::normalizeBaseURL(const QString &baseURL)
{
    return trimmedSlashes(baseURL.trimmed());
}

QCoro::Task<QByteArray> CloudSyncClient::send(Connection connection, QString path, QString method,
    std::optional<QByteArray> body, double timeoutSeconds, CancelToken requestCancel)
{
    const QUrl url(connection.baseURL + path, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty()) {
        throw TransportError(TransportError::Kind::BadURL, connection.baseURL + path);
    }

    HttpRequest request;
    request.method = method.toLatin1();
    request.url = url;
    request.timeout = std::chrono::milliseconds(std::llround(timeoutSeconds * 1000.0));
    request.headers.set("Accept", "application/json");
    request.headers.set("Cache-Control", "no-cache, no-store");
    request.headers.set("Pragma", "no-cache");
    if (!connection.authToken.isEmpty()) {
        request.headers.set("Authorization", "Bearer " + connection.authToken.toUtf8());
    }
    if (body) {
        request.headers.set("Content-Type", "application/json");
        request.body = std::move(body);
    }

    // Either token cancels the request.
    CancelSource combined;
    auto clientSubscription = connection.cancel.onCancel([combined]() mutable { combined.cancel(); });
    auto requestSubscription = requestCancel.onCancel([combined]() mutable { combined.cancel(); });
    request.cancel = combined.token();

    const HttpResponse response = co_await connection.session->send(std::move(request));
    if (response.status <= 0) {
        throw TransportError(TransportError::Kind::BadServerResponse);
    }
    if (response.status < 200 || response.status > 299) {
        throw CloudHTTPError(
            response.status, readableHTTPErrorMessage(response.status, decodeUtf8OrEmpty(response.body)));
    }
    co_return response.body;
}

QString CloudSyncClient::decodeUtf8Text(const QByteArray &answer)
{
    return decodeUtf8OrEmpty(answer);
}

QString CloudSyncClient::nowText() const
{
    return DateFormatters::fractionalISO8601(m_clock->now());
}

QCoro::Task<SyncResponseEnvelope> CloudSyncClient::sync(std::optional<QString> cursor) const
{
    QString path = QStringLiteral("/sync");
    if (cursor && !cursor->isEmpty()) {
        path += QStringLiteral("?cursor=") + escapeQueryValue(*cursor).value_or(QString());
    }
    return request<SyncResponseEnvelope>(path, QStringLiteral("GET"), std::nullopt, standardTimeout);
}

QCoro::Task<CloudSyncWaitResponse> CloudSyncClient::waitForChange(std::optional<QString> cursor,
    std::optional<QString> observedCountVerificationRequestID, qint64 timeoutMs, CancelToken cancel) const
{
    const qint64 wait = timeoutMs < 1000 ? 25000 : std::min<qint64>(timeoutMs, 30000);
    QStringList items;
    if (cursor && !cursor->isEmpty()) {
        items.append(QStringLiteral("cursor=") + escapeQueryValue(*cursor).value_or(QString()));
    }
    items.append(QStringLiteral("timeout_ms=") + QString::number(wait));
    if (observedCountVerificationRequestID && !observedCountVerificationRequestID->isEmpty()) {
        items.append(QStringLiteral("count_verification_request_id=")
            + escapeQueryValue(*observedCountVerificationRequestID).value_or(QString()));
    }
    const double timeout = static_cast<double>(wait + 5000) / 1000.0;
    return request<CloudSyncWaitResponse>(QStringLiteral("/sync/wait?") + items.join(u'&'), QStringLiteral("GET"),
        std::nullopt, timeout, std::move(cancel));
}

QCoro::Task<SyncCountVerificationResponse> CloudSyncClient::reportSyncCounts(
    QString requestID, QString serverCursor, ReminderCountSummary counts) const
{
    MqvReminderCountReportRequest report;
    report.request_id = requestID;
    report.server_cursor = serverCursor;
    report.total_count = counts.total_count;
    report.completed_count = counts.completed_count;
    report.incomplete_count = counts.incomplete_count;
    return request<SyncCountVerificationResponse>(
        QStringLiteral("/sync/count-verification"), QStringLiteral("POST"), body(report), standardTimeout);
}

QCoro::Task<ReminderUpsertMutationResponse> CloudSyncClient::upsertReminder(ReminderUpsertMutationPayload payload) const
{
    return request<ReminderUpsertMutationResponse>(
        QStringLiteral("/reminders/upsert"), QStringLiteral("POST"), body(payload), standardTimeout);
}

QCoro::Task<void> CloudSyncClient::deleteReminder(QString localID) const
{
    ReminderDeleteMutationPayload payload;
    payload.local_id = localID;
    payload.client_last_modified = nowText();
    co_await request<QString>(
        QStringLiteral("/reminders/delete"), QStringLiteral("POST"), body(payload), standardTimeout);
}

QCoro::Task<void> CloudSyncClient::completeReminder(CompletionMutationPayload payload) const
{
    co_await request<QString>(
        QStringLiteral("/reminders/complete"), QStringLiteral("POST"), body(payload), standardTimeout);
}

QCoro::Task<ListMutationResponse> CloudSyncClient::createList(ListCreateMutationPayload payload) const
{
    return request<ListMutationResponse>(
        QStringLiteral("/lists/create"), QStringLiteral("POST"), body(payload), standardTimeout);
}

QCoro::Task<void> CloudSyncClient::updateList(ListUpdateMutationPayload payload) const
{
    co_await request<QString>(QStringLiteral("/lists/update"), QStringLiteral("POST"), body(payload), standardTimeout);
}

QCoro::Task<void> CloudSyncClient::deleteList(QString listID, std::optional<QString> clientLastModified) const
{
    ListDeleteMutationPayload payload;
    payload.list_id = listID;
    payload.client_last_modified = clientLastModified ? *clientLastModified : nowText();
    co_await request<QString>(QStringLiteral("/lists/delete"), QStringLiteral("POST"), body(payload), standardTimeout);
}

QCoro::Task<void> CloudSyncClient::resetCloud() const
{
    co_await request<QString>(QStringLiteral("/admin/reset"), QStringLiteral("POST"), std::nullopt, standardTimeout);
}

QCoro::Task<DiagnosticReportUploadResponse> CloudSyncClient::uploadDiagnosticReport(
    DiagnosticReportUploadRequest report) const
{
    return uploadDiagnosticReport(body(report));
}

QCoro::Task<DiagnosticReportUploadResponse> CloudSyncClient::uploadDiagnosticReport(QByteArray encodedReport) const
{
    return request<DiagnosticReportUploadResponse>(
        QStringLiteral("/diagnostics/reports"), QStringLiteral("POST"), std::move(encodedReport), longTimeout);
}

QCoro::Task<CloudPhoneCodeRequestResponse> CloudSyncClient::requestPhoneLoginCode(QString phoneNumber) const
{
    CloudPhoneCodeRequest payload;
    payload.phone_number = normalizeMainlandPhoneNumber(phoneNumber);
    return request<CloudPhoneCodeRequestResponse>(
        QStringLiteral("/auth/phone/code/request"), QStringLiteral("POST"), body(payload), standardTimeout);
}

QCoro::Task<CloudPhoneLoginResponse> CloudSyncClient::loginWithPhoneCode(QString phoneNumber, QString challengeID,
    QString code, QString clientKind, std::optional<QString> deviceID, std::optional<QString> deviceLabel,
    std::optional<QString> platform, std::optional<QString> appVersion) const
{
    CloudPhoneCodeLoginRequest payload;
    payload.phone_number = normalizeMainlandPhoneNumber(phoneNumber);
    payload.challenge_id = challengeID.trimmed();
    payload.code = code.trimmed();
    payload.client_kind = clientKind;
    payload.device_id = deviceID;
    payload.device_label = deviceLabel;
    payload.platform = platform;
    payload.app_version = appVersion;
    return request<CloudPhoneLoginResponse>(
        QStringLiteral("/auth/phone/code/verify"), QStringLiteral("POST"), body(payload), standardTimeout);
}

QCoro::Task<CloudPhoneLoginResponse> CloudSyncClient::loginWithPassword(QString phoneNumber, QString password,
    QString clientKind, std::optional<QString> deviceID, std::optional<QString> deviceLabel,
    std::optional<QString> platform, std::optional<QString> appVersion) const
{
    CloudPasswordLoginRequest payload;
    payload.phone_number = normalizeMainlandPhoneNumber(phoneNumber);
    payload.password = password;
    payload.client_kind = clientKind;
    payload.device_id = deviceID;
    payload.device_label = deviceLabel;
    payload.platform = platform;
    payload.app_version = appVersion;
    return request<CloudPhoneLoginResponse>(
        QStringLiteral("/auth/password/login"), QStringLiteral("POST"), body(payload), standardTimeout);
}

QCoro::Task<CloudSessionExchangeResponse> CloudSyncClient::exchangeCloudSession(QString clientKind,
    std::optional<QString> deviceID, std::optional<QString> deviceLabel, std::optional<QString> platform,
    std::optional<QString> appVersion) const
{
    CloudSessionExchangeRequest payload;
    payload.client_kind = clientKind;
    payload.device_id = deviceID;
    payload.device_label = deviceLabel;
    payload.platform = platform;
    payload.app_version = appVersion;
    return request<CloudSessionExchangeResponse>(
        QStringLiteral("/auth/session/exchange"), QStringLiteral("POST"), body(payload), standardTimeout);
}

QCoro::Task<CloudAuthSessionResponse> CloudSyncClient::currentSession() const
{
    return request<CloudAuthSessionResponse>(
        QStringLiteral("/auth/session"), QStringLiteral("GET"), std::nullopt, standardTimeout);
}

QCoro::Task<CloudDeviceSessionPayload> CloudSyncClient::updateCurrentDevice(CloudSessionExchangeRequest device) const
{
    return request<CloudDeviceSessionPayload>(
        QStringLiteral("/auth/devices/current"), QStringLiteral("POST"), body(device), standardTimeout);
}

QCoro::Task<CloudDevicesResponse> CloudSyncClient::devices() const
{
    return request<CloudDevicesResponse>(
        QStringLiteral("/auth/devices"), QStringLiteral("GET"), std::nullopt, standardTimeout);
}

QCoro::Task<void> CloudSyncClient::revokeCloudDeviceSession(QString sessionID) const
{
    const QString trimmed = sessionID.trimmed();
    if (trimmed.isEmpty()) {
        co_return;
    }
    // Text that cannot be escaped (broken UTF-16) goes out with its broken parts replaced, still
    // escaped: sent unescaped, a "/" in it could reach another path.
    const QString escaped = escapePathSegment(trimmed).value_or(
        escapePathSegment(QString::fromUtf8(trimmed.toUtf8())).value_or(QString()));
    co_await request<QString>(
        QStringLiteral("/auth/devices/") + escaped, QStringLiteral("DELETE"), std::nullopt, standardTimeout);
}

QCoro::Task<CloudUserProfileResponse> CloudSyncClient::profile() const
{
    return request<CloudUserProfileResponse>(
        QStringLiteral("/auth/profile"), QStringLiteral("GET"), std::nullopt, standardTimeout);
}

QCoro::Task<CloudUserProfileResponse> CloudSyncClient::updateProfile(CloudUserProfileUpdateRequest update) const
{
    return request<CloudUserProfileResponse>(
        QStringLiteral("/auth/profile"), QStringLiteral("POST"), body(update), standardTimeout);
}

QCoro::Task<CloudUserProfileResponse> CloudSyncClient::uploadCloudAvatar(QString contentType, QString dataBase64) const
{
    CloudUserAvatarUploadRequest payload;
    payload.content_type = contentType.trimmed();
    payload.data_base64 = dataBase64.trimmed();
    return request<CloudUserProfileResponse>(
        QStringLiteral("/auth/avatar"), QStringLiteral("POST"), body(payload), longTimeout);
}

QCoro::Task<void> CloudSyncClient::verifyLinkedPhoneCode(QString phoneNumber, QString challengeID, QString code) const
{
    CloudPhoneCodeVerifyRequest payload;
    payload.phone_number = normalizeMainlandPhoneNumber(phoneNumber);
    payload.challenge_id = challengeID.trimmed();
    payload.code = code.trimmed();
    co_await request<CloudLinkedPhoneVerificationResponse>(
        QStringLiteral("/auth/phone/code/verify-linked"), QStringLiteral("POST"), body(payload), standardTimeout);
}

QCoro::Task<CloudIdentityLinkResponse> CloudSyncClient::linkWithPhoneCode(
    QString phoneNumber, QString challengeID, QString code) const
{
    CloudPhoneCodeVerifyRequest payload;
    payload.phone_number = normalizeMainlandPhoneNumber(phoneNumber);
    payload.challenge_id = challengeID.trimmed();
    payload.code = code.trimmed();
    return request<CloudIdentityLinkResponse>(
        QStringLiteral("/auth/phone/code/link"), QStringLiteral("POST"), body(payload), standardTimeout);
}

QCoro::Task<void> CloudSyncClient::logout() const
{
    co_await request<QString>(QStringLiteral("/auth/logout"), QStringLiteral("POST"), std::nullopt, standardTimeout);
}

QCoro::Task<CloudAccountDeletionResponse> CloudSyncClient::deleteAccount(
    QString phoneNumber, QString challengeID, QString code, QString confirmationText) const
{
    CloudAccountDeletionRequest payload;
    payload.phone_number = normalizeMainlandPhoneNumber(phoneNumber);
    payload.challenge_id = challengeID.trimmed();
    payload.code = code.trimmed();
    payload.confirmation_text = confirmationText.trimmed();
    return request<CloudAccountDeletionResponse>(
        QStringLiteral("/auth/account/delete"), QStringLiteral("POST"), body(payload), standardTimeout);
}

QString CloudSyncClient::normalizeMainlandPhoneNumber(const QString &phoneNumber)
{
    QString cleaned = phoneNumber.trimmed();
    cleaned.remove(u' ');
    cleaned.remove(u'-');
    cleaned.remove(u'(');
    cleaned.remove(u')');
    // Characters as a person sees them, numeric as the views judge it: a number the account
    // screens accept is the number sent.
    if (UnicodeText::characterCount(cleaned) != 11 || !UnicodeText::hasCharacterPrefix(cleaned, QStringLiteral("1"))
        || !UnicodeText::isAllNumeric(cleaned)) {
        return cleaned;
    }
    return QStringLiteral("+86") + cleaned;
}

std::optional<QString> CloudSyncClient::defaultAppVersion()
{
    const QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty()) {
        return std::nullopt;
    }
    return version;
}

QString normalizedCloudBaseURL(const UserDefaults &defaults)
{
    const QString stored = defaults.string(CloudText::keyBaseURL).value_or(CloudText::productionBaseURL);
    return CloudSyncClient::normalizeBaseURL(stored);
}

} // namespace quorvin
