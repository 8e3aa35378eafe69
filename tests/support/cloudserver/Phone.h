#pragma once

#include "support/cloudserver/SyncModel.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <chrono>
#include <functional>
#include <map>
#include <optional>

namespace quorvin::test {

class CloudServer;

// A second device of the same user (the phone client, kind "hqv"), writing straight into the sync
// model. Its writes are changes from another device: they carry the phone's device id and client
// kind, wake the user's long-polls and show up in the next delta. Like the phone client it sends
// whole records, by default without `source_item_id`; a phone that keeps its own ids sends its own
// id of the reminder there instead (setSendsOwnSourceIds). It works on the service's copy (what it
// would have pulled), so its reads are the model's live records.
class Phone {
public:
    struct Reminder {
        QString title = {};
        std::optional<QString> notes = std::nullopt;
        std::optional<QDateTime> due = std::nullopt;
        bool hasDueTime = true;
        std::optional<QString> listId = std::nullopt;
        std::optional<QString> repeatType = std::nullopt; // e.g. "daily"; makes the reminder recurring
        std::optional<QString> repeatSummary = std::nullopt;
        std::optional<int> priority = std::nullopt;
        bool completed = false;
        std::optional<QDateTime> completionDate = std::nullopt;
    };

    // Opens a phone session for the user on `server` (so it is one of the account's devices).
    Phone(CloudServer &server, QString userId, QString deviceId = QStringLiteral("hqv-device-1"));

    const SyncActor &actor() const { return m_actor; }

    // From now on every reminder this phone writes carries the phone's own id of it ("phone-item-"
    // and a number, the same for one server reminder every time) as its `source_item_id`.
    void setSendsOwnSourceIds(bool on) { m_sendsOwnSourceIds = on; }
    // The phone's own id of a server reminder (made on first use).
    QString ownSourceId(const QString &serverId);
    // The phone's clock runs this much ahead of the server's (behind when negative): the times it
    // writes (`client_last_modified`, completion dates) are off by as much.
    void setClockSkew(std::chrono::milliseconds skew) { m_clockSkew = skew; }

    // Lists.
    QString createList(const QString &name);
    void renameList(const QString &listId, const QString &name);
    void deleteList(const QString &listId);

    // Reminders. Each returns or takes the server id.
    QString createReminder(const Reminder &reminder);
    // Reads the stored record, lets `change` edit it (reminder JSON keys) and sends it back whole.
    void editReminder(const QString &id, const std::function<void(QJsonObject &)> &change);
    void setTitle(const QString &id, const QString &title);
    void setNotes(const QString &id, const std::optional<QString> &notes);
    // A due date with a time of day, or none.
    void setDue(const QString &id, const std::optional<QDateTime> &due);
    void moveToList(const QString &id, const QString &listId);
    void deleteReminder(const QString &id);
    // Completes or reopens through the completion endpoint.
    void setCompleted(const QString &id, bool completed);

    // Recurring completion, first shape: one completed record that still carries its recurrence
    // (a completion command for the other devices).
    void completeRecurringAsCommand(const QString &id);
    // Second shape: the series record moves on to `nextDue` and a completed copy of the finished
    // occurrence (no recurrence) is created. Returns the copy's server id.
    QString completeRecurringAsPair(const QString &id, const QDateTime &nextDue);

    // The service's copy.
    QList<QJsonObject> reminders() const;
    std::optional<QJsonObject> reminder(const QString &id) const;
    // The server id of the one live reminder with this title; empty when none or several.
    QString findByTitle(const QString &title) const;
    QList<QJsonObject> lists() const;

    static QString dateText(const QDateTime &instant);

private:
    QJsonObject upsertBody(const QJsonObject &record) const;
    QDateTime now() const;
    QString nowText() const;
    QJsonObject stored(const QString &id) const;

    SyncModel &m_model;
    SyncActor m_actor;
    bool m_sendsOwnSourceIds = false;
    std::chrono::milliseconds m_clockSkew {0};
    int m_ownIdCounter = 0;
    std::map<QString, QString> m_ownSourceIds;
};

} // namespace quorvin::test
