#include "sync/CloudMaintenance.h"

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
#include "sync/SyncToolOwner.h"

#include <QPointer>

namespace quorvin {

CloudMaintenance::CloudMaintenance(SyncToolOwner &owner, CloudAccount &account, CloudSyncState &syncState,
    SyncStateStore &stateStore, DiagnosticLog &log, ActivityLog &activityLog, QObject *parent)
    : QObject(parent)
    , m_owner(owner)
    , m_account(account)
    , m_syncState(syncState)
    , m_stateStore(stateStore)
    , m_log(log)
    , m_activityLog(activityLog)
{
}

void CloudMaintenance::manualRefresh()
{
    if (!m_owner.reminderMonitor()) {
        return;
    }
    spawn(runManualRefresh(), SyncText::taskManualRefresh);
}

QCoro::Task<void> CloudMaintenance::runManualRefresh()
{
    QPointer<CloudMaintenance> self(this);
    std::optional<QString> failure;
    try {
        co_await m_owner.reminderMonitor()->refresh(RemindersText::reasonManual);
    } catch (const Error &error) {
        failure = error.description();
    }
    if (failure && self) {
        m_log.appendLog(SyncText::logManualRefreshFailedPrefix + *failure);
        m_owner.markSyncFailure(SyncText::manualRefreshFailed);
    }
}

void CloudMaintenance::retryCloudBootstrap()
{
    if (!m_owner.reminderMonitor()) {
        m_log.appendLog(SyncText::logRebuildNoMonitor);
        return;
    }
    const auto baseURL = m_owner.normalizedCloudBaseURL();
    if (baseURL.isEmpty()) {
        m_log.appendLog(SyncText::logRebuildNoBaseURL);
        return;
    }
    spawn(runCloudBootstrapRebuild(baseURL), SyncText::taskRebuild);
}

QCoro::Task<void> CloudMaintenance::runCloudBootstrapRebuild(QString baseURL)
{
    QPointer<CloudMaintenance> self(this);
    m_log.appendLog(SyncText::logRebuildRequested);
    std::optional<QString> failure;
    try {
        co_await m_owner.reminderMonitor()->refresh(RemindersText::reasonManual);
        if (!self) {
            co_return;
        }
        const auto token = m_account.currentToken();
        if (token.isEmpty()) {
            m_log.appendLog(SyncText::logRebuildNoToken);
            m_owner.markSyncFailure(SyncText::missingToken);
            co_return;
        }
        const auto localCount = m_stateStore.reminderCount();
        co_await m_owner.makeClient(baseURL, token).resetCloud();
        if (!self) {
            co_return;
        }
        m_syncState.clearCloudSyncState(SyncText::clearRebuild);
        m_log.appendLog(
            SyncText::logRebuildResetPrefix + QString::number(localCount) + SyncText::logRebuildResetSuffix);
        m_activityLog.appendActivityLog(ActivityText::categoryUser, SyncText::activityRebuildStarted,
            {SyncText::activityRebuildDetailPrefix + QString::number(localCount)
                + SyncText::activityRebuildDetailSuffix});
        m_owner.scheduleCloudSync(SyncText::triggerManualBootstrap, std::nullopt);
        co_return;
    } catch (const Error &error) {
        failure = error.description();
    }
    if (!self) {
        co_return;
    }
    m_log.appendLog(SyncText::logRebuildFailedPrefix + *failure);
    m_owner.markSyncFailure(SyncText::rebuildFailed);
    m_activityLog.appendActivityLog(ActivityText::categorySync, SyncText::activityRebuildFailed, {*failure});
}

} // namespace quorvin
