#pragma once

#include "model/JSONValue.h"
#include "model/SyncResponseEnvelope.h"
#include "reminders/ReminderMonitorDiagnosticSnapshot.h"
#include "sync/DiagnosticActivityLogSnapshot.h"
#include "sync/DiagnosticCloudStateSnapshot.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// The state of this machine's sync at one moment, as uploaded for support: the journal's view
// and the reminder store's own view of the reminders side by side, with both id mappings, so
// that a difference to the cloud can be traced. Absent optionals are left out, never null.
struct DiagnosticReportSnapshot {
    QString generated_at;
    QString app_version;
    qint64 reminder_count = 0;
    QString local_cursor;
    QString last_sync_attempt_status;
    std::optional<QString> last_sync_attempt_at;
    std::optional<QString> last_sync_success_at;
    DiagnosticCloudStateSnapshot cloud_state;
    SyncResponseEnvelope local_sync_snapshot;
    std::optional<ReminderMonitorDiagnosticSnapshot> eventkit_snapshot;
    // Empty when the store's snapshot was taken.
    QString eventkit_snapshot_error;
    JSONObject server_to_local_reminder_ids;
    JSONObject server_to_local_list_ids;
    // Newest first.
    QList<QString> recent_logs;
    QList<DiagnosticActivityLogSnapshot> recent_activity_logs;

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("generated_at", s.generated_at);
        v("app_version", s.app_version);
        v("reminder_count", s.reminder_count);
        v("local_cursor", s.local_cursor);
        v("last_sync_attempt_status", s.last_sync_attempt_status);
        v("last_sync_attempt_at", s.last_sync_attempt_at);
        v("last_sync_success_at", s.last_sync_success_at);
        v("cloud_state", s.cloud_state);
        v("local_sync_snapshot", s.local_sync_snapshot);
        v("eventkit_snapshot", s.eventkit_snapshot);
        v("eventkit_snapshot_error", s.eventkit_snapshot_error);
        v("server_to_local_reminder_ids", s.server_to_local_reminder_ids);
        v("server_to_local_list_ids", s.server_to_local_list_ids);
        v("recent_logs", s.recent_logs);
        v("recent_activity_logs", s.recent_activity_logs);
    }
};

} // namespace quorvin
