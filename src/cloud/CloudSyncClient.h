#pragma once

#include "model/CloudAccountDeletionResponse.h"
#include "model/CloudAuthSessionResponse.h"
#include "model/CloudDeviceSessionPayload.h"
#include "model/CloudDevicesResponse.h"
#include "model/CloudIdentityLinkResponse.h"
#include "model/CloudPhoneCodeRequestResponse.h"
#include "model/CloudPhoneLoginResponse.h"
#include "model/CloudSessionExchangeRequest.h"
#include "model/CloudSessionExchangeResponse.h"
#include "model/CloudSyncWaitResponse.h"
#include "model/CloudUserProfileResponse.h"
#include "model/CloudUserProfileUpdateRequest.h"
#include "model/CompletionMutationPayload.h"
#include "model/DiagnosticReportUploadRequest.h"
#include "model/DiagnosticReportUploadResponse.h"
#include "model/JsonCodec.h"
#include "model/ListCreateMutationPayload.h"
#include "model/ListMutationResponse.h"
#include "model/ListUpdateMutationPayload.h"
#include "model/ReminderCountSummary.h"
#include "model/ReminderUpsertMutationPayload.h"
#include "model/ReminderUpsertMutationResponse.h"
#include "model/SyncCountVerificationResponse.h"
#include "model/SyncResponseEnvelope.h"
#include "platform/concurrency/CancelToken.h"
#include "platform/concurrency/Clock.h"
#include "platform/http/HttpSession.h"

#include <QByteArray>
#include <QString>
#include <qcoro/qcorotask.h>

#include <exception>
#include <memory>
#include <optional>
#include <type_traits>

namespace quorvin {

class UserDefaults;

// The client of the cloud sync service: a small value holding the service's base URL and the
// user's token, built afresh for each operation. Every call goes through request<T>(): it adds the
// headers and the bearer token, sends the JSON body, and yields the decoded answer, or throws
// CloudHTTPError (answer outside 200-299, with the readable message), TransportError (no answer,
// bad URL), or JSONCodingError (answer that does not fit). It never retries and keeps no state.
//
// The value may be dropped as soon as a call has been started: calls copy what they need first.
class CloudSyncClient {
public:
    // The base URL loses whitespace and then every "/" at both ends; the token loses whitespace.
    CloudSyncClient(QString baseURL, QString authToken, HttpSession &session, Clock &clock = Clock::system());
    CloudSyncClient(HttpSession &session, QString baseURL, QString authToken, Clock &clock = Clock::system());

    const QString &baseURL() const { return m_baseURL; }
    const QString &authToken() const { return m_authToken; }

    // Cancels every request of this value once the token is cancelled (TransportError Cancelled).
    void setCancelToken(CancelToken token) { m_cancel = std::move(token); }

    // The one request core. `path` begins with "/" and carries its query, already escaped. T is a
    // record of the model, or QString for the answer's text (empty when it is not UTF-8).
    template <typename T>
    QCoro::Task<T> request(QString path, QString method, std::optional<QByteArray> body, double timeoutSeconds) const
    {
        const Connection with = connection();
        QByteArray answer
            = co_await send(with, std::move(path), std::move(method), std::move(body), timeoutSeconds, CancelToken {});
        co_return co_await decode<T>(with.clock, std::move(answer));
    }

    // The same with a cancel token of its own for this one request.
    template <typename T>
    QCoro::Task<T> request(
        QString path, QString method, std::optional<QByteArray> body, double timeoutSeconds, CancelToken cancel) const
    {
        const Connection with = connection();
        QByteArray answer = co_await send(
            with, std::move(path), std::move(method), std::move(body), timeoutSeconds, std::move(cancel));
        co_return co_await decode<T>(with.clock, std::move(answer));
    }

    // --- Sync and mutations ------------------------------------------------------------------
    // GET "/sync", or "/sync?cursor=<escaped>" with a non-empty cursor.
    QCoro::Task<SyncResponseEnvelope> sync(std::optional<QString> cursor) const;
    // GET "/sync/wait?cursor=..&timeout_ms=..&count_verification_request_id=..". The wait is
    // clamped (below 1000 ms: 25000; above 30000: 30000); the request waits 5 s longer.
    QCoro::Task<CloudSyncWaitResponse> waitForChange(std::optional<QString> cursor,
        std::optional<QString> observedCountVerificationRequestID, qint64 timeoutMs, CancelToken cancel = {}) const;
    QCoro::Task<SyncCountVerificationResponse> reportSyncCounts(
        QString requestID, QString serverCursor, ReminderCountSummary counts) const;
    QCoro::Task<ReminderUpsertMutationResponse> upsertReminder(ReminderUpsertMutationPayload payload) const;
    // Sends the current time as client_last_modified.
    QCoro::Task<void> deleteReminder(QString localID) const;
    QCoro::Task<void> completeReminder(CompletionMutationPayload payload) const;
    QCoro::Task<ListMutationResponse> createList(ListCreateMutationPayload payload) const;
    QCoro::Task<void> updateList(ListUpdateMutationPayload payload) const;
    // An absent clientLastModified sends the current time; a present one is sent as given.
    QCoro::Task<void> deleteList(QString listID, std::optional<QString> clientLastModified) const;
    // POST "/admin/reset": empties the cloud copy for a manual rebuild.
    QCoro::Task<void> resetCloud() const;
    QCoro::Task<DiagnosticReportUploadResponse> uploadDiagnosticReport(DiagnosticReportUploadRequest report) const;
    // The same with the request already encoded: a large report is encoded away from the main thread.
    QCoro::Task<DiagnosticReportUploadResponse> uploadDiagnosticReport(QByteArray encodedReport) const;

    // --- Account -----------------------------------------------------------------------------
    QCoro::Task<CloudPhoneCodeRequestResponse> requestPhoneLoginCode(QString phoneNumber) const;
    QCoro::Task<CloudPhoneLoginResponse> loginWithPhoneCode(QString phoneNumber, QString challengeID, QString code,
        QString clientKind, std::optional<QString> deviceID = std::nullopt,
        std::optional<QString> deviceLabel = std::nullopt, std::optional<QString> platform = std::nullopt,
        std::optional<QString> appVersion = defaultAppVersion()) const;
    QCoro::Task<CloudPhoneLoginResponse> loginWithPassword(QString phoneNumber, QString password, QString clientKind,
        std::optional<QString> deviceID = std::nullopt, std::optional<QString> deviceLabel = std::nullopt,
        std::optional<QString> platform = std::nullopt, std::optional<QString> appVersion = defaultAppVersion()) const;
    QCoro::Task<CloudSessionExchangeResponse> exchangeCloudSession(QString clientKind,
        std::optional<QString> deviceID = std::nullopt, std::optional<QString> deviceLabel = std::nullopt,
        std::optional<QString> platform = std::nullopt, std::optional<QString> appVersion = defaultAppVersion()) const;
    // GET "/auth/session".
    QCoro::Task<CloudAuthSessionResponse> currentSession() const;
    // POST "/auth/devices/current".
    QCoro::Task<CloudDeviceSessionPayload> updateCurrentDevice(CloudSessionExchangeRequest device) const;
    // GET "/auth/devices".
    QCoro::Task<CloudDevicesResponse> devices() const;
    // DELETE "/auth/devices/<escaped id>"; a blank id sends nothing.
    QCoro::Task<void> revokeCloudDeviceSession(QString sessionID) const;
    // GET "/auth/profile".
    QCoro::Task<CloudUserProfileResponse> profile() const;
    // POST "/auth/profile" with only the keys being changed.
    QCoro::Task<CloudUserProfileResponse> updateProfile(CloudUserProfileUpdateRequest update) const;
    QCoro::Task<CloudUserProfileResponse> uploadCloudAvatar(QString contentType, QString dataBase64) const;
    // Succeeds when the service accepts the code (its answer must still decode).
    QCoro::Task<void> verifyLinkedPhoneCode(QString phoneNumber, QString challengeID, QString code) const;
    QCoro::Task<CloudIdentityLinkResponse> linkWithPhoneCode(
        QString phoneNumber, QString challengeID, QString code) const;
    // POST "/auth/logout".
    QCoro::Task<void> logout() const;
    // POST "/auth/account/delete".
    QCoro::Task<CloudAccountDeletionResponse> deleteAccount(
        QString phoneNumber, QString challengeID, QString code, QString confirmationText) const;

    // "+86" before an 11-character number of numerals that begins with "1", after removing blanks
    // at the ends and every " ", "-", "(" and ")"; any other number only cleaned that way.
    static QString normalizeMainlandPhoneNumber(const QString &phoneNumber);
    // The application version sent at sign-in and exchange; absent when the app has none.
    static std::optional<QString> defaultAppVersion();
    // Trims whitespace and newlines, then every "/" at both ends.
    static QString normalizeBaseURL(const QString &baseURL);

private:
    struct Connection {
        QString baseURL;
        QString authToken;
        HttpSession *session;
        CancelToken cancel;
        Clock *clock;
    };

    Connection connection() const { return Connection {m_baseURL, m_authToken, m_session, m_cancel, m_clock}; }

    // Sends and yields the body of a 2xx answer; throws for everything else.
    static QCoro::Task<QByteArray> send(Connection connection, QString path, QString method,
        std::optional<QByteArray> body, double timeoutSeconds, CancelToken requestCancel);

    template <typename T> static T decodeAnswer(const QByteArray &answer)
    {
        if constexpr (std::is_same_v<T, QString>) {
            return decodeUtf8Text(answer);
        } else {
            return decodeJson<T>(answer);
        }
    }
    static QString decodeUtf8Text(const QByteArray &answer);

    // A large answer (a full snapshot runs to megabytes) is decoded away from the main thread, so
    // the window stays responsive meanwhile; a small one is decoded in place.
    static constexpr qsizetype offMainThreadDecodeBytes = qsizetype {256} * 1024;
    template <typename T> static QCoro::Task<T> decode(Clock *clock, QByteArray answer)
    {
        if (answer.size() < offMainThreadDecodeBytes) {
            co_return decodeAnswer<T>(answer);
        }
        auto value = std::make_shared<std::optional<T>>();
        auto error = std::make_shared<std::exception_ptr>();
        // Built before the await: a lambda temporary inside the await expression does not survive
        // the suspension intact with this compiler.
        std::function<void()> work = [answer = std::move(answer), value, error] {
            try {
                value->emplace(decodeAnswer<T>(answer));
            } catch (...) {
                *error = std::current_exception();
            }
        };
        co_await clock->runOffMainThread(std::move(work));
        if (*error) {
            std::rethrow_exception(*error);
        }
        co_return std::move(**value);
    }
    QString nowText() const;

    QString m_baseURL;
    QString m_authToken;
    HttpSession *m_session;
    Clock *m_clock;
    CancelToken m_cancel;
};

// The service's base URL: "Quorvin.CloudBaseURL" when stored, else the built-in endpoint, trimmed
// like the client's. A stored value that trims to nothing gives the empty text, which means that
// no service is configured.
QString normalizedCloudBaseURL(const UserDefaults &defaults);

} // namespace quorvin
