#pragma once

#include "ViewRig.h"
#include "account/CloudAccount.h"
#include "activity/DiagnosticLog.h"
#include "platform/concurrency/ManualClock.h"
#include "support/cloudserver/Phone.h"
#include "sync/CompletedReminderCleanup.h"
#include "sync/DiagnosticsUpload.h"

#include <QJsonObject>

#include <algorithm>
#include <chrono>

namespace quorvin::test {

// A view rig with an account on the test cloud, a reminders list on this machine and a phone of
// the same user. start() signs in and lets the first passes run.
struct SignedInRig : ViewRig {
    QString userId;
    QString token;
    QString listId;
    std::unique_ptr<Phone> phone;

    SignedInRig()
    {
        userId = server.createUser(QStringLiteral("+8613800138000"));
        token = server.createSession(
            userId, QStringLiteral("mqv"), QStringLiteral("mac-1"), QStringLiteral("Mac"), QStringLiteral("macos"));
        phone = std::make_unique<Phone>(server, userId);
        ReminderList list;
        list.title = QStringLiteral("Reminders");
        list.sourceId = store.sources().front().id;
        listId = store.saveList(list).id;
        store.setDefaultListId(listId);
    }

    QString localReminder(const QString &title, bool completed = false)
    {
        Reminder reminder;
        reminder.title = title;
        reminder.listId = listId;
        reminder.completed = completed;
        if (completed) {
            reminder.completionDate = clock.now();
        }
        return store.saveReminder(reminder).id;
    }

    void start()
    {
        account().applyCloudAuthToken(token, QStringLiteral("test"));
        runInVirtualTime(clock, service->startIfNeeded(), std::chrono::minutes(10));
        settle();
    }

    // Until no pass, cleanup step or upload runs any more.
    bool settle()
    {
        using namespace std::chrono_literals;
        const auto quiet = [this] {
            return !service->isCloudSyncRunnerActive() && !service->completedCleanup().isCompletedCleanupRunning()
                && !service->diagnosticsUpload().isDiagnosticUploading();
        };
        const bool settled = clock.runUntil(quiet, 5min);
        clock.advance(2s);
        return settled && clock.runUntil(quiet, 5min);
    }

    bool logged(const QString &fragment) const
    {
        const auto &lines = service->diagnosticLog().logs();
        return std::any_of(
            lines.begin(), lines.end(), [&](const LogLine &line) { return line.text.contains(fragment); });
    }

    // The cloud's copy of a local reminder.
    QString serverIdOf(const QString &localId) const
    {
        for (const auto &item : phone->reminders()) {
            if (item.value(QLatin1String("source_item_id")).toString() == localId) {
                return item.value(QLatin1String("local_id")).toString();
            }
        }
        return {};
    }
};

} // namespace quorvin::test
