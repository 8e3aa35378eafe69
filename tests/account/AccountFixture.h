#pragma once

#include "account/CloudAccount.h"
#include "account/CloudAccountOwner.h"
#include "activity/ActivityLog.h"
#include "activity/DiagnosticLog.h"
#include "matching/CloudSyncState.h"
#include "platform/concurrency/ManualClock.h"
#include "platform/defaults/InMemoryUserDefaults.h"
#include "platform/device/FixedDeviceIdentitySource.h"
#include "support/cloudserver/CloudServer.h"
#include "support/cloudserver/InProcessHttpSession.h"

#include <QStringList>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>

namespace quorvin::test {

// Stands for the service: records what the account asks of its owner.
class RecordingAccountOwner : public CloudAccountOwner {
public:
    void markSyncInProgress() override { statuses.append(QStringLiteral("in progress")); }
    void markSyncSuccess(const QString &message) override { statuses.append(QStringLiteral("success: ") + message); }
    void markSyncFailure(const QString &message) override { statuses.append(QStringLiteral("failure: ") + message); }
    void scheduleCloudSync(const QString &trigger, const std::optional<SyncCountVerificationRequestSignal> &) override
    {
        triggers.append(trigger);
    }
    void startCloudRealtimeWaitIfNeeded() override { ++realtimeWaitStarts; }
    void cloudAuthTokenApplied() override { ++tokensApplied; }

    QStringList statuses;
    QStringList triggers;
    int realtimeWaitStarts = 0;
    int tokensApplied = 0;
};

// The account over the real sync state, logs and in-memory defaults, as the service wires them,
// talking to the test cloud service in process (virtual time). Settings written before build()
// are what the account and the state read back.
struct AccountFixture {
    void build()
    {
        syncState = std::make_unique<CloudSyncState>(defaults, log);
        account
            = std::make_unique<CloudAccount>(defaults, *syncState, log, activityLog, owner, http, clock, deviceSource);
    }

    // Cursors, one mapping and a written remote identity cache, as a finished pass leaves them.
    void holdSyncState()
    {
        syncState->saveCloudPullCursor(QStringLiteral("7"));
        syncState->saveCloudPushCursor(QStringLiteral("3"));
        syncState->setReminderMapping(QStringLiteral("server-1"), QStringLiteral("local-1"), false);
        syncState->noteRemoteReminderUpsert(QStringLiteral("server-1"), QStringLiteral("local-1"));
        syncState->saveRemoteIdentityCache();
        syncState->setCloudPushCursorNeedsRebase(false);
    }

    const QString &newestLogLine() const { return log.logs().front().text; }
    // Whether a diagnostic line (after its time stamp) reads exactly `text`.
    bool logged(const QString &text) const
    {
        return std::any_of(log.logs().begin(), log.logs().end(),
            [&](const auto &line) { return line.text.endsWith(QStringLiteral("] ") + text); });
    }

    void useService() { defaults.setString(QStringLiteral("Quorvin.CloudBaseURL"), InProcessHttpSession::baseUrl()); }
    // An account whose session on this machine is already stored and refreshed, as after start-up.
    void signIn(std::optional<QString> password = std::nullopt)
    {
        useService();
        userId = server.createUser(phone, password);
        token = server.createSession(userId, QStringLiteral("mqv"), QStringLiteral("mqv_machine_earlier"));
        defaults.setString(QStringLiteral("Quorvin.CloudAuthToken"), token);
        build();
        account->normalizePersistedCloudAuthTokenIfNeeded();
        account->reconcileCloudSyncStateWithAuthToken();
        runInVirtualTime(clock, account->refreshCloudSession(QStringLiteral("startup")));
    }
    // Lets every answer already due arrive (the in-process service answers at once).
    void settle() { clock.advance(std::chrono::seconds(1)); }

    ManualClock clock;
    CloudServer server {clock};
    InProcessHttpSession http {server, clock};
    InMemoryUserDefaults defaults;
    DiagnosticLog log {clock};
    ActivityLog activityLog {defaults, clock, log};
    FixedDeviceIdentitySource deviceSource {QStringLiteral("4C4C4544-0042-3510-8050-B4C04F4E3732"),
        QStringLiteral("Model Name: ThinkPad X1 Carbon Gen 11\nChip: Intel(R) Core(TM) i7-1365U"), QString()};
    RecordingAccountOwner owner;
    std::unique_ptr<CloudSyncState> syncState;
    std::unique_ptr<CloudAccount> account;
    QString phone = QStringLiteral("+8613812345678");
    QString userId;
    QString token;
};

} // namespace quorvin::test
