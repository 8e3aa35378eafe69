#include "Convergence.h"

#include "SyncE2eHarness.h"
#include "matching/CloudIDMappingIndex.h"
#include "matching/CloudSyncState.h"
#include "reminders/ReminderMonitor.h"

#include <QHash>
#include <QJsonObject>
#include <QSet>

using namespace Qt::Literals::StringLiterals;

namespace quorvin::test {

namespace {

struct Fields {
    QString title;
    QString notes;
    QString due; // ISO instant, milliseconds, UTC; empty when none
    bool completed = false;
    QString listName;

    QString key() const
    {
        return QStringList {title, notes, due, completed ? u"done"_s : u"open"_s, listName}.join(u" | "_s);
    }
};

QString instantText(const QString &text)
{
    if (text.isEmpty()) {
        return {};
    }
    const QDateTime instant = QDateTime::fromString(text, Qt::ISODateWithMs);
    return instant.isValid() ? instant.toUTC().toString(Qt::ISODateWithMs) : u"<unparsable "_s + text + u'>';
}

QString textOf(const QJsonObject &item, const char *key)
{
    const QJsonValue value = item.value(QLatin1StringView(key));
    return value.isString() ? value.toString() : QString();
}

Fields serverFields(const QJsonObject &item)
{
    return Fields {textOf(item, "title"), textOf(item, "notes"), instantText(textOf(item, "due_date")),
        item.value("is_completed"_L1).toBool(), textOf(item, "list_name")};
}

} // namespace

::testing::AssertionResult converged(SyncE2eHarness &harness)
{
    if (!harness.service || harness.service->reminderMonitor() == nullptr) {
        return ::testing::AssertionFailure() << "the service is not running";
    }
    const ReminderMonitor &monitor = *harness.service->reminderMonitor();
    const CloudIDMappingIndex &reminderMap = harness.service->syncState().reminderMappingIndex();
    const CloudIDMappingIndex &listMap = harness.service->syncState().listMappingIndex();
    QStringList problems;

    QHash<QString, QJsonObject> serverItems;
    for (const QJsonObject &item : harness.model.liveItems(harness.userId)) {
        serverItems.insert(textOf(item, "local_id"), item);
    }
    QHash<QString, QJsonObject> serverLists;
    for (const QJsonObject &list : harness.model.liveLists(harness.userId)) {
        serverLists.insert(textOf(list, "list_id"), list);
    }

    // Lists.
    QSet<QString> pairedLists;
    for (const ReminderList &list : harness.store.lists()) {
        QStringList live;
        for (const QString &serverId : listMap.serverIDs(list.id)) {
            if (serverLists.contains(serverId)) {
                live << serverId;
            }
        }
        if (live.size() != 1) {
            problems << u"local list '%1' (%2) maps to %3 live server lists [%4]"_s.arg(list.title, list.id)
                            .arg(live.size())
                            .arg(live.join(u", "_s));
            continue;
        }
        pairedLists.insert(live.front());
        const QString serverName = textOf(serverLists.value(live.front()), "list_name");
        if (serverName != list.title) {
            problems << u"list %1: local name '%2', server name '%3'"_s.arg(live.front(), list.title, serverName);
        }
    }
    for (auto it = serverLists.cbegin(); it != serverLists.cend(); ++it) {
        if (!pairedLists.contains(it.key())) {
            problems << u"server list '%1' (%2) has no local list"_s.arg(textOf(it.value(), "list_name"), it.key());
        }
    }

    // Reminders.
    QSet<QString> pairedItems;
    QHash<QString, QStringList> localKeys;
    for (const Reminder &reminder : harness.store.reminders()) {
        const std::optional<ReminderPayload> payload = monitor.mapReminder(reminder, false);
        const QString listTitle = harness.store.list(reminder.listId).value_or(ReminderList {}).title;
        const Fields local {reminder.title, reminder.notes.value_or(QString()),
            payload ? instantText(payload->due_date.value_or(QString())) : u"<unmapped>"_s, reminder.completed,
            listTitle};
        localKeys[local.key()] << reminder.id;
        const QString label = u"local '%1' (%2)"_s.arg(reminder.title, reminder.id);
        QStringList live;
        for (const QString &serverId : reminderMap.serverIDs(reminder.id)) {
            if (serverItems.contains(serverId)) {
                live << serverId;
            }
        }
        if (live.size() != 1) {
            problems
                << u"%1 maps to %2 live server reminders [%3]"_s.arg(label).arg(live.size()).arg(live.join(u", "_s));
            continue;
        }
        const QString serverId = live.front();
        pairedItems.insert(serverId);
        if (reminderMap.localID(serverId) != reminder.id) {
            problems << u"%1: server id %2 maps back to %3"_s.arg(
                label, serverId, reminderMap.localID(serverId).value_or(u"nothing"_s));
        }
        const QJsonObject item = serverItems.value(serverId);
        const Fields remote = serverFields(item);
        if (remote.title != local.title || remote.notes != local.notes || remote.due != local.due
            || remote.completed != local.completed) {
            problems << u"%1 differs from server %2: local {%3} server {%4}"_s.arg(
                label, serverId, local.key(), remote.key());
        }
        const QString serverListId = textOf(item, "list_id");
        if (!serverListId.isEmpty()) {
            if (listMap.localID(serverListId) != reminder.listId) {
                problems << u"%1 is in local list %2, server list %3 maps to %4"_s.arg(
                    label, reminder.listId, serverListId, listMap.localID(serverListId).value_or(u"nothing"_s));
            } else if (remote.listName != local.listName) {
                problems << u"%1: list name local '%2', server '%3'"_s.arg(label, local.listName, remote.listName);
            }
        }
    }
    for (auto it = serverItems.cbegin(); it != serverItems.cend(); ++it) {
        if (!pairedItems.contains(it.key())) {
            problems << u"server reminder '%1' (%2) has no local reminder"_s.arg(textOf(it.value(), "title"), it.key());
        }
    }

    // Duplicates.
    QHash<QString, QStringList> serverKeys;
    for (auto it = serverItems.cbegin(); it != serverItems.cend(); ++it) {
        serverKeys[serverFields(it.value()).key()] << it.key();
    }
    for (auto it = serverKeys.cbegin(); it != serverKeys.cend(); ++it) {
        if (it.value().size() > 1) {
            problems << u"duplicate server reminders {%1}: %2"_s.arg(it.key(), it.value().join(u", "_s));
        }
    }
    for (auto it = localKeys.cbegin(); it != localKeys.cend(); ++it) {
        if (it.value().size() > 1) {
            problems << u"duplicate local reminders {%1}: %2"_s.arg(it.key(), it.value().join(u", "_s));
        }
    }

    if (problems.isEmpty()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << problems.size() << " difference(s):\n  "
                                         << problems.join(u"\n  "_s).toStdString();
}

} // namespace quorvin::test
