#pragma once

#include <QObject>
#include <QString>
#include <qcoro/qcorotask.h>

namespace quorvin {

class ActivityLog;
class CloudAccount;
class CloudSyncState;
class DiagnosticLog;
class SyncStateStore;
class SyncToolOwner;

// The user's maintenance requests: a manual refresh of the store, and the rebuild that empties the
// cloud and uploads this machine's reminders again. Each starter checks its guards (a failed one
// writes a diagnostic line) and returns; the task behind it reports through the log, the activity
// log and the status line.
class CloudMaintenance : public QObject {
public:
    CloudMaintenance(SyncToolOwner &owner, CloudAccount &account, CloudSyncState &syncState, SyncStateStore &stateStore,
        DiagnosticLog &log, ActivityLog &activityLog, QObject *parent = nullptr);

    void manualRefresh();
    void retryCloudBootstrap();

private:
    QCoro::Task<void> runManualRefresh();
    QCoro::Task<void> runCloudBootstrapRebuild(QString baseURL);

    SyncToolOwner &m_owner;
    CloudAccount &m_account;
    CloudSyncState &m_syncState;
    SyncStateStore &m_stateStore;
    DiagnosticLog &m_log;
    ActivityLog &m_activityLog;
};

} // namespace quorvin
