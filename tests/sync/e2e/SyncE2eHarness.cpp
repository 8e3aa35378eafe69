#include "SyncE2eHarness.h"

#include "activity/DiagnosticLog.h"
#include "matching/CloudSyncState.h"
#include "matching/SyncStateStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace quorvin::test {

namespace {
const QString kZone = u"Asia/Shanghai"_s;
} // namespace

SyncE2eHarness::SyncE2eHarness(HttpSession *http, const QString &baseUrl)
    : model(syncModel(server))
    , m_http(http)
    , m_baseUrl(baseUrl)
{
    // Local ids break ties in matching and upload order, so a scenario replays exactly from its
    // seed only with ids that are the same on every run.
    store.setIdGenerator(
        [next = 0]() mutable { return u"00000000-0000-4000-8000-%1"_s.arg(++next, 12, 10, QLatin1Char('0')); });
    userId = server.createUser(u"+8613800138000"_s);
    macToken = server.createSession(userId, u"mqv"_s, macDeviceId, u"Mac"_s, u"macos"_s);
    phone = std::make_unique<Phone>(server, userId);
    // A reminders database as a user has it: one list, where new reminders go.
    store.setDefaultListId(localList(u"Reminders"_s));
    FileUserDefaults seed(settingsFilePath());
    seed.setString(u"Quorvin.CloudBaseURL"_s, m_baseUrl);
    seed.setString(u"Quorvin.CloudAuthToken"_s, macToken);
}

QString SyncE2eHarness::scratchDirTemplate()
{
    const QFileInfo shared(u"/dev/shm"_s);
    const QString base = shared.isDir() && shared.isWritable() ? shared.filePath() : QDir::tempPath();
    return base + u"/quorvin-e2e-XXXXXX"_s;
}

SyncE2eHarness::~SyncE2eHarness()
{
    if (service) {
        quit();
    }
}

void SyncE2eHarness::useBaseUrl(const QString &baseUrl)
{
    m_baseUrl = baseUrl;
    FileUserDefaults(settingsFilePath()).setString(u"Quorvin.CloudBaseURL"_s, baseUrl);
}

void SyncE2eHarness::launch()
{
    defaults = std::make_unique<FileUserDefaults>(settingsFilePath(), clock);
    service = std::make_unique<QuorvinMacService>(*defaults, http(), clock, store);
    runInVirtualTime(clock, service->startIfNeeded(), 10min);
}

void SyncE2eHarness::quit()
{
    if (!service) {
        return;
    }
    clock.runUntil([&] { return !service->isCloudSyncRunnerActive(); }, 30min);
    service->shutdown();
    ManualClock::drainEvents();
    service.reset();
    ManualClock::drainEvents();
    defaults.reset();
}

bool SyncE2eHarness::interruptPass(const std::function<bool()> &when, Interruption how, std::chrono::milliseconds limit)
{
    if (!service) {
        return false;
    }
    bool interrupted = false;
    std::optional<QByteArray> settingsAtKill;
    // The mapping journal beside the settings, absent: no file.
    std::optional<QByteArray> journalAtKill;
    const QString journalPath = settingsFilePath() + u".journal"_s;
    int commitsAtKill = 0;
    const auto interruptIfDue = [&] {
        if (interrupted || !service->isCloudSyncRunnerActive() || !when()) {
            return;
        }
        interrupted = true;
        if (how == Interruption::Kill) {
            QFile file(settingsFilePath());
            settingsAtKill = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            if (QFile journal(journalPath); journal.open(QIODevice::ReadOnly)) {
                journalAtKill = journal.readAll();
            }
            commitsAtKill = store.counters().commits;
        }
        service->requestStop();
    };
    const auto watch = QObject::connect(&store, &ReminderStore::changed, interruptIfDue);
    clock.runUntil(
        [&] {
            interruptIfDue();
            return interrupted;
        },
        limit);
    QObject::disconnect(watch);
    if (!interrupted) {
        return false;
    }

    bool stopped = false;
    const auto done = QObject::connect(service.get(), &QuorvinMacService::stopped, [&] { stopped = true; });
    clock.runUntil([&] { return stopped; }, 1min);
    QObject::disconnect(done);
    service->finishAfterStop();
    service.reset();
    ManualClock::drainEvents();
    defaults.reset();
    if (settingsAtKill) {
        EXPECT_EQ(store.counters().commits, commitsAtKill) << "the reminder store changed after the kill";
        QFile file(settingsFilePath());
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(*settingsAtKill) >= 0);
        QFile::remove(journalPath);
        if (journalAtKill) {
            QFile journal(journalPath);
            EXPECT_TRUE(journal.open(QIODevice::WriteOnly) && journal.write(*journalAtKill) >= 0);
        }
    }
    return stopped;
}

bool SyncE2eHarness::isQuiet() const
{
    if (!service || service->isCloudSyncRunnerActive()) {
        return false;
    }
    if (service->syncState().cloudPullCursor() != model.currentCursor(userId)) {
        return false;
    }
    const QString push = service->syncState().cloudPushCursor();
    if (push.isEmpty()) {
        return false;
    }
    const SyncResponseEnvelope pending = service->stateStore().syncResponse(push);
    return pending.items.isEmpty() && pending.deleted_ids.isEmpty() && pending.lists.isEmpty()
        && pending.deleted_list_ids.isEmpty();
}

QString SyncE2eHarness::unrest() const
{
    if (!service) {
        return u"not running"_s;
    }
    QStringList reasons;
    if (service->isCloudSyncRunnerActive()) {
        reasons << u"a pass is running"_s;
    }
    if (service->syncState().cloudPullCursor() != model.currentCursor(userId)) {
        reasons << u"pull cursor %1, server at %2"_s.arg(
            service->syncState().cloudPullCursor(), model.currentCursor(userId));
    }
    const QString push = service->syncState().cloudPushCursor();
    if (push.isEmpty()) {
        reasons << u"no push cursor"_s;
    } else {
        const SyncResponseEnvelope pending = service->stateStore().syncResponse(push);
        QStringList ids;
        for (const ReminderPayload &item : pending.items) {
            ids << item.title;
        }
        if (!ids.isEmpty() || !pending.deleted_ids.isEmpty() || !pending.lists.isEmpty()
            || !pending.deleted_list_ids.isEmpty()) {
            reasons << u"local changes after push cursor %1: items [%2], %3 deletions, %4 lists, %5 list deletions"_s
                           .arg(push, ids.join(u", "_s))
                           .arg(pending.deleted_ids.size())
                           .arg(pending.lists.size())
                           .arg(pending.deleted_list_ids.size());
        }
    }
    reasons << u"status "_s + service->lastSyncAttemptStatus();
    for (auto it = service->diagnosticLog().logs().crbegin(); it != service->diagnosticLog().logs().crend(); ++it) {
        if (it->text.contains(u"云同步失败 ["_s)) {
            reasons << u"last failure: "_s + it->text;
            break;
        }
    }
    return reasons.join(u"; "_s);
}

bool SyncE2eHarness::settle(std::chrono::milliseconds limit)
{
    const QDateTime deadline = clock.now().addMSecs(limit.count());
    int quietRounds = 0;
    while (clock.now() < deadline) {
        clock.runUntil([&] { return !service->isCloudSyncRunnerActive(); }, 5min);
        clock.advance(4s);
        quietRounds = isQuiet() ? quietRounds + 1 : 0;
        if (quietRounds >= 2) {
            return true;
        }
    }
    return false;
}

QDateTime SyncE2eHarness::at(const QString &isoText)
{
    return QDateTime::fromString(isoText, Qt::ISODateWithMs).toUTC();
}

DateComponents SyncE2eHarness::componentsOf(const QDateTime &instant)
{
    const QDateTime local = instant.toTimeZone(QTimeZone(kZone.toUtf8()));
    DateComponents components;
    components.year = local.date().year();
    components.month = local.date().month();
    components.day = local.date().day();
    components.hour = local.time().hour();
    components.minute = local.time().minute();
    components.second = local.time().second();
    components.timeZone = kZone;
    return components;
}

QString SyncE2eHarness::defaultListId() const
{
    return store.defaultListForNewReminders().value_or(ReminderList {}).id;
}

QString SyncE2eHarness::localList(const QString &title)
{
    ReminderList list;
    list.title = title;
    list.sourceId = store.sources().front().id;
    return store.saveList(list).id;
}

void SyncE2eHarness::renameLocalList(const QString &listId, const QString &title)
{
    ReminderList list = store.list(listId).value();
    list.title = title;
    store.saveList(list);
}

void SyncE2eHarness::deleteLocalList(const QString &listId)
{
    store.removeList(listId);
}

QString SyncE2eHarness::localReminder(const LocalReminder &wanted)
{
    Reminder reminder;
    reminder.title = wanted.title;
    reminder.listId = wanted.listId.value_or(defaultListId());
    reminder.notes = wanted.notes;
    if (wanted.due) {
        reminder.dueDateComponents = componentsOf(*wanted.due);
    }
    if (wanted.daily) {
        reminder.recurrenceRules = {RecurrenceRule {}};
    }
    reminder.completed = wanted.completed;
    return store.saveReminder(reminder).id;
}

void SyncE2eHarness::editLocal(const QString &id, const std::function<void(Reminder &)> &change)
{
    Reminder reminder = store.reminder(id).value();
    change(reminder);
    store.saveReminder(reminder);
}

void SyncE2eHarness::deleteLocal(const QString &id)
{
    store.removeReminder(id);
}

void SyncE2eHarness::completeLocal(const QString &id, bool completed)
{
    editLocal(id, [&](Reminder &reminder) {
        reminder.completed = completed;
        reminder.completionDate = completed ? std::optional<QDateTime>(clock.now()) : std::nullopt;
    });
}

QString SyncE2eHarness::completeLocalRecurring(const QString &id)
{
    Reminder series = store.reminder(id).value();
    Reminder next = series;
    next.id.clear();
    next.externalId.reset();
    if (series.dueDateComponents) {
        const QDateTime due = QDateTime(
            QDate(*series.dueDateComponents->year, *series.dueDateComponents->month, *series.dueDateComponents->day),
            QTime(series.dueDateComponents->hour.value_or(0), series.dueDateComponents->minute.value_or(0),
                series.dueDateComponents->second.value_or(0)),
            QTimeZone(series.dueDateComponents->timeZone.value_or(kZone).toUtf8()));
        next.dueDateComponents = componentsOf(due.addDays(1));
    }
    series.recurrenceRules.clear();
    series.completed = true;
    series.completionDate = clock.now();
    store.saveReminder(series, false);
    const QString nextId = store.saveReminder(next, false).id;
    store.commit();
    return nextId;
}

std::optional<Reminder> SyncE2eHarness::localByTitle(const QString &title) const
{
    std::optional<Reminder> found;
    for (const Reminder &reminder : store.reminders()) {
        if (reminder.title == title) {
            if (found) {
                return std::nullopt;
            }
            found = reminder;
        }
    }
    return found;
}

QString SyncE2eHarness::traceOf(const QString &text) const
{
    QStringList lines;
    for (const CloudJournalEntry &entry : server.journal()) {
        const QString body = QString::fromUtf8(entry.request.body);
        if (body.contains(text)) {
            lines << u"%1 %2 %3 -> %4: %5"_s
                         .arg(entry.request.receivedAt.toString(Qt::ISODateWithMs), entry.request.method,
                             entry.request.path())
                         .arg(entry.status)
                         .arg(body);
        }
    }
    if (service) {
        for (const LogLine &line : service->diagnosticLog().logs()) {
            if (line.text.contains(text)) {
                lines << line.text;
            }
        }
    }
    return lines.join(u'\n');
}

bool SyncE2eHarness::logged(const QString &fragment) const
{
    if (!service) {
        return false;
    }
    return std::ranges::any_of(
        service->diagnosticLog().logs(), [&](const LogLine &line) { return line.text.contains(fragment); });
}

QList<QJsonObject> SyncE2eHarness::serverItemsTitled(const QString &title) const
{
    QList<QJsonObject> items;
    for (const QJsonObject &item : model.liveItems(userId)) {
        if (item.value("title"_L1).toString() == title) {
            items << item;
        }
    }
    return items;
}

QStringList SyncE2eHarness::syncRequestLines(qsizetype from) const
{
    QStringList lines;
    const QList<CloudJournalEntry> journal = server.journal();
    for (qsizetype i = from; i < journal.size(); ++i) {
        const CloudRequest &request = journal[i].request;
        const QString path = request.path();
        if (path == u"/sync/wait"_s || path.startsWith(u"/auth/"_s)) {
            continue;
        }
        lines << request.method + u' ' + path;
    }
    return lines;
}

} // namespace quorvin::test
