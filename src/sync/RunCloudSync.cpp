#include "sync/QuorvinMacService.h"

#include "account/CloudAccount.h"
#include "activity/ActivityLog.h"
#include "activity/DiagnosticLog.h"
#include "activity/ReminderCountSummaryText.h"
#include "activity/Strings.h"
#include "cloud/CloudSyncClient.h"
#include "matching/CloudPullUploadCheckpoint.h"
#include "matching/CloudSyncState.h"
#include "matching/SyncStateStore.h"
#include "platform/concurrency/Clock.h"
#include "platform/defaults/UserDefaults.h"
#include "reminders/ReminderMonitor.h"
#include "reminders/Strings.h"
#include "sync/CloudSyncCarryOver.h"
#include "sync/CloudSyncPass.h"
#include "sync/CloudSyncPassParts.h"
#include "sync/SettingsWriteError.h"
#include "sync/Strings.h"
#include "sync/SyncStateFencedError.h"

#include <QPointer>

#include <algorithm>

namespace quorvin {

namespace {
QString errorDescription(const std::exception &error)
{
    if (const auto *known = dynamic_cast<const Error *>(&error)) {
        return known->description();
    }
    return QString::fromUtf8(error.what());
}
} // namespace

CloudSyncClient QuorvinMacService::makeClient(const QString &baseURL, const QString &token) const
{
    CloudSyncClient client(m_http, baseURL, token, m_clock);
    // Destroying the service ends its requests instead of leaving them to resume into nothing.
    client.setCancelToken(m_lifetime.token());
    return client;
}

CloudSyncPassParts QuorvinMacService::passParts()
{
    return CloudSyncPassParts {this, m_defaults, m_clock, m_store, m_log, m_activityLog, m_syncState, m_account,
        *m_stateStore, *m_reminderMonitor, m_carryOver};
}

void QuorvinMacService::scheduleCloudSyncAfterPass(
    const QString &trigger, const std::optional<SyncCountVerificationRequestSignal> &request)
{
    scheduleCloudSync(trigger, request);
    m_cloudSyncPending = true;
}

std::optional<SyncCountVerificationRequestSignal> QuorvinMacService::takeCountVerificationRequest()
{
    return std::exchange(m_cloudCountVerificationRequest, std::nullopt);
}

void QuorvinMacService::forgetObservedCountVerificationRequest()
{
    m_observedCountVerificationRequestID.clear();
}

void QuorvinMacService::reportFailureLine(const QString &line)
{
    m_log.appendLog(line);
    Q_EMIT syncFailureReported(line);
}

QCoro::Task<void> QuorvinMacService::runCloudSync(
    QString trigger, std::optional<SyncCountVerificationRequestSignal> request)
{
    // A failed monitor start keeps sync off for good.
    if (!m_isRunning || !m_reminderMonitor) {
        co_return;
    }
    const auto baseURL = normalizedCloudBaseURL();
    if (baseURL.isEmpty()) {
        co_return;
    }
    const auto token = m_account.currentToken();
    if (token.isEmpty()) {
        recordCloudSyncPauseIfNeeded(
            SyncText::pauseMissingTokenReason, SyncText::missingToken, SyncText::pauseMissingTokenLog);
        co_return;
    }
    m_lastLoggedCloudSyncPauseReason.reset();
    markSyncInProgress();
    // A pass with nothing to write would otherwise report the reason of a write that failed
    // before the disk was freed.
    m_defaults.retryFailedWrite();
    const auto epoch = m_syncState.syncStateEpoch();
    QPointer<QuorvinMacService> self(this);
    co_await m_clock.yield();
    if (!self) {
        co_return;
    }

    CloudSyncPassContext context {passParts(), *this, makeClient(baseURL, token), epoch, trigger, request};
    CloudSyncPass pass(context);
    std::exception_ptr failure;
    try {
        co_await pass.run();
    } catch (const SyncStateFencedError &) {
        // The account or the sync state changed under the pass: whatever it would still write
        // belongs to a state that no longer exists, a count verification the server asked for
        // included. It is dropped like after a failure, so the server may ask again.
        if (self) {
            if (pass.carriesCountVerificationRequest()) {
                m_observedCountVerificationRequestID.clear();
                m_cloudCountVerificationRequest.reset();
            }
            m_log.appendLog(SyncText::logPassFencedPrefix + trigger + SyncText::logPassFencedSuffix);
        }
        co_return;
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self) {
        co_return;
    }
    if (!failure) {
        m_lastCloudSyncPassOutcome = CloudSyncPassOutcome::Succeeded;
        co_return;
    }
    if (m_stopping) {
        // Stopped for a quit at a safe point (or its request cancelled): nothing failed, and the
        // next start takes over from what is saved.
        m_log.appendLog(SyncText::logPassStoppedPrefix + trigger + SyncText::logPassStoppedSuffix);
        co_return;
    }

    if (pass.carriesCountVerificationRequest()) {
        m_observedCountVerificationRequestID.clear();
        m_cloudCountVerificationRequest.reset();
    }
    // The pass's token is no longer the account's (signed out, or another account signed in while
    // a request waited): its failure, a late 401 above all, speaks of a session that is already
    // over and must not end the one that replaced it.
    if (m_account.currentToken() != token) {
        m_log.appendLog(SyncText::logPassFencedPrefix + trigger + SyncText::logPassFencedSuffix);
        co_return;
    }
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception &error) {
        const auto description = errorDescription(error);
        const auto line = SyncText::logPassFailedPrefix + trigger + SyncText::logPassFailedDescription + description;
        if (m_account.handleCloudAccessFailure(error, trigger)) {
            Q_EMIT syncFailureReported(line);
            co_return;
        }
        m_lastCloudSyncPassOutcome = CloudSyncPassOutcome::Failed;
        markSyncFailure(SyncText::syncFailed);
        reportFailureLine(line);
        m_activityLog.appendActivityLog(ActivityText::categorySync, ActivityText::summarySyncFailed, {description});
    }
}

} // namespace quorvin
