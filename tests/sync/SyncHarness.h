#pragma once

#include "activity/DiagnosticLog.h"
#include "matching/CloudIDMappingIndex.h"
#include "platform/concurrency/ManualClock.h"
#include "platform/defaults/InMemoryUserDefaults.h"
#include "platform/reminderstore/InMemoryReminderStore.h"
#include "support/cloudserver/CloudServer.h"
#include "support/cloudserver/InProcessHttpSession.h"
#include "support/cloudserver/SyncModel.h"
#include "sync/QuorvinMacService.h"

#include <QDateTime>

#include <chrono>
#include <memory>

namespace quorvin::test {

// One Mac and the test cloud service, all in virtual time: a signed-in account, a local reminder
// store with one list, and a QuorvinMacService built on demand (again, to stand for a restart).
class SyncHarness {
public:
    SyncHarness()
        : server(clock)
        , http(server, clock)
        , store(clock)
    {
        userId = server.createUser(QStringLiteral("+8613800138000"));
        token = server.createSession(userId, QStringLiteral("mqv"), QStringLiteral("mac-device-1"));
        defaults.setString(QStringLiteral("Quorvin.CloudBaseURL"), InProcessHttpSession::baseUrl());
        defaults.setString(QStringLiteral("Quorvin.CloudAuthToken"), token);
        ReminderList list;
        list.title = QStringLiteral("Inbox");
        list.sourceId = store.sources().front().id;
        listId = store.saveList(list).id;
    }

    ~SyncHarness()
    {
        if (service) {
            service->shutdown();
            ManualClock::drainEvents();
        }
    }

    // Builds the service (dropping an earlier one, as a restart does) and runs its start-up.
    QuorvinMacService &start()
    {
        if (service) {
            service->shutdown();
            ManualClock::drainEvents();
            service.reset();
        }
        service = std::make_unique<QuorvinMacService>(defaults, http, clock, store);
        runInVirtualTime(clock, service->startIfNeeded());
        return *service;
    }

    // Runs virtual time until the runner has no pass left; false when it never gets there.
    bool settle(std::chrono::milliseconds limit = std::chrono::minutes(10))
    {
        ManualClock::drainEvents();
        return clock.runUntil([this] { return !service->isCloudSyncRunnerActive(); }, limit);
    }

    QString addLocalReminder(const QString &title, bool completed = false)
    {
        Reminder reminder;
        reminder.listId = listId;
        reminder.title = title;
        reminder.completed = completed;
        return store.saveReminder(reminder).id;
    }

    SyncModel &model() { return syncModel(server); }
    QList<QJsonObject> serverItems() { return model().liveItems(userId); }

    int requestCount(const QString &path) { return int(server.journalFor(path).size()); }
    int mutationCount()
    {
        int count = 0;
        for (const auto &entry : server.journal()) {
            if (entry.request.method == QStringLiteral("POST")) {
                ++count;
            }
        }
        return count;
    }

    // Diagnostic lines that contain `text`, newest first.
    int logCount(const QString &text) const
    {
        int count = 0;
        for (const auto &line : service->diagnosticLog().logs()) {
            if (line.text.contains(text)) {
                ++count;
            }
        }
        return count;
    }

    ManualClock clock;
    CloudServer server;
    InProcessHttpSession http;
    InMemoryUserDefaults defaults;
    InMemoryReminderStore store;
    std::unique_ptr<QuorvinMacService> service;
    QString userId;
    QString token;
    QString listId;
};

} // namespace quorvin::test
