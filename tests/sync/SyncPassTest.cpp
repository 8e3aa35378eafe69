#include "SyncHarness.h"

#include "account/CloudAccount.h"
#include "activity/ActivityLog.h"
#include "activity/DiagnosticLog.h"
#include "matching/CloudSyncState.h"
#include "platform/defaults/FileUserDefaults.h"
#include "platform/reminderstore/JsonFileReminderStore.h"
#include "support/FullDisk.h"
#include "support/HeldWrites.h"
#include "support/cloudserver/CloudFault.h"
#include "support/cloudserver/Phone.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <malloc.h>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;

namespace quorvin::test {

namespace {
CloudFault status(int code, QByteArray body = R"({"error":"failure"})")
{
    CloudFault fault;
    fault.status = code;
    fault.body = std::move(body);
    return fault;
}

CloudFault delayed(std::chrono::milliseconds delay)
{
    CloudFault fault;
    fault.delay = delay;
    return fault;
}

QStringList titles(const QList<QJsonObject> &items)
{
    QStringList result;
    for (const auto &item : items) {
        result.append(item.value(u"title"_s).toString());
    }
    result.sort();
    return result;
}

QStringList localTitles(const ReminderStore &store)
{
    QStringList result;
    for (const auto &reminder : store.reminders()) {
        result.append(reminder.title);
    }
    result.sort();
    return result;
}
} // namespace

// First launch uploads everything, a second pass sends nothing, and a restart re-reads the server
// without creating a single copy.
TEST(SyncPassTest, BootstrapIdleAndRestart)
{
    SyncHarness h;
    h.addLocalReminder(u"One"_s);
    h.addLocalReminder(u"Two"_s, true);
    h.addLocalReminder(u"Three"_s);
    auto &service = h.start();
    ASSERT_TRUE(h.settle());

    EXPECT_EQ(titles(h.serverItems()), QStringList({u"One"_s, u"Three"_s, u"Two"_s}));
    EXPECT_EQ(h.model().liveLists(h.userId).size(), 1);
    EXPECT_EQ(service.lastSyncAttemptStatus(), u"成功（云端同步完成）"_s);
    EXPECT_FALSE(service.syncState().cloudPullCursor().isEmpty());
    EXPECT_FALSE(service.syncState().cloudPushCursor().isEmpty());
    EXPECT_FALSE(service.syncState().cloudPushCursorNeedsRebase());
    EXPECT_EQ(service.syncState().reminderMappingIndex().recordCount(), 3);
    EXPECT_EQ(h.defaults.string(u"Quorvin.CloudPushCursor"_s), service.syncState().cloudPushCursor());
    EXPECT_EQ(h.defaults.integer(u"Quorvin.RemoteIdentityCacheVersion"_s), 1);

    h.server.clearJournal();
    service.scheduleCloudSync(u"manual"_s);
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.mutationCount(), 0);

    // A restart: new journal, mappings and cursors from the defaults, rebase flag set.
    auto &restarted = h.start();
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.logCount(u"Process restarted -> applying full cloud snapshot"_s), 1);
    EXPECT_EQ(titles(h.serverItems()), QStringList({u"One"_s, u"Three"_s, u"Two"_s}));
    EXPECT_EQ(localTitles(h.store), QStringList({u"One"_s, u"Three"_s, u"Two"_s}));
    EXPECT_FALSE(restarted.syncState().cloudPushCursorNeedsRebase());
    EXPECT_EQ(restarted.lastSyncAttemptStatus(), u"成功（云端同步完成）"_s);
}

// Edits in both directions: a local edit goes up as an update of the same server item, a phone's
// edit and delete come down.
TEST(SyncPassTest, EditsFlowBothWays)
{
    SyncHarness h;
    const auto local = h.addLocalReminder(u"Draft"_s);
    auto &service = h.start();
    ASSERT_TRUE(h.settle());
    ASSERT_EQ(h.serverItems().size(), 1);
    const auto serverID = h.serverItems().front().value(u"local_id"_s).toString();

    auto reminder = *h.store.reminder(local);
    reminder.title = u"Final"_s;
    h.store.saveReminder(reminder);
    ASSERT_TRUE(h.clock.runUntil([&] { return titles(h.serverItems()) == QStringList({u"Final"_s}); }, 1min));
    EXPECT_EQ(h.serverItems().front().value(u"local_id"_s).toString(), serverID);

    Phone phone(h.server, h.userId);
    phone.setTitle(serverID, u"Edited on phone"_s);
    ASSERT_TRUE(h.clock.runUntil([&] { return localTitles(h.store) == QStringList({u"Edited on phone"_s}); }, 1min));

    const auto phoneItem = phone.createReminder(Phone::Reminder {.title = u"Phone only"_s});
    ASSERT_TRUE(h.clock.runUntil([&] { return h.store.reminders().size() == 2; }, 1min));
    // The phone's edit must be later than the Mac's upload of the same item to win.
    h.clock.advance(2s);
    phone.deleteReminder(phoneItem);
    ASSERT_TRUE(h.clock.runUntil([&] { return h.store.reminders().size() == 1; }, 1min));
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(titles(h.serverItems()), QStringList({u"Edited on phone"_s}));
    EXPECT_EQ(service.syncState().reminderMappingIndex().recordCount(), 1);
}

// An HTTP 401 ends the session and clears the cloud-side state without a failure entry of its
// own; other failures are reported once and keep what was already saved.
TEST(SyncPassTest, FailuresAreReportedOnce)
{
    SyncHarness h;
    h.addLocalReminder(u"Keep me"_s);
    auto &service = h.start();
    ASSERT_TRUE(h.settle());

    h.server.addFault(u"GET"_s, u"/sync"_s, status(500), 2);
    service.scheduleCloudSync(u"first-failure"_s);
    ASSERT_TRUE(h.settle());
    service.scheduleCloudSync(u"second-failure"_s);
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(service.lastSyncAttemptStatus(), u"失败（云端同步失败）"_s);
    int failureEntries = 0;
    for (const auto &entry : service.activityLog().activityLogs()) {
        failureEntries += entry.summary == u"云同步失败"_s ? 1 : 0;
    }
    EXPECT_EQ(failureEntries, 1);
    EXPECT_FALSE(service.syncState().cloudPushCursor().isEmpty());

    h.server.addFault(u"GET"_s, u"/sync"_s, status(401, R"({"error":"invalid authentication token"})"));
    service.scheduleCloudSync(u"unauthorised"_s);
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(service.lastSyncAttemptStatus(), u"失败（云账号会话已失效，已清除本机同步状态）"_s);
    EXPECT_TRUE(service.account().cloudAuthToken().isEmpty());
    EXPECT_EQ(h.defaults.string(u"Quorvin.CloudAuthToken"_s), QString());
    EXPECT_TRUE(service.syncState().cloudPullCursor().isEmpty());
    EXPECT_TRUE(service.syncState().cloudPushCursor().isEmpty());
    EXPECT_EQ(service.syncState().reminderMappingIndex().recordCount(), 0);
    EXPECT_TRUE(service.syncState().cloudPushCursorNeedsRebase());
    EXPECT_EQ(h.logCount(u"云同步失败 [unauthorised]"_s), 0);
    EXPECT_EQ(h.store.reminders().size(), 1u);
}

// A token change while a pass waits for the server: the pass ends without writing mappings, cursors
// or a status into the state that belongs to the new token.
TEST(SyncPassTest, TokenChangeFencesARunningPass)
{
    SyncHarness h;
    h.addLocalReminder(u"Slow upload"_s);
    h.server.addFault(u"POST"_s, u"/reminders/upsert"_s, delayed(5s));
    auto &service = h.start();
    ASSERT_TRUE(h.clock.runUntil([&] { return h.requestCount(u"/reminders/upsert"_s) == 1; }, 1min));

    const auto epoch = service.syncState().syncStateEpoch();
    service.account().applyCloudAuthToken(QString(), u"signed out during the pass"_s);
    EXPECT_GT(service.syncState().syncStateEpoch(), epoch);
    EXPECT_FALSE(service.isCloudRealtimeWaitRunning()) << "the long-poll of the old token stops";
    ASSERT_TRUE(h.settle());

    EXPECT_EQ(service.syncState().reminderMappingIndex().recordCount(), 0);
    EXPECT_TRUE(service.syncState().cloudPushCursor().isEmpty());
    EXPECT_TRUE(service.syncState().cloudPullCursor().isEmpty());
    EXPECT_EQ(h.defaults.stringMap(u"Quorvin.CloudReminderMap"_s).value_or(UserDefaults::StringMap()).size(), 0);
    EXPECT_FALSE(service.lastSyncAttemptStatus().startsWith(u"成功"_s));
    EXPECT_EQ(h.requestCount(u"/reminders/complete"_s), 0);
}

// The server lost an item the Mac still maps: the upsert is sent again as a new item. A list update
// that fails for a transient reason keeps its mapping; one the server refuses as unknown makes a
// new list.
TEST(SyncPassTest, VanishedServerItemsAndListUpdates)
{
    SyncHarness h;
    const auto local = h.addLocalReminder(u"Survivor"_s);
    auto &service = h.start();
    ASSERT_TRUE(h.settle());
    const auto oldServerID = h.serverItems().front().value(u"local_id"_s).toString();

    h.server.addFault(u"POST"_s, u"/reminders/upsert"_s, status(404, R"({"error":"reminder not found"})"));
    auto reminder = *h.store.reminder(local);
    reminder.notes = u"changed"_s;
    h.store.saveReminder(reminder);
    ASSERT_TRUE(h.clock.runUntil([&] { return h.requestCount(u"/reminders/upsert"_s) >= 3; }, 1min));
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.logCount(u"Cloud upsert target missing remotely"_s), 1);
    const auto upserts = h.server.journalFor(u"/reminders/upsert"_s);
    EXPECT_FALSE(upserts.back().request.jsonBody().contains(u"local_id"_s));
    const auto newServerID = service.syncState().reminderMappingIndex().firstServerID(local);
    ASSERT_TRUE(newServerID.has_value());
    EXPECT_NE(*newServerID, oldServerID);
    EXPECT_EQ(service.lastSyncAttemptStatus(), u"成功（云端同步完成）"_s);

    const auto serverListID = service.syncState().listMappingIndex().firstServerID(h.listId);
    ASSERT_TRUE(serverListID.has_value());
    auto list = *h.store.list(h.listId);
    list.title = u"Renamed"_s;
    h.server.addFault(u"POST"_s, u"/lists/update"_s, status(503));
    h.store.saveList(list);
    ASSERT_TRUE(h.clock.runUntil([&] { return h.requestCount(u"/lists/update"_s) >= 1; }, 1min));
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(service.syncState().listMappingIndex().firstServerID(h.listId), serverListID);
    EXPECT_EQ(h.requestCount(u"/lists/create"_s), 1);

    h.server.addFault(u"POST"_s, u"/lists/update"_s, status(404, R"({"error":"list not found"})"));
    service.scheduleCloudSync(u"retry"_s);
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.requestCount(u"/lists/create"_s), 2);
    EXPECT_NE(service.syncState().listMappingIndex().firstServerID(h.listId), serverListID);
    EXPECT_EQ(h.logCount(u"Cloud list mapping stale local_id="_s), 1);
}

// Deleting what the server already lost counts as done: the mappings go, the pass succeeds, and
// no later pass sends the deletes again.
TEST(SyncPassTest, DeletesOfWhatTheServerAlreadyLostCountAsDone)
{
    SyncHarness h;
    const auto reminder = h.addLocalReminder(u"Short-lived"_s);
    ReminderList errands;
    errands.title = u"Errands"_s;
    errands.sourceId = h.store.sources().front().id;
    const auto listID = h.store.saveList(errands).id;
    auto &service = h.start();
    ASSERT_TRUE(h.settle());
    ASSERT_TRUE(service.syncState().listMappingIndex().firstServerID(listID).has_value());

    h.server.addFault(u"POST"_s, u"/reminders/delete"_s, status(404, R"({"error":"reminder not found"})"));
    h.server.addFault(u"POST"_s, u"/lists/delete"_s, status(404, R"({"error":"list not found"})"));
    h.store.removeReminder(reminder);
    h.store.removeList(listID);
    ASSERT_TRUE(h.clock.runUntil([&] { return h.requestCount(u"/lists/delete"_s) == 1; }, 1min));
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.logCount(u"Cloud delete reminder already absent local_id="_s + reminder), 1);
    EXPECT_EQ(h.logCount(u"Cloud delete list already absent local_id="_s + listID), 1);
    EXPECT_EQ(service.syncState().reminderMappingIndex().recordCount(), 0);
    EXPECT_FALSE(service.syncState().listMappingIndex().containsLocalID(listID));
    EXPECT_EQ(service.lastSyncAttemptStatus(), u"成功（云端同步完成）"_s);

    service.scheduleCloudSync(u"manual"_s);
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.requestCount(u"/reminders/delete"_s), 1);
    EXPECT_EQ(h.requestCount(u"/lists/delete"_s), 1);
}

// A server emptied behind the Mac's back: stale cursors and mappings are dropped and everything is
// uploaded again.
TEST(SyncPassTest, EmptyServerGetsBootstrappedAgain)
{
    SyncHarness h;
    h.addLocalReminder(u"A"_s);
    h.addLocalReminder(u"B"_s);
    h.start();
    ASSERT_TRUE(h.settle());
    h.model().reset(SyncActor {h.userId, u"admin"_s, u"admin"_s});
    ASSERT_TRUE(h.serverItems().isEmpty());

    auto &restarted = h.start();
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.logCount(u"Cloud server is empty for current user"_s), 1);
    EXPECT_EQ(h.logCount(u"Cloud bootstrap detected -> uploading 2 local reminders to empty server"_s), 1);
    EXPECT_EQ(titles(h.serverItems()), QStringList({u"A"_s, u"B"_s}));
    EXPECT_EQ(restarted.syncState().reminderMappingIndex().recordCount(), 2);
}

// Settings that cannot be written fail the pass with the settings layer's reason, never with the
// success status, and the failure line is announced for the terminal.
TEST(SyncPassTest, ASettingsWriteFailureFailsThePass)
{
    SyncHarness h;
    h.addLocalReminder(u"Saved"_s);
    auto &service = h.start();
    ASSERT_TRUE(h.settle());

    const QSignalSpy reported(&service, &QuorvinMacService::syncFailureReported);
    const QString reason = u"Cannot write settings.json: No space left on device"_s;
    h.defaults.setFailingWrites(reason);
    h.addLocalReminder(u"Not saved"_s);
    service.scheduleCloudSync(u"manual"_s);
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(service.lastSyncAttemptStatus(), u"失败（云端同步失败）"_s);
    ASSERT_FALSE(service.activityLog().activityLogs().isEmpty());
    EXPECT_EQ(service.activityLog().activityLogs().front().details, QStringList {reason});
    ASSERT_EQ(reported.size(), 1);
    const QString line = reported.front().at(0).toString();
    EXPECT_TRUE(line.startsWith(u"云同步失败 ["_s) && line.endsWith(u"]："_s + reason)) << line.toStdString();
    EXPECT_EQ(h.logCount(line), 1);

    h.defaults.setFailingWrites(std::nullopt);
    service.scheduleCloudSync(u"manual"_s);
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(service.lastSyncAttemptStatus(), u"成功（云端同步完成）"_s);
    EXPECT_EQ(h.defaults.writeFailure(), std::nullopt);
}

// The settings are written on a thread of their own: a pass that wrote state waits for those
// writes before it reports, and one that fails when it ends at last fails the pass.
TEST(SyncPassTest, APassReportsOnlyOnceItsSettingsWritesHaveEnded)
{
    ManualClock clock;
    CloudServer server(clock);
    InProcessHttpSession http(server, clock);
    const auto userId = server.createUser(u"+8613800138000"_s);
    Phone phone(server, userId);
    const auto listId = phone.createList(u"Inbox"_s);
    QTemporaryDir dir;
    FileUserDefaults defaults(dir.filePath(u"settings.json"_s));
    defaults.setString(u"Quorvin.CloudBaseURL"_s, InProcessHttpSession::baseUrl());
    defaults.setString(u"Quorvin.CloudAuthToken"_s, server.createSession(userId, u"mqv"_s));
    JsonFileReminderStore store(dir.filePath(u"reminders.json"_s), clock);
    QuorvinMacService service(defaults, http, clock, store);
    // Virtual time does not wait for the writer's thread: each turn lets its writes end first.
    const auto settle = [&] {
        for (int turn = 0; turn < 100; ++turn) {
            defaults.flush();
            if (clock.runUntil([&] { return !service.isCloudSyncRunnerActive(); }, 1s)) {
                return true;
            }
        }
        return false;
    };
    runInVirtualTime(clock, service.startIfNeeded());
    ASSERT_TRUE(settle());
    ASSERT_EQ(service.lastSyncAttemptStatus(), u"成功（云端同步完成）"_s);

    const auto held = HeldWrites::make();
    defaults.fileWriter().setSystemCalls(HeldWrites::calls(held, diskFailingFlush()));
    phone.createReminder({.title = u"While the write is held"_s, .listId = listId});
    service.scheduleCloudSync(u"manual"_s);
    clock.runUntil([] { return false; }, 1min);
    EXPECT_TRUE(service.isCloudSyncRunnerActive());
    EXPECT_NE(service.lastSyncAttemptStatus(), u"成功（云端同步完成）"_s);

    held->release();
    ASSERT_TRUE(settle());
    EXPECT_EQ(service.lastSyncAttemptStatus(), u"失败（云端同步失败）"_s);
    ASSERT_TRUE(defaults.writeFailure().has_value());
    EXPECT_EQ(service.activityLog().activityLogs().front().details, QStringList {*defaults.writeFailure()});
    service.shutdown();
    ManualClock::drainEvents();
}

// The disk fills up in the middle of a long pull into the reminders file: the stretch of writes
// that no longer fits is dropped together with the mappings it made, so every saved mapping names a
// reminder that is in the file (a mapping to a reminder that never reached it would, at the next
// start, count as a local delete), and the pass fails with the store's reason.
TEST(SyncPassTest, AFullDiskInTheMiddleOfAnApplyLeavesNoMappingToALostReminder)
{
    ManualClock clock;
    CloudServer server(clock);
    InProcessHttpSession http(server, clock);
    const auto userId = server.createUser(u"+8613800138000"_s);
    Phone phone(server, userId);
    const auto listId = phone.createList(u"Inbox"_s);
    for (int i = 0; i < 30; ++i) {
        phone.createReminder({.title = u"Phone %1"_s.arg(i), .listId = listId});
    }
    InMemoryUserDefaults defaults;
    defaults.setString(u"Quorvin.CloudBaseURL"_s, InProcessHttpSession::baseUrl());
    defaults.setString(u"Quorvin.CloudAuthToken"_s, server.createSession(userId, u"mqv"_s));
    QTemporaryDir dir;
    const QString path = dir.filePath(u"reminders.json"_s);
    JsonFileReminderStore store(path, clock);
    // The disk is full once the file holds a dozen reminders.
    auto full = std::make_shared<bool>(false);
    auto calls = AtomicFileWriter::realSystemCalls();
    calls.fsync = [full, real = calls.fsync](int fd) {
        if (*full) {
            errno = ENOSPC;
            return -1;
        }
        return real(fd);
    };
    store.fileWriter().setSystemCalls(calls);
    QObject::connect(
        &store, &ReminderStore::changed, [&] { *full = JsonFileReminderStore(path, clock).reminders().size() >= 12; });

    // Each stretch of a dozen items takes a second, so the apply commits after each.
    clock.setWorkBetweenYields(1s);
    QuorvinMacService service(defaults, http, clock, store);
    runInVirtualTime(clock, service.startIfNeeded());
    ASSERT_TRUE(clock.runUntil([&] { return !service.isCloudSyncRunnerActive(); }, 10min));
    EXPECT_EQ(service.lastSyncAttemptStatus(), u"失败（云端同步失败）"_s);
    EXPECT_TRUE(std::any_of(
        service.diagnosticLog().logs().cbegin(), service.diagnosticLog().logs().cend(), [](const LogLine &line) {
            return line.text.contains(u"云同步失败 [startup-bootstrap]"_s) && line.text.contains(u"No space left"_s);
        }));

    QSet<QString> inFile;
    for (const auto &reminder : JsonFileReminderStore(path, clock).reminders()) {
        inFile.insert(reminder.id);
    }
    EXPECT_GE(inFile.size(), 12);
    EXPECT_LT(inFile.size(), 30);
    const auto mapped = defaults.stringMap(u"Quorvin.CloudReminderMap"_s).value_or(UserDefaults::StringMap());
    EXPECT_EQ(QSet<QString>(mapped.cbegin(), mapped.cend()), inFile);
    service.shutdown();
    ManualClock::drainEvents();
}

// A reminders file damaged at start keeps sync off only until it is mended: the store's next
// change starts the service again, and the pass that follows brings the phone's reminder.
TEST(SyncPassTest, ARemindersFileMendedWhileRunningResumesSync)
{
    ManualClock clock;
    CloudServer server(clock);
    InProcessHttpSession http(server, clock);
    const auto userId = server.createUser(u"+8613800138000"_s);
    Phone phone(server, userId);
    phone.createReminder({.title = u"From the phone"_s, .listId = phone.createList(u"Inbox"_s)});
    InMemoryUserDefaults defaults;
    defaults.setString(u"Quorvin.CloudBaseURL"_s, InProcessHttpSession::baseUrl());
    defaults.setString(u"Quorvin.CloudAuthToken"_s, server.createSession(userId, u"mqv"_s));
    QTemporaryDir dir;
    const QString path = dir.filePath(u"reminders.json"_s);
    {
        QFile damaged(path);
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write("{\"reminders\": [");
    }
    JsonFileReminderStore store(path, clock);
    QuorvinMacService service(defaults, http, clock, store);
    runInVirtualTime(clock, service.startIfNeeded());
    EXPECT_FALSE(service.isRunning());

    QSignalSpy mended(&store, &ReminderStore::changed);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(mended.wait(5000));
    EXPECT_TRUE(clock.runUntil(
        [&] { return service.isRunning() && service.lastSyncAttemptStatus() == u"成功（云端同步完成）"_s; }, 1min))
        << service.lastSyncAttemptStatus().toStdString();
    const auto local = store.reminders();
    EXPECT_TRUE(std::any_of(
        local.cbegin(), local.cend(), [](const Reminder &reminder) { return reminder.title == u"From the phone"_s; }));
    service.shutdown();
    ManualClock::drainEvents();
}

// Sync passes keep nothing of their own: a thousand of them, with the settings and the reminders
// in their files, leave the heap about as it was.
TEST(SyncPassTest, AThousandPassesLeaveTheHeapAsItWas)
{
    ManualClock clock;
    CloudServer server(clock);
    InProcessHttpSession http(server, clock);
    const auto userId = server.createUser(u"+8613800138000"_s);
    Phone phone(server, userId);
    phone.createReminder({.title = u"From the phone"_s, .listId = phone.createList(u"Inbox"_s)});
    QTemporaryDir dir;
    FileUserDefaults defaults(dir.filePath(u"settings.json"_s), clock);
    defaults.setString(u"Quorvin.CloudBaseURL"_s, InProcessHttpSession::baseUrl());
    defaults.setString(u"Quorvin.CloudAuthToken"_s, server.createSession(userId, u"mqv"_s));
    JsonFileReminderStore store(dir.filePath(u"reminders.json"_s), clock);
    QuorvinMacService service(defaults, http, clock, store);
    runInVirtualTime(clock, service.startIfNeeded());
    const auto settle = [&] { return clock.runUntil([&] { return !service.isCloudSyncRunnerActive(); }, 1min); };
    ASSERT_TRUE(settle());

    // The server's own record of the requests is emptied as it goes.
    qsizetype pulls = 0;
    const auto passes = [&](int count) {
        for (int i = 0; i < count; ++i) {
            server.clearJournal();
            service.scheduleCloudSync(u"manual"_s);
            settle();
            pulls += server.journalFor(u"/sync"_s).size();
        }
        server.clearJournal();
    };
    passes(100);
    malloc_trim(0);
    const auto before = qint64(mallinfo2().uordblks);
    passes(1000);
    malloc_trim(0);
    const auto growth = qint64(mallinfo2().uordblks) - before;
    EXPECT_GE(pulls, 1100);
    EXPECT_LT(growth, 1 << 20);
    service.shutdown();
    ManualClock::drainEvents();
}

// The surplus completed copies queued for deletion go at the end of a pass, but never the only
// server item of a reminder: that one stays, mapped, and leaves the queue.
TEST(SyncPassTest, SurplusCopyDeleteNeverTakesAReminderOnlyServerItem)
{
    SyncHarness h;
    const auto local = h.addLocalReminder(u"Done twice"_s, true);
    auto &service = h.start();
    ASSERT_TRUE(h.settle());
    Phone phone(h.server, h.userId);
    const auto copy = phone.createReminder(Phone::Reminder {.title = u"Another"_s, .completed = true});
    service.scheduleCloudSync(u"manual"_s);
    ASSERT_TRUE(h.settle());
    const auto only = service.syncState().reminderMappingIndex().firstServerID(local);
    ASSERT_TRUE(only.has_value());

    service.syncState().noteRedundantCompletedCopy(*only);
    service.scheduleCloudSync(u"manual"_s);
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.requestCount(u"/reminders/delete"_s), 0);
    EXPECT_TRUE(h.model().item(h.userId, *only).has_value());
    EXPECT_EQ(service.syncState().reminderMappingIndex().localID(*only), local);
    EXPECT_TRUE(service.syncState().redundantCompletedCopyServerIDs().isEmpty());

    // With a second server item for the reminder, the queued one goes.
    service.syncState().setReminderMapping(copy, local, false);
    service.syncState().noteRedundantCompletedCopy(copy);
    service.scheduleCloudSync(u"manual"_s);
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.requestCount(u"/reminders/delete"_s), 1);
    EXPECT_FALSE(h.model().item(h.userId, copy).has_value());
    EXPECT_TRUE(h.model().item(h.userId, *only).has_value());
}

// A mapping that went astray onto the server item of another reminder here (the server names
// that reminder as the item's source): the upload leaves that item alone and goes onto the
// server item that carries this reminder's own identity.
TEST(SyncPassTest, AnUploadNeverWritesOverAnotherReminderServerItem)
{
    SyncHarness h;
    const auto first = h.addLocalReminder(u"First"_s);
    const auto second = h.addLocalReminder(u"Second"_s);
    auto &service = h.start();
    ASSERT_TRUE(h.settle());
    const auto firstOnServer = service.syncState().reminderMappingIndex().firstServerID(first).value();
    const auto secondOnServer = service.syncState().reminderMappingIndex().firstServerID(second).value();

    service.syncState().removeReminderMapping(firstOnServer);
    service.syncState().setReminderMapping(secondOnServer, first, false);
    auto edited = *h.store.reminder(first);
    edited.title = u"First, edited"_s;
    h.store.saveReminder(edited);
    ASSERT_TRUE(h.clock.runUntil([&] { return h.logCount(u"Cloud mapping identity mismatch"_s) == 1; }, 1min));
    ASSERT_TRUE(h.settle());

    EXPECT_EQ(h.model().item(h.userId, secondOnServer)->value(u"title"_s).toString(), u"Second"_s);
    EXPECT_EQ(h.model().item(h.userId, firstOnServer)->value(u"title"_s).toString(), u"First, edited"_s);
    EXPECT_EQ(h.serverItems().size(), 2);
    EXPECT_EQ(service.syncState().reminderMappingIndex().firstServerID(first), firstOnServer);
}

// A pull asks only for the changes since the stored cursor when the remote identity cache was
// filled by a pull; otherwise the first pull is a full snapshot, which fills it. That holds for
// the first pass after a start (which otherwise asks for the changes since its cursor before the
// full snapshot) and for a normal pass alike.
TEST(SyncPassTest, IncrementalPullsOnlyFromAFilledIdentityCache)
{
    SyncHarness h;
    h.addLocalReminder(u"Cached"_s);
    h.start();
    ASSERT_TRUE(h.settle());
    const auto firstPullHasCursor = [&](qsizetype from) {
        const auto pulls = h.server.journalFor(u"/sync"_s).mid(from);
        return !pulls.isEmpty() && pulls.front().request.hasQuery;
    };

    qsizetype from = h.server.journalFor(u"/sync"_s).size();
    h.start();
    ASSERT_TRUE(h.settle());
    EXPECT_TRUE(firstPullHasCursor(from)) << "a filled cache: the changes since the cursor first";

    h.defaults.remove(u"Quorvin.RemoteIdentityCacheVersion"_s);
    from = h.server.journalFor(u"/sync"_s).size();
    h.start();
    ASSERT_TRUE(h.settle());
    EXPECT_FALSE(firstPullHasCursor(from)) << "after a start";

    h.defaults.remove(u"Quorvin.RemoteIdentityCacheVersion"_s);
    h.service->shutdown();
    ManualClock::drainEvents();
    h.service.reset();
    h.service = std::make_unique<QuorvinMacService>(h.defaults, h.http, h.clock, h.store);
    h.service->syncState().setCloudPushCursorNeedsRebase(false);
    from = h.server.journalFor(u"/sync"_s).size();
    runInVirtualTime(h.clock, h.service->startIfNeeded());
    ASSERT_TRUE(h.settle());
    EXPECT_FALSE(firstPullHasCursor(from)) << "in a normal pass";
    EXPECT_EQ(h.defaults.integer(u"Quorvin.RemoteIdentityCacheVersion"_s), 1);
}

// An item that the same answer also lists as deleted is not written here.
TEST(SyncPassTest, AnItemAlsoListedAsDeletedIsNotApplied)
{
    SyncHarness h;
    h.addLocalReminder(u"Existing"_s);
    h.start();
    ASSERT_TRUE(h.settle());

    Phone phone(h.server, h.userId);
    const auto doomed = phone.createReminder(Phone::Reminder {.title = u"Doomed"_s});
    const auto record = *h.model().item(h.userId, doomed);
    phone.deleteReminder(doomed);
    const QJsonObject answer {{u"items"_s, QJsonArray {record}}, {u"deleted_ids"_s, QJsonArray {doomed}},
        {u"deleted_list_ids"_s, QJsonArray {}}, {u"lists"_s, QJsonArray {}},
        {u"next_cursor"_s, h.model().currentCursor(h.userId)}, {u"generated_at"_s, h.model().nowText()},
        {u"full_snapshot"_s, false}};
    auto canned = status(200, QJsonDocument(answer).toJson(QJsonDocument::Compact));
    canned.headers.set("Content-Type", "application/json");
    h.server.addFault(u"GET"_s, u"/sync"_s, canned);
    h.service->scheduleCloudSync(u"manual"_s);
    ASSERT_TRUE(h.settle());
    ASSERT_EQ(h.server.journalFor(u"/sync"_s).back().status, 200);
    EXPECT_EQ(localTitles(h.store), QStringList({u"Existing"_s}));
    EXPECT_EQ(titles(h.serverItems()), QStringList({u"Existing"_s}));
}

} // namespace quorvin::test

namespace quorvin::test {
namespace {

// An error page of any size reaches the logs and the stored settings cut to a bounded length.
TEST(SyncPass, AHugeErrorPageIsBoundedInTheLogsAndTheSettings)
{
    SyncHarness h;
    auto &service = h.start();
    ASSERT_TRUE(h.settle());
    const QByteArray page = "<html>" + QByteArray(600 * 1024, 'x') + "</html>";
    h.server.addFault(u"GET"_s, u"/sync"_s, CloudFault::answer(502, page));
    service.scheduleCloudSync(u"manual"_s);
    ASSERT_TRUE(h.settle());

    const auto &entry = service.activityLog().activityLogs().first();
    ASSERT_EQ(entry.summary, u"云同步失败"_s);
    ASSERT_EQ(entry.details.size(), 1);
    EXPECT_EQ(entry.details.first().size(), 2000);
    EXPECT_TRUE(entry.details.first().endsWith(u"…"_s));
    qsizetype longest = 0;
    for (const auto &line : service.diagnosticLog().logs()) {
        longest = std::max(longest, line.text.size());
    }
    EXPECT_EQ(longest, 2000);
    EXPECT_LT(h.defaults.bytes(u"Quorvin.ActivityLogs.v1"_s).value_or(QByteArray()).size(), 16 * 1024);
}

} // namespace
} // namespace quorvin::test
