#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <qcoro/qcorotask.h>

namespace quorvin {

class CloudAccount;
class CloudSyncState;
class DiagnosticLog;
class SyncStateStore;
class SyncToolOwner;
struct CloudSyncCarryOver;

// The completed-reminder cleanup: a dry run compares the cloud's full snapshot with the local
// completed reminders and publishes which of them the cloud no longer accounts for; a delete
// removes those, on this machine only, then syncs. Each starter checks its guards (a failed one
// writes a diagnostic line), raises the busy flag and returns; the task behind it reports through
// the published state, the log and the status line.
class CompletedReminderCleanup : public QObject {
    Q_OBJECT
public:
    CompletedReminderCleanup(SyncToolOwner &owner, CloudAccount &account, CloudSyncState &syncState,
        SyncStateStore &stateStore, DiagnosticLog &log, const CloudSyncCarryOver &carryOver, QObject *parent = nullptr);

    // Changes nothing.
    void dryRunCompletedReminderCleanup();
    // Deletes the candidates of the last dry run that are still completed, then syncs. Without a
    // dry run it does nothing.
    void deleteCompletedReminderCleanupCandidates();
    bool isCompletedCleanupRunning() const { return m_isCompletedCleanupRunning; }
    // Of the last successful dry run; 0 after a failed one and after a delete.
    int completedCleanupCandidateCount() const { return m_completedCleanupCandidateCount; }
    // Progress, summary, result or failure of the last cleanup step.
    const QString &completedCleanupSummary() const { return m_completedCleanupSummary; }
    // The local ids the next delete removes, in candidate order (not published).
    const QStringList &completedCleanupCandidateIDs() const { return m_completedCleanupCandidateIDs; }

Q_SIGNALS:
    void changed();

private:
    template <typename T> void publish(T &field, const T &value)
    {
        if (field != value) {
            field = value;
            Q_EMIT changed();
        }
    }
    QCoro::Task<void> runCompletedCleanupDryRun(QString baseURL);
    QCoro::Task<void> runCompletedCleanupDelete(QStringList localIDs);
    void setIsCompletedCleanupRunning(bool value);

    SyncToolOwner &m_owner;
    CloudAccount &m_account;
    CloudSyncState &m_syncState;
    SyncStateStore &m_stateStore;
    DiagnosticLog &m_log;
    const CloudSyncCarryOver &m_carryOver;

    bool m_isCompletedCleanupRunning = false;
    int m_completedCleanupCandidateCount = 0;
    QString m_completedCleanupSummary;
    QStringList m_completedCleanupCandidateIDs;
};

} // namespace quorvin
