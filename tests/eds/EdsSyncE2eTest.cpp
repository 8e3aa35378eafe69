#include "EdsTestSession.h"

#include "platform/concurrency/ManualClock.h"
#include "platform/defaults/FileUserDefaults.h"
#include "platform/reminderstore/InMemoryReminderStore.h"
#include "support/cloudserver/CloudServer.h"
#include "support/cloudserver/InProcessHttpSession.h"
#include "support/cloudserver/Phone.h"
#include "sync/QuorvinMacService.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

using namespace quorvin;
using namespace quorvin::test;
using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace {

// This machine and the phone of one user, on the test cloud server in virtual time; this machine
// runs on one reminder store, then on another, from the same settings file.
struct Machine {
    // The database stamps modification dates by the wall clock; virtual time starts there too, so
    // that the phone's later edits are later.
    ManualClock clock {QDateTime::currentDateTimeUtc()};
    CloudServer server {clock};
    InProcessHttpSession http {server, clock};
    QTemporaryDir dir;
    QString userId = server.createUser(u"+8613800138000"_s);
    Phone phone {server, userId};
    std::unique_ptr<FileUserDefaults> defaults;
    std::unique_ptr<QuorvinMacService> service;

    Machine()
    {
        FileUserDefaults seed(dir.filePath(u"settings.json"_s));
        seed.setString(u"Quorvin.CloudBaseURL"_s, InProcessHttpSession::baseUrl());
        seed.setString(u"Quorvin.CloudAuthToken"_s, server.createSession(userId, u"mqv"_s, u"mac-device-1"_s));
    }
    ~Machine() { quit(); }

    void launch(ReminderStore &store)
    {
        defaults = std::make_unique<FileUserDefaults>(dir.filePath(u"settings.json"_s));
        service = std::make_unique<QuorvinMacService>(*defaults, http, clock, store);
        runInVirtualTime(clock, service->startIfNeeded(), 10min);
    }

    void quit()
    {
        if (!service) {
            return;
        }
        clock.runUntil([&] { return !service->isCloudSyncRunnerActive(); }, 30min);
        service->shutdown();
        ManualClock::drainEvents();
        service.reset();
        defaults.reset();
    }

    // Lets both clocks run, the virtual one of the service and the real one of the task
    // database, until `done` holds.
    bool settle(const std::function<bool()> &done)
    {
        QElapsedTimer real;
        real.start();
        while (real.elapsed() < 30'000) {
            clock.runUntil([&] { return !service->isCloudSyncRunnerActive(); }, 5min);
            clock.advance(4s);
            QTest::qWait(50);
            if (done() && !service->isCloudSyncRunnerActive()) {
                return true;
            }
        }
        return false;
    }

    QStringList localTitles(const ReminderStore &store) const
    {
        QStringList titles;
        for (const auto &reminder : store.reminders()) {
            titles << reminder.title;
        }
        titles.sort();
        return titles;
    }
};

} // namespace

TEST(EdsSyncE2e, SwitchingToTheTaskDatabaseRestoresFromTheServerAndSyncsBothWays)
{
    QUORVIN_SKIP_WITHOUT_TASK_DATABASE();
    Machine m;
    const auto groceries = m.phone.createList(u"Groceries"_s);
    m.phone.createReminder({.title = u"Buy milk"_s, .listId = groceries});

    // First on the app's own store (the JSON file's, in memory here): a reminder of this machine
    // goes up, the phone's comes down.
    InMemoryReminderStore json(m.clock);
    json.setDefaultListId(json.saveList(ReminderList {{}, u"Reminders"_s, u"local"_s}).id);
    Reminder call;
    call.title = u"Call mom"_s;
    call.listId = json.defaultListForNewReminders()->id;
    json.saveReminder(call);
    m.launch(json);
    ASSERT_TRUE(
        m.settle([&] { return !m.phone.findByTitle(u"Call mom"_s).isEmpty() && json.reminders().size() == 2; }));
    m.quit();

    // Then on the desktop's task database, which holds none of it: everything comes back from
    // the server, and nothing is deleted there.
    EdsReminderStore tasks(m.clock);
    m.launch(tasks);
    ASSERT_TRUE(m.settle([&] {
        return m.localTitles(tasks) == QStringList({u"Buy milk"_s, u"Call mom"_s});
    })) << m.localTitles(tasks).join(u", "_s).toStdString()
        << " / " << m.service->lastSyncAttemptStatus().toStdString();
    EXPECT_FALSE(m.phone.findByTitle(u"Buy milk"_s).isEmpty());
    EXPECT_FALSE(m.phone.findByTitle(u"Call mom"_s).isEmpty());
    EXPECT_EQ(m.phone.reminders().size(), 2);
    QString milkId;
    for (const auto &reminder : tasks.reminders()) {
        if (reminder.title == u"Buy milk"_s) {
            milkId = reminder.id;
        }
    }
    const auto milkList = tasks.reminder(milkId)->listId;
    EXPECT_EQ(tasks.list(milkList)->title, u"Groceries"_s);
    EXPECT_TRUE(EdsTestSession::peer({u"lists"_s}).contains(u"\tGroceries\n"_s));

    // Another task app edits it on the desktop: the phone sees the edit.
    EdsTestSession::peer({u"edit"_s, milkList, milkId, u"Buy oat milk"_s});
    ASSERT_TRUE(m.settle([&] { return !m.phone.findByTitle(u"Buy oat milk"_s).isEmpty(); }))
        << m.service->lastSyncAttemptStatus().toStdString();

    // The phone completes it: the desktop's task is completed.
    m.phone.setCompleted(m.phone.findByTitle(u"Buy oat milk"_s), true);
    ASSERT_TRUE(m.settle([&] { return tasks.reminder(milkId)->completed; }));
    EXPECT_TRUE(EdsTestSession::peer({u"show"_s, milkList, milkId}).contains(u"STATUS:COMPLETED"_s));
}
