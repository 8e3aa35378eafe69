#include "EdsTestSession.h"

#include "activity/DiagnosticLog.h"
#include "matching/CloudSyncState.h"
#include "platform/concurrency/ManualClock.h"
#include "platform/defaults/FileUserDefaults.h"
#include "platform/reminderstore/InMemoryReminderStore.h"
#include "support/cloudserver/CloudServer.h"
#include "support/cloudserver/InProcessHttpSession.h"
#include "support/cloudserver/Phone.h"
#include "sync/QuorvinMacService.h"
#include "sync/Strings.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QUuid>

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
        defaults = std::make_unique<FileUserDefaults>(dir.filePath(u"settings.json"_s), clock);
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

namespace {

// The to-do's lines as the database holds them, its alarms' included, without those the database
// stamps on every write.
QStringList stableLines(const QString &ics)
{
    QStringList lines;
    for (const auto &line : ics.split(u"\n"_s, Qt::SkipEmptyParts)) {
        const auto trimmed = line.trimmed();
        if (!trimmed.startsWith(u"LAST-MODIFIED"_s) && !trimmed.startsWith(u"DTSTAMP"_s)
            && !trimmed.startsWith(u"SEQUENCE"_s)) {
            lines << trimmed;
        }
    }
    return lines;
}

} // namespace

TEST(EdsSyncE2e, AnotherAppsTaskKeepsEverythingTheSyncDidNotChange)
{
    QUORVIN_SKIP_WITHOUT_TASK_DATABASE();
    Machine m;
    const auto listId = u"quorvin-test-neighbour"_s;
    EdsTestSession::peer({u"list-create"_s, listId, u"Neighbour"_s});
    EdsReminderStore tasks(m.clock);
    m.launch(tasks);

    // Another app writes a task: due in another zone, start in UTC, an absolute alarm nowhere
    // near the due time and a relative one, each alarm with its own description, and a property
    // of its own.
    const auto uid = u"neighbour-task-1"_s;
    EdsTestSession::peer({u"put"_s, listId,
        u"BEGIN:VTODO\r\nUID:neighbour-task-1\r\nSUMMARY:Dentist\r\n"
        "DTSTART:20261214T100000Z\r\nDUE;TZID=America/New_York:20261215T090000\r\n"
        "X-NEIGHBOUR-COLOUR:teal\r\n"
        "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:Leave early\r\n"
        "TRIGGER;VALUE=DATE-TIME:20261214T080000Z\r\nEND:VALARM\r\n"
        "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:Almost time\r\nTRIGGER;RELATED=END:-PT15M\r\nEND:VALARM\r\n"
        "END:VTODO\r\n"_s});
    const auto written = stableLines(EdsTestSession::peer({u"show"_s, listId, uid}));
    ASSERT_TRUE(written.contains(u"DUE;TZID=America/New_York:20261215T090000"_s)) << written.join(u'\n').toStdString();

    // It reaches the service with both alarms; the sync's own round trip leaves the task alone.
    ASSERT_TRUE(m.settle([&] {
        const auto id = m.phone.findByTitle(u"Dentist"_s);
        return !id.isEmpty() && m.phone.reminder(id)->value(u"alarms"_s).toArray().size() == 2;
    })) << m.service->lastSyncAttemptStatus().toStdString();
    const auto serverId = m.phone.findByTitle(u"Dentist"_s);
    for (int round = 0; round < 6; ++round) {
        m.settle([] { return true; });
    }
    EXPECT_EQ(stableLines(EdsTestSession::peer({u"show"_s, listId, uid})).join(u'\n').toStdString(),
        written.join(u'\n').toStdString());
    EXPECT_EQ(m.phone.reminder(serverId)->value(u"alarms"_s).toArray().size(), 2);

    // The phone renames it: the title changes, and nothing else does.
    m.phone.setTitle(serverId, u"Dentist at nine"_s);
    ASSERT_TRUE(m.settle([&] { return tasks.reminder(uid) && tasks.reminder(uid)->title == u"Dentist at nine"_s; }));
    auto expected = written;
    expected.replaceInStrings(u"SUMMARY:Dentist"_s, u"SUMMARY:Dentist at nine"_s);
    EXPECT_EQ(stableLines(EdsTestSession::peer({u"show"_s, listId, uid})).join(u'\n').toStdString(),
        expected.join(u'\n').toStdString());
    EXPECT_EQ(m.phone.reminder(serverId)->value(u"alarms"_s).toArray().size(), 2);

    m.quit();
    EdsTestSession::peer({u"list-remove"_s, listId});
}

TEST(EdsSyncE2e, AListSwitchedOffIsLeftAloneAndComesBackUnderTheSameServerIds)
{
    QUORVIN_SKIP_WITHOUT_TASK_DATABASE();
    Machine m;
    const auto trips = m.phone.createList(u"Trips"_s);
    const auto passport = m.phone.createReminder({.title = u"Renew passport"_s, .listId = trips});
    const auto tickets = m.phone.createReminder({.title = u"Book tickets"_s, .listId = trips});
    auto store = std::make_unique<EdsReminderStore>(m.clock);
    m.launch(*store);
    ASSERT_TRUE(m.settle([&] { return m.localTitles(*store).contains(u"Book tickets"_s); }));
    QString listId;
    for (const auto &list : store->lists()) {
        if (list.title == u"Trips"_s) {
            listId = list.id;
        }
    }
    ASSERT_FALSE(listId.isEmpty());
    const auto serverState = [&] {
        QStringList ids;
        for (const auto &reminder : m.phone.reminders()) {
            ids << reminder.value(u"local_id"_s).toString() + u'/' + reminder.value(u"list_id"_s).toString();
        }
        for (const auto &list : m.phone.lists()) {
            ids << list.value(u"list_id"_s).toString();
        }
        ids.sort();
        return ids;
    };
    const auto before = serverState();

    // Switched off in the account settings: nothing of it goes on the service, and a phone edit
    // made meanwhile waits.
    EdsTestSession::peer({u"list-enable"_s, listId, u"off"_s});
    for (int round = 0; round < 6; ++round) {
        m.settle([] { return true; });
    }
    EXPECT_EQ(serverState(), before);
    EXPECT_TRUE(m.localTitles(*store).contains(u"Renew passport"_s));
    m.phone.setTitle(passport, u"Renew passport soon"_s);
    for (int round = 0; round < 4; ++round) {
        m.settle([] { return true; });
    }

    // A start while it is off finds it as it was.
    m.quit();
    store = std::make_unique<EdsReminderStore>(m.clock);
    m.launch(*store);
    for (int round = 0; round < 4; ++round) {
        m.settle([] { return true; });
    }
    EXPECT_EQ(serverState(), before);
    EXPECT_TRUE(m.localTitles(*store).contains(u"Book tickets"_s));

    // Switched on: the same list and reminders, with the phone's edit written into the task.
    EdsTestSession::peer({u"list-enable"_s, listId, u"on"_s});
    ASSERT_TRUE(m.settle([&] {
        return EdsTestSession::peer({u"uids"_s, listId}).split(u'\n', Qt::SkipEmptyParts).size() == 2
            && m.localTitles(*store).contains(u"Renew passport soon"_s);
    })) << m.localTitles(*store).join(u", "_s).toStdString();
    for (int round = 0; round < 4; ++round) {
        m.settle([] { return true; });
    }
    EXPECT_EQ(serverState(), before);
    EXPECT_EQ(m.phone.reminder(passport)->value(u"title"_s).toString(), u"Renew passport soon"_s);
    EXPECT_EQ(m.phone.reminder(tickets)->value(u"title"_s).toString(), u"Book tickets"_s);
    bool written = false;
    for (const auto &uid : EdsTestSession::peer({u"uids"_s, listId}).split(u'\n', Qt::SkipEmptyParts)) {
        written = written || EdsTestSession::peer({u"show"_s, listId, uid}).contains(u"SUMMARY:Renew passport soon"_s);
    }
    EXPECT_TRUE(written);

    m.quit();
    EdsTestSession::peer({u"list-remove"_s, listId});
}

TEST(EdsSyncE2e, CopiesAndMovesOfAnotherAppSurviveARestart)
{
    QUORVIN_SKIP_WITHOUT_TASK_DATABASE();
    Machine m;
    const auto home = m.phone.createList(u"Home"_s);
    const auto plants = m.phone.createReminder({.title = u"Water plants"_s, .listId = home});
    auto tasks = std::make_unique<EdsReminderStore>(m.clock);
    m.launch(*tasks);
    ASSERT_TRUE(m.settle([&] { return m.localTitles(*tasks).contains(u"Water plants"_s); }));
    QString uid;
    for (const auto &reminder : tasks->reminders()) {
        if (reminder.title == u"Water plants"_s) {
            uid = reminder.id;
        }
    }
    const auto homeId = tasks->reminder(uid)->listId;

    // Another app copies the task under the same UID into a list of its own.
    const auto copyId = u"zzzz-quorvin-copy"_s;
    EdsTestSession::peer({u"list-create"_s, copyId, u"Copy"_s});
    EdsTestSession::peer({u"put"_s, copyId, EdsTestSession::peer({u"show"_s, homeId, uid})});
    for (int round = 0; round < 4; ++round) {
        m.settle([] { return true; });
    }
    EXPECT_EQ(m.localTitles(*tasks).count(u"Water plants"_s), 1);
    EXPECT_EQ(tasks->reminder(uid)->listId, homeId);

    // After a restart the same copy stands and the sync goes on both ways.
    m.quit();
    tasks = std::make_unique<EdsReminderStore>(m.clock);
    m.launch(*tasks);
    EXPECT_EQ(tasks->reminder(uid)->listId, homeId);
    m.phone.setTitle(plants, u"Water the plants"_s);
    ASSERT_TRUE(m.settle([&] { return tasks->reminder(uid)->title == u"Water the plants"_s; }))
        << m.service->lastSyncAttemptStatus().toStdString();
    EXPECT_TRUE(EdsTestSession::peer({u"show"_s, homeId, uid}).contains(u"SUMMARY:Water the plants"_s));

    // The phone moves it into the other app's list: that copy takes it, and only one is left.
    QString copyServerId;
    ASSERT_TRUE(m.settle([&] {
        for (const auto &list : m.phone.lists()) {
            if (list.value(u"list_name"_s).toString() == u"Copy"_s) {
                copyServerId = list.value(u"list_id"_s).toString();
            }
        }
        return !copyServerId.isEmpty();
    }));
    m.phone.moveToList(plants, copyServerId);
    ASSERT_TRUE(m.settle([&] {
        return tasks->reminder(uid)->listId == copyId
            && !EdsTestSession::peer({u"uids"_s, homeId}).split(u'\n').contains(uid);
    })) << m.service->lastSyncAttemptStatus().toStdString();
    EXPECT_TRUE(EdsTestSession::peer({u"show"_s, copyId, uid}).contains(u"SUMMARY:Water the plants"_s));
    m.quit();
    tasks = std::make_unique<EdsReminderStore>(m.clock);
    m.launch(*tasks);
    EXPECT_EQ(tasks->reminder(uid)->listId, copyId);
    EXPECT_EQ(m.phone.reminder(plants)->value(u"list_id"_s).toString(), copyServerId);

    m.quit();
    EdsTestSession::peer({u"list-remove"_s, copyId});
    EdsTestSession::peer({u"list-remove"_s, homeId});
}

TEST(EdsSyncE2e, APhoneDeleteOfTheBuiltInListLeavesItAndItsTasks)
{
    QUORVIN_SKIP_WITHOUT_TASK_DATABASE();
    Machine m;
    EdsReminderStore tasks(m.clock);
    m.launch(tasks);
    // The database's own list, which its registry lets nobody remove.
    const auto builtIn = tasks.defaultListForNewReminders();
    ASSERT_TRUE(builtIn);
    ASSERT_FALSE(tasks.canRemoveList(builtIn->id));
    Reminder laundry;
    laundry.title = u"Fold laundry"_s;
    laundry.listId = builtIn->id;
    const auto id = tasks.saveReminder(laundry).id;
    ASSERT_TRUE(m.settle([&] { return !m.phone.findByTitle(u"Fold laundry"_s).isEmpty(); }));
    const auto serverReminder = m.phone.findByTitle(u"Fold laundry"_s);
    const auto serverList = m.phone.reminder(serverReminder)->value(u"list_id"_s).toString();

    m.phone.deleteList(serverList);
    ASSERT_TRUE(m.settle([&] {
        return std::any_of(m.service->diagnosticLog().logs().begin(), m.service->diagnosticLog().logs().end(),
            [&](const LogLine &line) {
                return line.text.contains(u"Cloud list delete apply skipped server_id="_s + serverList)
                    && line.text.contains(u"keeps the list and its reminders"_s);
            });
    }));
    for (int round = 0; round < 3; ++round) {
        m.settle([] { return true; });
    }
    EXPECT_TRUE(tasks.list(builtIn->id));
    ASSERT_TRUE(tasks.reminder(id));
    EXPECT_EQ(tasks.reminder(id)->listId, builtIn->id);
    EXPECT_TRUE(EdsTestSession::peer({u"uids"_s, builtIn->id}).split(u'\n').contains(id));

    tasks.removeReminder(id);
    m.quit();
}

TEST(EdsSyncE2e, AMoveWhileStoppedIsALocalMove)
{
    QUORVIN_SKIP_WITHOUT_TASK_DATABASE();
    Machine m;
    const auto work = m.phone.createList(u"Work"_s);
    const auto home = m.phone.createList(u"Home"_s);
    const auto bank = m.phone.createReminder({.title = u"Call the bank"_s, .listId = work});
    auto tasks = std::make_unique<EdsReminderStore>(m.clock);
    m.launch(*tasks);
    ASSERT_TRUE(m.settle([&] { return m.localTitles(*tasks).contains(u"Call the bank"_s); }));
    QString uid;
    QString homeId;
    for (const auto &reminder : tasks->reminders()) {
        if (reminder.title == u"Call the bank"_s) {
            uid = reminder.id;
        }
    }
    for (const auto &list : tasks->lists()) {
        if (list.title == u"Home"_s) {
            homeId = list.id;
        }
    }
    const auto workId = tasks->reminder(uid)->listId;
    for (int round = 0; round < 3; ++round) {
        m.settle([] { return true; });
    }
    m.quit();
    tasks.reset();

    // Another app moves it while the app is not running, keeping its modification date.
    EdsTestSession::peer({u"put"_s, homeId, EdsTestSession::peer({u"show"_s, workId, uid})});
    EdsTestSession::peer({u"remove"_s, workId, uid});

    tasks = std::make_unique<EdsReminderStore>(m.clock);
    m.launch(*tasks);
    ASSERT_TRUE(m.settle([&] { return m.phone.reminder(bank)->value(u"list_id"_s).toString() == home; }))
        << m.phone.reminder(bank)->value(u"list_id"_s).toString().toStdString();
    for (int round = 0; round < 3; ++round) {
        m.settle([] { return true; });
    }
    EXPECT_EQ(tasks->reminder(uid)->listId, homeId);
    EXPECT_FALSE(EdsTestSession::peer({u"uids"_s, workId}).split(u'\n').contains(uid));
    EXPECT_TRUE(EdsTestSession::peer({u"uids"_s, homeId}).split(u'\n').contains(uid));
    m.quit();
}

TEST(EdsSyncE2e, ATaskTheDatabaseRefusesHoldsUpNoOtherOfItsBatch)
{
    QUORVIN_SKIP_WITHOUT_TASK_DATABASE();
    Machine m;
    const auto listId = u"quorvin-test-errands"_s;
    EdsTestSession::peer({u"list-create"_s, listId, u"Errands"_s});
    EdsReminderStore tasks(m.clock);
    // Another app writes a task under the UID of one the sync is about to create, after the
    // sync read the list and before it writes: the database refuses that one create.
    bool armed = false;
    QString taken;
    const auto theirs = [](const QString &uid) {
        return u"BEGIN:VTODO\r\nUID:%1\r\nSUMMARY:Someone else's\r\nEND:VTODO\r\n"_s.arg(uid);
    };
    tasks.setIdGenerator([&] {
        const auto id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        if (std::exchange(armed, false)) {
            taken = id;
            EdsTestSession::peer({u"put"_s, listId, theirs(id)});
        }
        return id;
    });
    m.launch(tasks);
    QString errands;
    ASSERT_TRUE(m.settle([&] {
        for (const auto &list : m.phone.lists()) {
            if (list.value(u"list_name"_s).toString() == u"Errands"_s) {
                errands = list.value(u"list_id"_s).toString();
            }
        }
        return !errands.isEmpty();
    }));

    armed = true;
    const QStringList titles {u"Post a letter"_s, u"Buy stamps"_s, u"Return books"_s};
    QStringList serverIds;
    for (const auto &title : titles) {
        serverIds << m.phone.createReminder({.title = title, .listId = errands});
    }
    const auto logged = [&](const QString &text) {
        const auto &logs = m.service->diagnosticLog().logs();
        return std::any_of(logs.begin(), logs.end(), [&](const LogLine &line) { return line.text.contains(text); });
    };
    const auto refusedLine = [&](const QString &serverId) {
        return logged(SyncText::logReminderRefusedPrefix + serverId + SyncText::fieldLocalID + taken);
    };
    ASSERT_TRUE(m.settle([&] { return std::any_of(serverIds.begin(), serverIds.end(), refusedLine); }));
    // The pass went on with the others; nothing of it was undone.
    EXPECT_EQ(std::count_if(serverIds.begin(), serverIds.end(), refusedLine), 1);
    EXPECT_FALSE(logged(u"did not take the changes"_s));

    // The refused one comes again with the next pass, under a UID of its own; the other app's
    // task is left as it wrote it, and goes up as a task of its own.
    ASSERT_TRUE(m.settle([&] {
        const auto uids = EdsTestSession::peer({u"uids"_s, listId}).split(u'\n', Qt::SkipEmptyParts);
        return uids.size() == 4 && std::all_of(serverIds.begin(), serverIds.end(), [&](const QString &serverId) {
            const auto local = m.service->syncState().reminderMappingIndex().localID(serverId);
            return local != taken && uids.contains(local);
        });
    })) << m.localTitles(tasks).join(u", "_s).toStdString();
    EXPECT_TRUE(EdsTestSession::peer({u"show"_s, listId, taken}).contains(u"SUMMARY:Someone else's"_s));
    EXPECT_TRUE(m.settle([&] { return !m.phone.findByTitle(u"Someone else's"_s).isEmpty(); }));
    EXPECT_EQ(
        m.localTitles(tasks).join(u", "_s).toStdString(), "Buy stamps, Post a letter, Return books, Someone else's");
    EXPECT_EQ(m.phone.reminders().size(), 4);

    m.quit();
    EdsTestSession::peer({u"list-remove"_s, listId});
}
