#pragma once

#include "platform/concurrency/Clock.h"
#include "platform/reminderstore/ReminderStore.h"
#include "platform/reminderstore/ReminderStoreState.h"

#include <QHash>

#include <functional>

namespace quorvin {

// The reminder store held in memory. Tests use it as it is; JsonFileReminderStore adds the file
// behind it. A new store holds one local source and nothing else.
class InMemoryReminderStore : public ReminderStore {
    Q_OBJECT
public:
    using State = ReminderStoreState;

    explicit InMemoryReminderStore(Clock &clock, QObject *parent = nullptr);
    ~InMemoryReminderStore() override;

    static State initialState();

    AccessStatus accessStatus() const override;
    bool requestFullAccess() override;

    std::vector<ReminderSource> sources() const override;
    std::vector<ReminderList> lists() const override;
    std::optional<ReminderList> list(const QString &id) const override;
    std::optional<ReminderList> defaultListForNewReminders() const override;
    std::vector<Reminder> reminders(const std::optional<QStringList> &listIds = std::nullopt) const override;
    std::optional<Reminder> reminder(const QString &id) const override;
    std::size_t reminderCount() const override;
    std::vector<Reminder> reminderSlice(std::size_t from, std::size_t count) const override;
    quint64 contentsVersion() const override { return m_contentsVersion; }
    void reserveReminders(std::size_t count) override;

    Reminder saveReminder(Reminder reminder, bool commit = true) override;
    void removeReminder(const QString &id, bool commit = true) override;
    ReminderList saveList(ReminderList list, bool commit = true) override;
    void removeList(const QString &id, bool commit = true) override;
    void commit() override;
    QStringList refusedByLastCommit() const override { return m_refusedReminders; }
    QSet<QString> remindersLostByDatabase() const override { return m_lostByDatabase; }
    void reset() override;
    bool hasUncommittedChanges() const override;

    Counters counters() const override { return m_counters; }

    // Setting up a store: replaces the sources (a source given without id gets one) and commits.
    // Lists whose source disappears are removed with their reminders.
    std::vector<ReminderSource> setSources(std::vector<ReminderSource> sources);
    // Chooses the list for new reminders (absent: the first list) and commits.
    void setDefaultListId(std::optional<QString> listId);

    // Test knobs for the access flow: the current status, and what a request answers (a granted
    // flag, or an error the request throws).
    void setAccessStatus(AccessStatus status) { m_accessStatus = status; }
    void setAccessRequestAnswer(bool granted) { m_accessAnswer = granted; }
    void setAccessRequestError(std::optional<ReminderStoreError> error) { m_accessError = std::move(error); }

    // Makes the next save, remove or commit throw `error` without changing anything.
    void failNextWrite(ReminderStoreError error) { m_injectedFailure = std::move(error); }
    // Makes every commit refuse the writes of the reminders `refuse` picks (the staged copy, or
    // the committed one of a removal), as a database answering an error for one item does; an
    // empty function takes every write again.
    void refuseReminders(std::function<bool(const Reminder &)> refuse) { m_refuse = std::move(refuse); }
    // Takes these committed reminders away as a restarted database that never kept them does,
    // dropping staged writes, and signals the change.
    void loseRemindersAsARestartedDatabaseWould(const QStringList &ids);
    // Ids are random; a replayable test hands in its own sequence instead.
    void setIdGenerator(std::function<QString()> generator) { m_idGenerator = std::move(generator); }

protected:
    // Called before every call touches the data; throws when the data cannot be had.
    virtual void ensureLoaded() { }
    // Called by commit() with the state about to become the committed one; throwing keeps it
    // staged.
    virtual void persist(const State &state) { (void)state; }
    // Called by persist() when the database refused the writes of these reminders and took the
    // rest: once persist() returns, each goes back to its committed copy and
    // refusedByLastCommit() names it.
    void refuseWrites(const QStringList &ids) { m_refusedByPersist += ids; }
    // Replaces the whole committed state (an outside edit), dropping staged writes, and queues
    // changed().
    void replaceState(State state);
    // The same without the signal: the first load of the data.
    void loadState(State state);
    void queueChanged();
    // The database lost these reminders (see remindersLostByDatabase()); any named before that
    // is `present` again was no loss after all.
    void noteLostByDatabase(const QSet<QString> &ids, const std::function<bool(const QString &)> &present);

private:
    QString newId();
    std::function<QString()> m_idGenerator;
    void requireAccess() const;
    void throwInjectedFailure();
    // Applies `change` to the staged state and keeps `undo`, which reverses it, for reset().
    void stage(const std::function<void(State &)> &change, std::function<void(State &)> undo);
    Reminder normalised(Reminder reminder) const;
    // Positions in the staged state by id; -1 when there is no such item.
    qsizetype reminderPosition(const QString &id) const;
    qsizetype listPosition(const QString &id) const;
    // Rebuilds both position indexes after the staged state was replaced or thinned out.
    void reindex();
    // Drops the staged writes of the reminders `refuse` picks, each back to its committed copy.
    void dropRefusedWrites(const std::function<bool(const Reminder &)> &refuse);

    Clock &m_clock;
    // The staged state. The committed one is not kept as a copy, which would make every commit
    // cost the whole database: it is what the undo steps of the staged writes, run last to
    // first, give back.
    State m_working;
    std::vector<std::function<void(State &)>> m_undo;
    // Where each reminder and list of m_working sits, so that lookups by id stay cheap in large
    // databases. Kept in step with every change of m_working.
    QHash<QString, qsizetype> m_reminderPositions;
    QHash<QString, qsizetype> m_listPositions;
    bool m_pending = false;
    // Moved by every change of m_working's reminders.
    quint64 m_contentsVersion = 0;
    Counters m_counters;
    AccessStatus m_accessStatus = AccessStatus::FullAccess;
    bool m_accessAnswer = true;
    std::optional<ReminderStoreError> m_accessError;
    std::optional<ReminderStoreError> m_injectedFailure;
    std::function<bool(const Reminder &)> m_refuse;
    QStringList m_refusedReminders;
    QStringList m_refusedByPersist;
    QSet<QString> m_lostByDatabase;
};

} // namespace quorvin
