#pragma once

#include "platform/reminderstore/Reminder.h"
#include "platform/reminderstore/ReminderList.h"
#include "platform/reminderstore/ReminderSource.h"
#include "platform/reminderstore/ReminderStoreError.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <qcoro/qcorotask.h>

#include <optional>
#include <vector>

namespace quorvin {

// The user's reminders database: sources, lists and reminders.
//
// Everything is a value: reads return copies, and only the save and remove calls change the
// store. A write either commits at once or is staged; staged writes are visible to this store's
// reads, commit() makes all of them durable together, and reset() drops them. Every commit that
// changes something queues one changed() signal, for the store's own writes too; the signal is
// never emitted from inside a call.
//
// Ids are assigned at the first save, never change and are never reused, not even after a
// reset() dropped the item. Lists and reminders come back in the order they were first saved.
// A save that changes nothing is not a write: no modification date, no commit, no signal.
//
// Every call throws ReminderStoreError: AccessDenied without full access (except the access
// calls), NotFound for an id that names nothing, InvalidItem for an item the store cannot hold,
// Unreadable when the database cannot be read, WriteFailed when a commit cannot be written.
// A failed call changes nothing, except that a commit which cannot be written leaves its writes
// staged, for another commit() or a reset().
class ReminderStore : public QObject {
    Q_OBJECT
public:
    enum class AccessStatus { NotDetermined, Restricted, Denied, FullAccess, WriteOnly };

    // How often each write was called (a save that turns out to change nothing counts too) and
    // how many commits wrote something. Lets a test tell that no write was attempted.
    struct Counters {
        int reminderSaves = 0;
        int reminderRemovals = 0;
        int listSaves = 0;
        int listRemovals = 0;
        int commits = 0;
        // Changes from outside that replaced the store's contents, dropping what was staged.
        int outsideChanges = 0;
        bool operator==(const Counters &) const = default;
    };

    using QObject::QObject;

    // Reads the database away from the main thread ahead of the first call that needs it, so that
    // a large one does not hold the window while it is read; a call made meanwhile waits for the
    // read. Nothing to do for a database that has nothing to read ahead.
    virtual QCoro::Task<void> loadAhead() { co_return; }

    virtual AccessStatus accessStatus() const = 0;
    // Asks the user for full access when that was never decided; returns whether access is
    // granted now. Throws when the request itself fails.
    virtual bool requestFullAccess() = 0;

    virtual std::vector<ReminderSource> sources() const = 0;
    virtual std::vector<ReminderList> lists() const = 0;
    virtual std::optional<ReminderList> list(const QString &id) const = 0;
    // Where a new reminder goes when nobody says otherwise; absent in a store without lists.
    virtual std::optional<ReminderList> defaultListForNewReminders() const = 0;

    // Every reminder, open and completed, or only those in `listIds` when given.
    virtual std::vector<Reminder> reminders(const std::optional<QStringList> &listIds = std::nullopt) const = 0;
    virtual std::optional<Reminder> reminder(const QString &id) const = 0;
    // How many reminders reminders() returns, those at positions [from, from + count) of it, and
    // a number that moves with every change of them (staged writes too): together they let a
    // reader copy a large store a slice at a time and tell that the slices belong together.
    virtual std::size_t reminderCount() const = 0;
    virtual std::vector<Reminder> reminderSlice(std::size_t from, std::size_t count) const = 0;
    virtual quint64 contentsVersion() const = 0;
    // Room for `count` more reminders, ahead of a long run of saves of new ones: the run then does
    // not stop to grow the store's tables all at once, each time they double.
    virtual void reserveReminders(std::size_t count) { Q_UNUSED(count); }

    // Saves a new (empty id) or existing reminder and returns the stored copy, with its id and
    // dates. Its list must exist and its priority lie in 0-9. A reminder saved as not completed
    // loses its completion date.
    virtual Reminder saveReminder(Reminder reminder, bool commit = true) = 0;
    virtual void removeReminder(const QString &id, bool commit = true) = 0;

    // Saves a new (empty id) or existing list and returns the stored copy; its source must exist.
    virtual ReminderList saveList(ReminderList list, bool commit = true) = 0;
    // Removes the list together with its reminders.
    virtual void removeList(const QString &id, bool commit = true) = 0;
    // Whether removeList() can remove the list at all; a database may hold lists of its own that
    // it never lets go (its built-in one).
    virtual bool canRemoveList(const QString &id) const
    {
        Q_UNUSED(id);
        return true;
    }

    // Makes every staged write durable, all or nothing. Nothing staged: does nothing. A database
    // may refuse single reminders while taking the rest: their writes are dropped, each such
    // reminder stays as it was last committed (a refused new one does not exist), and
    // refusedByLastCommit() names them until the next commit.
    virtual void commit() = 0;
    virtual QStringList refusedByLastCommit() const { return {}; }
    // Reminders that are gone because the database itself lost them (it restarted without what
    // it had taken), not because anyone removed them. Each stays named while it is gone.
    virtual QSet<QString> remindersLostByDatabase() const { return {}; }
    // Drops every staged write.
    virtual void reset() = 0;
    virtual bool hasUncommittedChanges() const = 0;

    virtual Counters counters() const = 0;

Q_SIGNALS:
    // The database changed: a commit of this store or an edit from outside.
    void changed();
};

} // namespace quorvin
