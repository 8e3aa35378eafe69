#pragma once

#include "platform/reminderstore/InMemoryReminderStore.h"
#include "platform/reminderstore/eds/EdsDatabase.h"

#include <QHash>
#include <QSet>
#include <QTimer>

#include <memory>
#include <unordered_map>
#include <vector>

namespace quorvin {

// The reminder store on the desktop's task database (Evolution Data Server): every enabled task
// list is a list, every to-do in it a reminder (its UID is the reminder's id), the registry's
// accounts are the sources and its default task list is the default list. To-dos are written
// through ICalendarMapping, patched in place so what other apps keep in them survives.
//
// Reads come from memory; the database is read once, on first use, and followed after that
// through one live view per list and the registry's news. Another app's change arrives as
// changed(); the echo of our own writes does not, since the commit has signalled already. News
// is applied only while no write is staged.
//
// A commit sends one batch per list and kind: new lists, renamed lists, then the creates, the
// modifies and the removes of each list (the lists side by side, removes after creates when a
// to-do moves between lists), and removed lists last. When a batch fails, the ones that went
// through are undone from what the database held before and the commit throws with its writes
// still staged. A move between lists is a create in the target and a remove from the source, so
// the id survives it. A save that changes nothing is compared on the mapped to-do and never
// reaches the database, which would stamp it anew and report it.
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

    Reminder saveReminder(Reminder reminder, bool commit = true) override;
    void removeReminder(const QString &id, bool commit = true) override;
    ReminderList saveList(ReminderList list, bool commit = true) override;
    void removeList(const QString &id, bool commit = true) override;
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

    void todosChanged(const QString &listId, std::vector<ICalComponentPtr> todos) override;
    void todosRemoved(const QString &listId, const QStringList &uids) override;
    void listsChanged() override;
    void listLost(const QString &listId) override;

    void scheduleNews();
    bool hasNews() const;
    // Brings the memory in line with what the database reported since the last time.
    void applyNews();
    bool followLists(State &state);
    // Reads the given to-dos of a list (all of them when there are many) and takes what changed.
    void verify(
        State &state, Positions &positions, const QString &listId, QSet<QString> uids, bool &visible, bool &datesOnly);
    // Opens and reads the lists and keeps their to-dos; the reminders come list by list, each in
    // the order its to-dos were created.
    std::vector<Reminder> takeLists(const QStringList &listIds);
    State currentState();

    std::unique_ptr<EdsDatabase> m_database;
    std::unordered_map<QString, Entry> m_entries;
    // The lists as last committed or read, to tell what a commit changes.
    std::vector<ReminderList> m_lists;
    std::optional<QString> m_defaultListId;
    // Reminders saved or removed since the last commit; their final values are in the state.
    QSet<QString> m_touched;

    // News not yet applied.
    std::vector<std::pair<QString, ICalComponentPtr>> m_incoming;
    QHash<QString, QSet<QString>> m_removedNews;
    QSet<QString> m_lostLists;
    bool m_listsNews = false;
    QTimer m_settle;
    // Runs the GLib main context where Qt's event loop does not.
    QTimer m_pump;
};

} // namespace quorvin
