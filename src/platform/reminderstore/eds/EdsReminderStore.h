#pragma once

#include "platform/reminderstore/InMemoryReminderStore.h"
#include "platform/reminderstore/eds/EdsDatabase.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QSet>
#include <QTimer>

#include <chrono>
#include <map>

#include <memory>
#include <unordered_map>
#include <vector>

namespace quorvin {

// The reminder store on the desktop's task database (Evolution Data Server): every task list is
// a list, every to-do in it a reminder (its UID is the reminder's id), the registry's accounts
// are the sources and its default task list is the default list. To-dos are written through
// ICalendarMapping, patched in place so what other apps keep in them survives. A list switched
// off is out of reach, not gone: it stays as last read, and writes into it wait until it is back;
// one the database refuses then is undone in memory and signalled, as another app's change is.
// Of the copies of one UID in several lists (another app can make them), the one in the list
// with the lowest id is the reminder.
//
// Reads come from memory; the database is read once, on first use, and followed after that
// through one live view per list and the registry's news. Another app's change arrives as
// changed(); the echo of our own writes does not, since the commit has signalled already. News
// is applied only while no write is staged.
//
// A commit sends one batch per list and kind: new lists, renamed lists, then the creates, the
// modifies and the removes of each list (the lists side by side, removes after creates when a
// to-do moves between lists), and removed lists last. A to-do the database refuses (its UID
// taken meanwhile, its content not accepted) holds up no other: its batch goes again one to-do at
// a time, and the reminders it still refuses stay as last committed and are named by
// refusedByLastCommit(); a move whose create is refused stays in its list. When a batch fails as
// a whole (the database or the list out of reach), the ones that went through are undone from
// what the database held before and the commit throws with its writes still staged. A move between lists is a create in
// the target and a remove from the source, so the id survives it. A save that changes nothing is compared on the mapped
// to-do and never reaches the database, which would stamp it anew and report it.
//
// A database that restarts (its services died and came back) may have lost what it had taken
// and not yet saved, and reports those to-dos gone, at the restart or a little later. Whatever
// leaves a list within a grace time of its restart, and whatever a database that went away as a
// whole no longer holds when it is read again, is named by remindersLostByDatabase(): nobody
// removed it.
//
// What the database cannot keep: empty notes are stored as none; lists can be made only on this
// computer; lists the database will not rename or remove (the built-in one) refuse it; a crash
// between batches of one commit can leave part of it written; a list removed with others cannot
// come back when a later removal fails; the modification date is the database's own.
class EdsReminderStore final : public InMemoryReminderStore, private EdsDatabase::Listener {
    Q_OBJECT
public:
    explicit EdsReminderStore(Clock &clock, QObject *parent = nullptr);
    ~EdsReminderStore() override;

    // Whether the session bus offers the task database's registry, running or to be started.
    static bool registryAvailable();

    // Lets go of the database while the event loop still runs; every later call fails as
    // Unreadable. Done on its own when the application is about to quit.
    void close();

    // How long after a list's restart a to-do that leaves it counts as lost by the database.
    static constexpr std::chrono::milliseconds kRestartGrace {30'000};
    void setRestartGrace(std::chrono::milliseconds grace) { m_restartGrace = grace; }

    Reminder saveReminder(Reminder reminder, bool commit = true) override;
    void removeReminder(const QString &id, bool commit = true) override;
    ReminderList saveList(ReminderList list, bool commit = true) override;
    void removeList(const QString &id, bool commit = true) override;
    bool canRemoveList(const QString &id) const override;
    void commit() override;
    void reset() override;

protected:
    void ensureLoaded() override;
    void persist(const State &state) override;

private:
    // The to-do as the database last held it, and the list it lives in.
    struct Entry {
        QString listId;
        ICalComponentPtr todo;
    };
    using Positions = QHash<QString, qsizetype>;
    // One list's to-dos to write, each with its id.
    struct Batch {
        std::vector<std::pair<QString, ICalComponentPtr>> creates;
        std::vector<std::pair<QString, ICalComponentPtr>> modifies;
        QStringList removes;
    };
    // What a commit sends, worked out from the state and what the database held.
    struct Plan {
        std::vector<ReminderList> createdLists;
        // With the title each had.
        std::vector<std::pair<ReminderList, QString>> renamedLists;
        QStringList removedLists;
        // The lists in the state's order, then those going away.
        QStringList order;
        std::map<QString, Batch> batches;
        // Whether a to-do moves between lists, so removes must wait for every create.
        bool moves = false;
        // Changes the database cannot take now (their list is switched off).
        QSet<QString> refused;
        // Reminders whose to-dos the database refused while it took the rest; they stay as they
        // were last committed.
        QSet<QString> rejected;
    };

    void todosChanged(const QString &listId, std::vector<ICalComponentPtr> todos) override;
    void todosRemoved(const QString &listId, const QStringList &uids) override;
    void listsChanged() override;
    void listLost(const QString &listId) override;

    // A commit: what to send (reads only), sending it (undoing what went through when a batch
    // fails, then throwing), and taking what the database holds now.
    Plan plan(const State &state) const;
    void execute(Plan &plan);
    void remember(Plan &plan, const State &state);

    void scheduleNews();
    bool hasNews() const;
    // Brings the memory in line with what the database reported since the last time.
    void applyNews();
    // Follows the registry's lists; those switched on again are opened and go into `reopened`.
    bool followLists(State &state, QSet<QString> &reopened);
    // Reads the given to-dos of a list (all of them when there are many) and takes what changed.
    void verify(
        State &state, Positions &positions, const QString &listId, QSet<QString> uids, bool &visible, bool &datesOnly);
    // When the to-do of `uid` went away, takes its copy in another list, if there is one.
    void takeCopy(State &state, Positions &positions, const QString &uid);
    // Opens and reads the lists and keeps their to-dos; the reminders come list by list, each in
    // the order its to-dos were created.
    std::vector<Reminder> takeLists(const QStringList &listIds);
    State currentState();

    std::unique_ptr<EdsDatabase> m_database;
    std::unordered_map<QString, Entry> m_entries;
    // The other lists holding a to-do under the same UID (another app copied it there).
    std::unordered_map<QString, QSet<QString>> m_copies;
    // The lists as last committed or read, to tell what a commit changes.
    std::vector<ReminderList> m_lists;
    std::optional<QString> m_defaultListId;
    // Reminders saved or removed since the last commit; their final values are in the state.
    QSet<QString> m_touched;
    // Lists switched off: kept as last read, neither followed nor written.
    QSet<QString> m_offLists;
    // Committed changes the database could not take yet (their list is switched off); the state
    // holds them and they are written when it can take them.
    QSet<QString> m_refused;

    // News not yet applied.
    std::vector<std::pair<QString, ICalComponentPtr>> m_incoming;
    QHash<QString, QSet<QString>> m_removedNews;
    QSet<QString> m_lostLists;
    bool m_listsNews = false;
    // Lists lately restarted, until the end of their grace time.
    QHash<QString, QDeadlineTimer> m_recovering;
    std::chrono::milliseconds m_restartGrace = kRestartGrace;
    // To-dos that left a list within its grace time during the news being applied.
    QSet<QString> m_lostNow;
    // The to-dos held when the database went away as a whole, to tell what it lost once it is
    // read again.
    std::optional<QSet<QString>> m_heldWhenDatabaseWentAway;
    QTimer m_settle;
    // Runs the GLib main context where Qt's event loop does not.
    QTimer m_pump;
    bool m_closed = false;
};

} // namespace quorvin
