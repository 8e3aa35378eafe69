#pragma once

#include "matching/SyncStateStore.h"
#include "model/ReminderUpsertMutationPayload.h"
#include "platform/concurrency/ManualClock.h"
#include "platform/reminderstore/InMemoryReminderStore.h"
#include "reminders/ReminderMonitor.h"

#include <gtest/gtest.h>

#include <QTimeZone>

#include <vector>

namespace quorvin::test {

// An in-memory store whose next commit can be made to fail, as a full disk would.
class FailingCommitStore : public InMemoryReminderStore {
public:
    using InMemoryReminderStore::InMemoryReminderStore;
    void failNextCommit() { m_failCommit = true; }
    void failReads(bool fail) { m_failReads = fail; }
    // The `nth` removal from now on is refused, as a locked item would be.
    void failRemoval(int nth) { m_failRemovalIn = nth; }
    // Another program replaced the database with `state`.
    void changeFromOutside(State state) { replaceState(std::move(state)); }

    void removeReminder(const QString &id, bool commit = true) override
    {
        if (m_failRemovalIn > 0 && --m_failRemovalIn == 0) {
            throw ReminderStoreError(ReminderStoreError::WriteFailed, QStringLiteral("removal refused"));
        }
        InMemoryReminderStore::removeReminder(id, commit);
    }

protected:
    void ensureLoaded() override
    {
        if (m_failReads) {
            throw ReminderStoreError(ReminderStoreError::Unreadable, QStringLiteral("database unreadable"));
        }
    }

    void persist(const State &) override
    {
        if (m_failCommit) {
            m_failCommit = false;
            throw ReminderStoreError(ReminderStoreError::WriteFailed, QStringLiteral("disk full"));
        }
    }

private:
    bool m_failCommit = false;
    bool m_failReads = false;
    int m_failRemovalIn = 0;
};

// A monitor over the real in-memory store and journal, in virtual time and a fixed time zone.
class MonitorFixture : public ::testing::Test {
protected:
    MonitorFixture()
        : clock(QDateTime(QDate(2026, 3, 5), QTime(2, 0), Qt::UTC))
        , store(clock)
        , journal(clock)
        , monitor(
              store, journal, [this](const ReminderRefreshEvent &event) { events.push_back(event); },
              [this](const QString &line) { diagnostics.push_back(line); }, clock,
              QTimeZone(QByteArrayLiteral("Asia/Shanghai")))
    {
        ReminderList inbox;
        inbox.title = QStringLiteral("Inbox");
        inbox.sourceId = QStringLiteral("local");
        listId = store.saveList(inbox).id;
    }

    template <typename T> T run(QCoro::Task<T> task) { return runInVirtualTime(clock, std::move(task)); }

    DateComponents at(int y, int m, int d, std::optional<int> h = std::nullopt, int min = 0) const
    {
        DateComponents c;
        c.era = 1;
        c.year = y;
        c.month = m;
        c.day = d;
        if (h) {
            c.hour = *h;
            c.minute = min;
            c.second = 0;
        }
        c.timeZone = QStringLiteral("Asia/Shanghai");
        return c;
    }

    Reminder save(Reminder reminder)
    {
        if (reminder.listId.isEmpty()) {
            reminder.listId = listId;
        }
        return store.saveReminder(std::move(reminder));
    }

    ReminderPayload mapped(const QString &id) const { return *monitor.mapReminder(*store.reminder(id), false); }

    static ReminderUpsertMutationPayload upsertFrom(const ReminderPayload &p)
    {
        ReminderUpsertMutationPayload u;
        u.schema_version = p.schema_version;
        u.source = p.source;
        u.local_id = p.local_id;
        u.title = p.title;
        u.notes = p.notes;
        u.start_date = p.start_date;
        u.has_start_time = p.has_start_time;
        u.due_date = p.due_date;
        u.has_due_time = p.has_due_time;
        u.url = p.url;
        u.list_id = p.list_id;
        u.list_name = p.list_name;
        u.repeat_type = p.repeat_type;
        u.repeat_summary = p.repeat_summary;
        u.alarms = p.alarms;
        u.recurrence_rule = p.recurrence_rule;
        u.priority = p.priority;
        u.is_completed = p.is_completed;
        u.completion_date = p.completion_date;
        u.client_last_modified = p.last_modified;
        return u;
    }

    ManualClock clock;
    FailingCommitStore store;
    SyncStateStore journal;
    std::vector<ReminderRefreshEvent> events;
    std::vector<QString> diagnostics;
    ReminderMonitor monitor;
    QString listId;
};

} // namespace quorvin::test
