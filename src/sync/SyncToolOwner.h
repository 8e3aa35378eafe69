#pragma once

#include "model/SyncCountVerificationRequestSignal.h"
#include "sync/OwnStoreWriter.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace quorvin {

class CloudSyncClient;
class ReminderMonitor;

// The published sync state a diagnostics report carries.
struct SyncStatusForReport {
    int reminderCount = 0;
    QString cursor;
    QString lastSyncAttemptStatus;
    std::optional<QDateTime> lastSyncAttemptAt;
    std::optional<QDateTime> lastSyncSuccessAt;
};

// What the service's tools beside the pass (the diagnostics upload, the completed cleanup) need
// of it: the status line, a pass, the base URL and a client, the monitor once start-up has built
// it, and (as an OwnStoreWriter) the hold on refresh activity while they write.
class SyncToolOwner : public OwnStoreWriter {
public:
    virtual void markSyncSuccess(const QString &message) = 0;
    virtual void markSyncFailure(const QString &message) = 0;
    virtual void scheduleCloudSync(
        const QString &trigger, const std::optional<SyncCountVerificationRequestSignal> &request)
        = 0;
    virtual QString normalizedCloudBaseURL() const = 0;
    // A client whose requests end when the service goes away.
    virtual CloudSyncClient makeClient(const QString &baseURL, const QString &token) const = 0;
    // Absent until start-up has built it.
    virtual ReminderMonitor *reminderMonitor() const = 0;
    virtual SyncStatusForReport syncStatusForReport() const = 0;
};

} // namespace quorvin
