#pragma once

#include <QObject>
#include <QPointer>

namespace quorvin {

class ActivityLog;
class Clock;
class CloudAccount;
class CloudSyncState;
class DiagnosticLog;
class ReminderMonitor;
class ReminderStore;
class SyncStateStore;
class UserDefaults;
struct CloudSyncCarryOver;

// The components a sync pass works on. They belong to its owner; once `lifetime` is gone they
// are gone too, and the pass stops at its next await.
struct CloudSyncPassParts {
    QPointer<QObject> lifetime;
    UserDefaults &defaults;
    Clock &clock;
    ReminderStore &store;
    DiagnosticLog &log;
    ActivityLog &activityLog;
    CloudSyncState &syncState;
    CloudAccount &account;
    SyncStateStore &stateStore;
    ReminderMonitor &reminderMonitor;
    CloudSyncCarryOver &carryOver;
};

} // namespace quorvin
