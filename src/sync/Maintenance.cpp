#include "sync/QuorvinMacService.h"

#include "account/CloudAccount.h"
#include "activity/ActivityLog.h"
#include "activity/DiagnosticLog.h"
#include "activity/Strings.h"
#include "cloud/CloudSyncClient.h"
#include "matching/CloudSyncState.h"
#include "matching/SyncStateStore.h"
#include "platform/concurrency/Spawn.h"
#include "reminders/ReminderMonitor.h"
#include "reminders/Strings.h"
#include "sync/Strings.h"

#include <QPointer>

namespace quorvin {

void QuorvinMacService::manualRefresh()
{
    if (!m_reminderMonitor) {
        return;
    }
    spawn(runManualRefresh(), SyncText::taskManualRefresh);
}

QCoro::Task<void> QuorvinMacService::runManualRefresh()
{
    QPointer<QuorvinMacService> self(this);
    std::optional<QString> failure;
    try {
        co_await m_reminderMonitor->refresh(RemindersText::reasonManual);
    } catch (const Error &error) {
        failure = error.description();
    }
    if (failure && self) {
        m_log.appendLog(SyncText::logManualRefreshFailedPrefix + *failure);
        markSyncFailure(SyncText::manualRefreshFailed);
    }
}

void QuorvinMacService::retryCloudBootstrap()
{
    if (!m_reminderMonitor) {
        m_log.appendLog(SyncText::logRebuildNoMonitor);
        return;
    }
    const auto baseURL = normalizedCloudBaseURL();
    if (baseURL.isEmpty()) {
        m_log.appendLog(SyncText::logRebuildNoBaseURL);
        return;
    }
    spawn(runCloudBootstrapRebuild(baseURL), SyncText::taskRebuild);
}

QCoro::Task<void> QuorvinMacService::runCloudBootstrapRebuild(QString baseURL)
{
    QPointer<QuorvinMacService> self(this);
    m_log.appendLog(SyncText::logRebuildRequested);
    std::optional<QString> failure;
    try {
        co_await m_reminderMonitor->refresh(RemindersText::reasonManual);
        if (!self) {
            co_return;
        }
        const auto token = CloudAccount::normalizeCloudAuthTokenValue(m_account.cloudAuthToken());
        if (token.isEmpty()) {
            m_log.appendLog(SyncText::logRebuildNoToken);
            markSyncFailure(SyncText::missingToken);
            co_return;
        }
        const auto localCount = m_stateStore->reminderCount();
        co_await makeClient(baseURL, token).resetCloud();
        if (!self) {
            co_return;
        }
        m_syncState.clearCloudSyncState(SyncText::clearRebuild);
        m_log.appendLog(
            SyncText::logRebuildResetPrefix + QString::number(localCount) + SyncText::logRebuildResetSuffix);
        m_activityLog.appendActivityLog(ActivityText::categoryUser, SyncText::activityRebuildStarted,
            {SyncText::activityRebuildDetailPrefix + QString::number(localCount)
                + SyncText::activityRebuildDetailSuffix});
        scheduleCloudSync(SyncText::triggerManualBootstrap);
        co_return;
    } catch (const Error &error) {
        failure = error.description();
    }
    if (!self) {
        co_return;
    }
    m_log.appendLog(SyncText::logRebuildFailedPrefix + *failure);
    markSyncFailure(SyncText::rebuildFailed);
    m_activityLog.appendActivityLog(ActivityText::categorySync, SyncText::activityRebuildFailed, {*failure});
}

} // namespace quorvin
