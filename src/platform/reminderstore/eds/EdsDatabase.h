#pragma once

#include "platform/reminderstore/ReminderSource.h"
#include "platform/reminderstore/eds/ICalComponentPtr.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace quorvin {

// The desktop's task database (Evolution Data Server) as the reminder store needs it: the task
// lists of the registry, one client and one live view per open list, and batched reads and
// writes of to-dos. Every call is synchronous and throws ReminderStoreError (Unreadable when
// something cannot be read, WriteFailed when a write is refused).
//
// Changes reach the listener from the GLib main context, which Qt's event loop runs: the views'
// news of added, modified and removed to-dos (ours included) and the registry's of lists.
class EdsDatabase {
public:
    class Listener {
    public:
        virtual ~Listener() = default;
        // To-dos of an open list were added or modified; they are copies the listener owns.
        virtual void todosChanged(const QString &listId, std::vector<ICalComponentPtr> todos) = 0;
        virtual void todosRemoved(const QString &listId, const QStringList &uids) = 0;
        // Lists, accounts or the default list changed in the registry.
        virtual void listsChanged() = 0;
        // The backend of an open list went away; the list must be opened again.
        virtual void listLost(const QString &listId) = 0;
    };

    struct List {
        QString id;
        QString title;
        QString sourceId;
        // Switched off (itself or its account): other apps neither show nor follow it.
        bool enabled = true;
    };

    // Connects to the registry; throws Unreadable when the session has none.
    explicit EdsDatabase(Listener &listener);
    ~EdsDatabase();
    EdsDatabase(const EdsDatabase &) = delete;
    EdsDatabase &operator=(const EdsDatabase &) = delete;

    // The task lists of the registry, switched off ones included.
    std::vector<List> lists() const;
    // The accounts lists live in: this computer first, then the registry's collections and any
    // other parent of a task list, by title.
    std::vector<ReminderSource> sources() const;
    // The registry's default task list; empty when it has none.
    QString defaultListId() const;

    bool canHoldNewLists(const QString &sourceId) const;
    bool canRename(const QString &listId) const;
    bool canRemove(const QString &listId) const;

    // Opens the lists' clients and their live views (which report only changes from now on), all
    // at once; a list already open stays as it is. The lists that open stay open when another
    // fails.
    void open(const QStringList &listIds);
    void open(const QString &listId) { open(QStringList {listId}); }
    void close(const QString &listId);
    bool isOpen(const QString &listId) const;

    // Every to-do of a list, or those with the given UIDs; occurrences detached from a series
    // are left out.
    std::vector<ICalComponentPtr> readAll(const QString &listId);
    std::vector<ICalComponentPtr> read(const QString &listId, const QStringList &uids);

    // Opens the lists as open() does and reads every to-do of each, the lists side by side; `each`
    // gets a list's position in `listIds` and its to-dos on that list's thread, as soon as they
    // are read.
    using Reader = std::function<void(std::size_t, std::vector<ICalComponentPtr>)>;
    void openAndRead(const QStringList &listIds, const Reader &each);

    // One batch each. A modify of a to-do someone else removed meanwhile writes it anew, and a
    // remove of one already gone counts as done. When the database refuses a to-do of a batch
    // (its UID taken, its content not accepted), the others are written one by one and the UIDs
    // of those it still refuses are returned; an error that is not about one to-do throws.
    // Batches of different lists may run on different threads at once.
    QStringList create(const QString &listId, const std::vector<icalcomponent *> &todos);
    QStringList modify(const QString &listId, const std::vector<icalcomponent *> &todos);
    QStringList remove(const QString &listId, const QStringList &uids);

    // Lists on this computer. The new list is opened.
    void createList(const QString &id, const QString &title, const QString &sourceId);
    void renameList(const QString &id, const QString &title);
    // Removes the list with its to-dos, on its account too where the account allows it.
    void removeList(const QString &id);

private:
    struct Handle;
    struct Registry;

    Handle &handle(const QString &listId);

    Listener &m_listener;
    std::unique_ptr<Registry> m_registry;
    std::map<QString, std::unique_ptr<Handle>> m_handles;
};

} // namespace quorvin
