#include "support/cloudserver/Phone.h"

#include "support/cloudserver/CloudHttpFailure.h"
#include "support/cloudserver/CloudServer.h"

#include <QJsonValue>

using namespace Qt::Literals::StringLiterals;

namespace quorvin::test {

namespace {
// The record keys the phone sends back in an upsert; `source_item_id` is not among them.
constexpr const char *kPhoneUpsertKeys[] = {
    "schema_version",
    "source",
    "source_external_id",
    "created_at",
    "title",
    "notes",
    "start_date",
    "has_start_time",
    "due_date",
    "has_due_time",
    "url",
    "list_id",
    "list_name",
    "repeat_type",
    "repeat_summary",
    "alarms",
    "recurrence_rule",
    "priority",
    "is_completed",
    "completion_date",
};
} // namespace

Phone::Phone(CloudServer &server, QString userId, QString deviceId)
    : m_model(syncModel(server))
    , m_actor {std::move(userId), std::move(deviceId), u"hqv"_s}
{
    server.createSession(m_actor.userId, m_actor.clientKind, m_actor.deviceId, u"Phone"_s, u"phone"_s);
}

QString Phone::dateText(const QDateTime &instant)
{
    return instant.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime Phone::now() const
{
    return m_model.server().now().addMSecs(m_clockSkew.count());
}

QString Phone::nowText() const
{
    return dateText(now());
}

QString Phone::createList(const QString &name)
{
    const QJsonObject answer
        = m_model.createList(m_actor, QJsonObject {{"list_name"_L1, name}, {"client_last_modified"_L1, nowText()}});
    return answer.value("list_id"_L1).toString();
}

void Phone::renameList(const QString &listId, const QString &name)
{
    const std::optional<QJsonObject> list = m_model.list(m_actor.userId, listId);
    QJsonObject body = list.value_or(QJsonObject {{"list_id"_L1, listId}});
    body.remove("last_modified"_L1);
    body.insert("list_name"_L1, name);
    body.insert("client_last_modified"_L1, nowText());
    m_model.updateList(m_actor, body);
}

void Phone::deleteList(const QString &listId)
{
    m_model.deleteList(m_actor, QJsonObject {{"list_id"_L1, listId}, {"client_last_modified"_L1, nowText()}});
}

QString Phone::createReminder(const Reminder &reminder)
{
    QJsonObject body {{"title"_L1, reminder.title}, {"schema_version"_L1, 2}};
    if (reminder.notes) {
        body.insert("notes"_L1, *reminder.notes);
    }
    if (reminder.due) {
        body.insert("due_date"_L1, dateText(*reminder.due));
    }
    body.insert("has_due_time"_L1, reminder.due.has_value() && reminder.hasDueTime);
    if (reminder.listId) {
        body.insert("list_id"_L1, *reminder.listId);
        if (const auto list = m_model.list(m_actor.userId, *reminder.listId)) {
            body.insert("list_name"_L1, list->value("list_name"_L1));
        }
    }
    if (reminder.repeatType) {
        body.insert("repeat_type"_L1, *reminder.repeatType);
        body.insert("repeat_summary"_L1, reminder.repeatSummary.value_or(*reminder.repeatType));
    }
    if (reminder.priority) {
        body.insert("priority"_L1, *reminder.priority);
    }
    body.insert("is_completed"_L1, reminder.completed);
    if (reminder.completed) {
        body.insert("completion_date"_L1, dateText(reminder.completionDate.value_or(now())));
    }
    body.insert("client_last_modified"_L1, nowText());
    const QString ownId = m_sendsOwnSourceIds ? u"phone-item-%1"_s.arg(++m_ownIdCounter) : QString();
    if (!ownId.isEmpty()) {
        body.insert("source_item_id"_L1, ownId);
    }
    const QString id = m_model.upsertReminder(m_actor, body).value("local_id"_L1).toString();
    if (!ownId.isEmpty()) {
        m_ownSourceIds.emplace(id, ownId);
    }
    return id;
}

QString Phone::ownSourceId(const QString &serverId)
{
    auto found = m_ownSourceIds.find(serverId);
    if (found == m_ownSourceIds.end()) {
        found = m_ownSourceIds.emplace(serverId, u"phone-item-%1"_s.arg(++m_ownIdCounter)).first;
    }
    return found->second;
}

QJsonObject Phone::stored(const QString &id) const
{
    const std::optional<QJsonObject> record = m_model.item(m_actor.userId, id);
    if (!record) {
        throw CloudHttpFailure(404, u"the phone has no reminder "_s + id);
    }
    return *record;
}

QJsonObject Phone::upsertBody(const QJsonObject &record) const
{
    QJsonObject body;
    for (const char *key : kPhoneUpsertKeys) {
        const QJsonValue value = record.value(QLatin1StringView(key));
        if (!value.isUndefined() && !value.isNull()) {
            body.insert(QLatin1StringView(key), value);
        }
    }
    body.insert("client_last_modified"_L1, nowText());
    return body;
}

void Phone::editReminder(const QString &id, const std::function<void(QJsonObject &)> &change)
{
    QJsonObject record = stored(id);
    change(record);
    QJsonObject body = upsertBody(record);
    body.insert("local_id"_L1, id);
    if (m_sendsOwnSourceIds) {
        body.insert("source_item_id"_L1, ownSourceId(id));
    }
    m_model.upsertReminder(m_actor, body);
}

void Phone::setTitle(const QString &id, const QString &title)
{
    editReminder(id, [&](QJsonObject &record) { record.insert("title"_L1, title); });
}

void Phone::setNotes(const QString &id, const std::optional<QString> &notes)
{
    editReminder(id, [&](QJsonObject &record) {
        if (notes) {
            record.insert("notes"_L1, *notes);
        } else {
            record.remove("notes"_L1);
        }
    });
}

void Phone::setDue(const QString &id, const std::optional<QDateTime> &due)
{
    editReminder(id, [&](QJsonObject &record) {
        if (due) {
            record.insert("due_date"_L1, dateText(*due));
            record.insert("has_due_time"_L1, true);
        } else {
            record.remove("due_date"_L1);
            record.insert("has_due_time"_L1, false);
        }
    });
}

void Phone::moveToList(const QString &id, const QString &listId)
{
    const std::optional<QJsonObject> list = m_model.list(m_actor.userId, listId);
    editReminder(id, [&](QJsonObject &record) {
        record.insert("list_id"_L1, listId);
        if (list) {
            record.insert("list_name"_L1, list->value("list_name"_L1));
        }
    });
}

void Phone::deleteReminder(const QString &id)
{
    m_model.deleteReminder(m_actor, QJsonObject {{"local_id"_L1, id}, {"client_last_modified"_L1, nowText()}});
}

void Phone::setCompleted(const QString &id, bool completed)
{
    QJsonObject body {{"local_id"_L1, id}, {"is_completed"_L1, completed}, {"client_last_modified"_L1, nowText()}};
    if (completed) {
        body.insert("completion_date"_L1, nowText());
    }
    m_model.completeReminder(m_actor, body);
}

void Phone::completeRecurringAsCommand(const QString &id)
{
    editReminder(id, [&](QJsonObject &record) {
        record.insert("is_completed"_L1, true);
        record.insert("completion_date"_L1, nowText());
    });
}

QString Phone::completeRecurringAsPair(const QString &id, const QDateTime &nextDue)
{
    const QJsonObject series = stored(id);
    QJsonObject copy = upsertBody(series);
    for (const char *key : {"repeat_type", "repeat_summary", "recurrence_rule"}) {
        copy.remove(QLatin1StringView(key));
    }
    copy.insert("is_completed"_L1, true);
    copy.insert("completion_date"_L1, nowText());
    copy.remove("created_at"_L1);
    const QString ownId = m_sendsOwnSourceIds ? u"phone-item-%1"_s.arg(++m_ownIdCounter) : QString();
    if (!ownId.isEmpty()) {
        copy.insert("source_item_id"_L1, ownId);
    }
    const QString copyId = m_model.upsertReminder(m_actor, copy).value("local_id"_L1).toString();
    if (!ownId.isEmpty()) {
        m_ownSourceIds.emplace(copyId, ownId);
    }
    editReminder(id, [&](QJsonObject &record) { record.insert("due_date"_L1, dateText(nextDue)); });
    return copyId;
}

QList<QJsonObject> Phone::reminders() const
{
    return m_model.liveItems(m_actor.userId);
}

std::optional<QJsonObject> Phone::reminder(const QString &id) const
{
    return m_model.item(m_actor.userId, id);
}

QString Phone::findByTitle(const QString &title) const
{
    QString found;
    for (const QJsonObject &item : reminders()) {
        if (item.value("title"_L1).toString() == title) {
            if (!found.isEmpty()) {
                return {};
            }
            found = item.value("local_id"_L1).toString();
        }
    }
    return found;
}

QList<QJsonObject> Phone::lists() const
{
    return m_model.liveLists(m_actor.userId);
}

} // namespace quorvin::test
