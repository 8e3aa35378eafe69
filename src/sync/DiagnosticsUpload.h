#pragma once

#include <QObject>
#include <QString>
#include <qcoro/qcorotask.h>

#include <optional>

namespace quorvin {

class ActivityLog;
class Clock;
class CloudAccount;
class CloudSyncState;
class DiagnosticLog;
class SyncStateStore;
class SyncToolOwner;

// The diagnostics report: gathers this machine's sync state (status, session, cursors, the
// journal's snapshot, the store's own snapshot, both mappings, the newest log lines) and uploads
// it. The report never carries the session token or another secret.
class DiagnosticsUpload : public QObject {
    Q_OBJECT
public:
    DiagnosticsUpload(SyncToolOwner &owner, CloudAccount &account, CloudSyncState &syncState,
        SyncStateStore &stateStore, DiagnosticLog &log, ActivityLog &activityLog, Clock &clock,
        QObject *parent = nullptr);

    // Checks its guards (a failed one writes a diagnostic line), raises the busy flag and starts
    // the upload. `parentReportID` is the id of the service's request when the long-poll asked for
    // the report. Does nothing while an upload runs.
    void uploadDiagnosticsReport(const std::optional<QString> &parentReportID = std::nullopt);
    bool isDiagnosticUploading() const { return m_isDiagnosticUploading; }

Q_SIGNALS:
    void changed();

private:
    QCoro::Task<void> runDiagnosticsUpload(QString baseURL, QString token, std::optional<QString> parentReportID);
    void setIsDiagnosticUploading(bool value);

    SyncToolOwner &m_owner;
    CloudAccount &m_account;
    CloudSyncState &m_syncState;
    SyncStateStore &m_stateStore;
    DiagnosticLog &m_log;
    ActivityLog &m_activityLog;
    Clock &m_clock;

    bool m_isDiagnosticUploading = false;
};

} // namespace quorvin
