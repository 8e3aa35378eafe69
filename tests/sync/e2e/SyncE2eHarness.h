#pragma once

#include "platform/concurrency/ManualClock.h"
#include "platform/defaults/FileUserDefaults.h"
#include "platform/reminderstore/InMemoryReminderStore.h"
#include "support/cloudserver/CloudServer.h"
#include "support/cloudserver/InProcessHttpSession.h"
#include "support/cloudserver/Phone.h"
#include "support/cloudserver/SyncModel.h"
#include "sync/QuorvinMacService.h"

#include <QDateTime>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include <ostream>

// Readable QString values in test failure messages.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace quorvin::test {

// One user with two devices: this machine (the real QuorvinMacService over the real in-memory
// reminder store, with its settings in a real defaults file) and the simulated phone, both talking
// to one test cloud server. Everything runs in virtual time. "Quitting" destroys the service and
// "launching" builds a new one from the same settings file and reminder store, as a new process
// would find them.
class SyncE2eHarness {
public:
    struct LocalReminder {
        QString title = {};
        std::optional<QString> listId = std::nullopt; // default list when absent
        std::optional<QString> notes = std::nullopt;
        std::optional<QDateTime> due = std::nullopt;
        bool daily = false; // repeats every day
        bool completed = false;
    };

    // `http` replaces the in-process session (e.g. a real one against a loopback listener).
    explicit SyncE2eHarness(HttpSession *http = nullptr, const QString &baseUrl = InProcessHttpSession::baseUrl());
    ~SyncE2eHarness();

    ManualClock clock;
    CloudServer server {clock};
    SyncModel &model;
    QString userId;
    QString macDeviceId = QStringLiteral("mac-device-1");
    QString macToken;
    InProcessHttpSession inProcessHttp {server, clock};
    // The settings file lives in memory where the system offers it (/dev/shm): every settings
    // write is flushed to the disk, which made the long scenarios wait on the disk.
    QTemporaryDir dir {scratchDirTemplate()};
    InMemoryReminderStore store {clock};
    std::unique_ptr<FileUserDefaults> defaults;
    std::unique_ptr<QuorvinMacService> service;
    std::unique_ptr<Phone> phone;

    // Points this machine at another server address (before the next launch).
    void useBaseUrl(const QString &baseUrl);

    // How a running pass is cut short: a quit (SIGTERM, SIGINT: the service stops at its next
    // safe point) or a kill (SIGKILL: only what had reached the files by then survives).
    enum class Interruption { Quit, Kill };

    // Builds the service from the settings file and starts it (monitor, loops, first pass).
    void launch();
    // Stops the loops and destroys the service, waiting for a running pass to end first.
    void quit();
    // Runs virtual time until `when` holds while a pass runs, then ends this machine right there
    // as `how` says and destroys the service; launch() starts it again. `when` is looked at on
    // every turn of the event loop that follows a change of the local reminders (inside an apply:
    // between its stretches of writes), and whenever time stands still (a held server answer).
    // A kill puts the settings file back as it was at that moment; the reminder store keeps its
    // committed state, which the stop does not change. False when no pass met `when` in `limit`.
    bool interruptPass(const std::function<bool()> &when, Interruption how,
        std::chrono::milliseconds limit = std::chrono::minutes(30));
    void restart()
    {
        quit();
        launch();
    }

    // Runs virtual time until the two sides have nothing left to exchange: no pass running, the
    // pull cursor at the server's cursor, no local change after the push cursor, for two rounds of
    // a few seconds (long enough for the store's change debounce). False when `limit` runs out.
    bool settle(std::chrono::milliseconds limit = std::chrono::minutes(30));
    bool isQuiet() const;
    // Why isQuiet() is false, for failure messages.
    QString unrest() const;

    // The local reminders database, as a user would change it.
    QString defaultListId() const;
    QString localList(const QString &title);
    void renameLocalList(const QString &listId, const QString &title);
    void deleteLocalList(const QString &listId);
    QString localReminder(const LocalReminder &wanted);
    void editLocal(const QString &id, const std::function<void(Reminder &)> &change);
    void deleteLocal(const QString &id);
    void completeLocal(const QString &id, bool completed = true);
    // Completes the current occurrence of a daily reminder the way the reminders app does: the
    // reminder becomes a completed one-off and a new reminder carries the series on, due a day
    // later. Returns the new reminder's id.
    QString completeLocalRecurring(const QString &id);
    std::optional<Reminder> localByTitle(const QString &title) const;
    std::vector<Reminder> localReminders() const { return store.reminders(); }

    // Sync requests in the order the server received them, as "METHOD /path" (long-polls and
    // account calls left out), and the same from `from` on.
    QStringList syncRequestLines(qsizetype from = 0) const;
    qsizetype journalSize() const { return server.journal().size(); }
    // The requests whose body mentions `text`, with their answers' status, and the diagnostic log
    // lines that do: what to look at when a scenario fails.
    QString traceOf(const QString &text) const;
    // Whether a line of the service's diagnostic log (the newest ones) contains `fragment`.
    bool logged(const QString &fragment) const;
    // The live server reminders with this title.
    QList<QJsonObject> serverItemsTitled(const QString &title) const;
    QString lastStatus() const { return service ? service->lastSyncAttemptStatus() : QString(); }

    static QDateTime at(const QString &isoText);
    static DateComponents componentsOf(const QDateTime &instant);

    QString settingsFilePath() const { return dir.filePath(QStringLiteral("defaults.json")); }

private:
    static QString scratchDirTemplate();
    HttpSession &http() { return m_http ? *m_http : inProcessHttp; }

    HttpSession *m_http = nullptr;
    QString m_baseUrl;
};

} // namespace quorvin::test
