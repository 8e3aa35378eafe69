#include "sync/QuorvinMacService.h"

#include "account/CloudAccount.h"
#include "activity/DiagnosticLog.h"
#include "cloud/CloudSyncClient.h"
#include "matching/CloudSyncState.h"
#include "platform/concurrency/Clock.h"
#include "platform/concurrency/Spawn.h"
#include "sync/DiagnosticsUpload.h"
#include "sync/Strings.h"

#include <QPointer>

#include <chrono>

namespace quorvin {

using namespace std::chrono_literals;

namespace {
constexpr auto healthPollInterval = 60s;
constexpr auto realtimeSilenceLimit = 90s;
constexpr auto realtimeIdleStep = 1s;
constexpr auto realtimeErrorBackoff = 5s;
constexpr auto realtimeMinimumRound = 1s;
constexpr int realtimeWaitTimeoutMs = 25000;

// A cancelled sleep only ends the wait early; the loop looks at its token right after.
QCoro::Task<void> sleepQuietly(Clock &clock, std::chrono::milliseconds duration, CancelToken token)
{
    try {
        co_await clock.sleep(duration, token);
    } catch (const CancelledError &) {
    }
}
} // namespace

void QuorvinMacService::startCloudSyncPollingIfNeeded()
{
    // A service that is stopping starts nothing that would outlive the quit.
    if (m_cloudSyncPollTask || m_stopping) {
        return;
    }
    m_cloudSyncPollTask = std::make_unique<CancelSource>();
    spawn(runHealthPoll(m_cloudSyncPollTask->token()), SyncText::taskHealthPoll);
}

void QuorvinMacService::startCloudRealtimeWaitIfNeeded()
{
    // A service that is stopping starts nothing that would outlive the quit.
    if (m_cloudSyncWaitTask || m_stopping) {
        return;
    }
    m_cloudSyncWaitTask = std::make_unique<CancelSource>();
    m_log.appendLog(SyncText::logRealtimeStarted);
    spawn(runRealtimeWait(m_cloudSyncWaitTask->token()), SyncText::taskRealtimeWait);
}

QCoro::Task<void> QuorvinMacService::runHealthPoll(CancelToken token)
{
    QPointer<QuorvinMacService> self(this);
    Clock &clock = m_clock;
    while (!token.isCancelled()) {
        co_await sleepQuietly(clock, healthPollInterval, token);
        if (token.isCancelled() || !self) {
            co_return;
        }
        // While a failed pass waits for its retry, the retry is the fallback.
        if (m_isRunning && !isCloudSyncRetryPending() && !normalizedCloudBaseURL().isEmpty()
            && !m_account.currentToken().isEmpty()) {
            if (m_cloudRealtimeLastResponseAt.msecsTo(clock.now())
                >= std::chrono::milliseconds(realtimeSilenceLimit).count()) {
                scheduleCloudSync(SyncText::triggerHealthFallback);
            }
        }
    }
}

QCoro::Task<void> QuorvinMacService::runRealtimeWait(CancelToken token)
{
    QPointer<QuorvinMacService> self(this);
    Clock &clock = m_clock;
    HttpSession &http = m_http;
    while (!token.isCancelled()) {
        bool ready = false;
        QString baseURL;
        QString authToken;
        QString cursor;
        QString observedRequestID;
        if (self) {
            baseURL = normalizedCloudBaseURL();
            authToken = m_account.currentToken();
            cursor = m_syncState.cloudPullCursor().trimmed();
            observedRequestID = m_observedCountVerificationRequestID;
            // No wait while a failed pass waits for its retry either: the pull cursor may lag behind
            // the server, and every wait would then answer at once and start the failing pass again.
            ready = m_isRunning && !m_cloudSyncRunning && !isCloudSyncRetryPending() && !baseURL.isEmpty()
                && !authToken.isEmpty() && !cursor.isEmpty();
        }
        if (!ready) {
            co_await sleepQuietly(clock, realtimeIdleStep, token);
            continue;
        }

        const auto startedAt = clock.now();
        std::optional<QString> observedRequest;
        if (!observedRequestID.isEmpty()) {
            observedRequest = observedRequestID;
        }
        std::optional<CloudSyncWaitResponse> answer;
        try {
            CloudSyncClient client(http, baseURL, authToken, clock);
            answer = co_await client.waitForChange(cursor, observedRequest, realtimeWaitTimeoutMs, token);
        } catch (const std::exception &) {
            // Errors of the wait stay silent; the health poll notices a long silence.
        }
        if (token.isCancelled()) {
            co_return;
        }
        if (!answer) {
            co_await sleepQuietly(clock, realtimeErrorBackoff, token);
            continue;
        }
        if (!self) {
            continue;
        }
        m_cloudRealtimeLastResponseAt = clock.now();

        if (const auto requestID = answer->diagnostic_request_id.value_or(QString()); !requestID.isEmpty()) {
            // A request that arrived for the account this wait was opened with only.
            if (m_isRunning && m_account.currentToken() == authToken) {
                m_diagnosticsUpload->uploadDiagnosticsReport(requestID);
            }
        }

        if (answer->count_verification_request) {
            if (m_isRunning) {
                m_observedCountVerificationRequestID = answer->count_verification_request->request_id;
                scheduleCloudSync(SyncText::triggerCountVerification, answer->count_verification_request);
            }
            continue;
        }
        if (answer->changed) {
            if (m_isRunning) {
                scheduleCloudSync(SyncText::triggerRealtimeWait);
            }
            continue;
        }
        const auto elapsed = std::max<qint64>(0, startedAt.msecsTo(clock.now()));
        if (elapsed < std::chrono::milliseconds(realtimeMinimumRound).count()) {
            co_await sleepQuietly(clock,
                std::chrono::milliseconds(std::chrono::milliseconds(realtimeMinimumRound).count() - elapsed), token);
        }
    }
}

} // namespace quorvin
