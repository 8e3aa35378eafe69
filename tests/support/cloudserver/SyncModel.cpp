#include "support/cloudserver/SyncModel.h"

#include "support/cloudserver/CloudHttpFailure.h"
#include "support/cloudserver/CloudServer.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <charconv>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace quorvin::test {

namespace {

enum class Kind { Text, Bool, Int, Double, Array, Object, TextArray, IntArray };

struct FieldRule {
    const char *key;
    Kind kind;
};

// The upsert body's keys; anything else is ignored, as the real service ignores unknown keys.
constexpr FieldRule kUpsertFields[] = {
    {"schema_version", Kind::Int},
    {"source", Kind::Text},
    {"source_item_id", Kind::Text},
    {"source_external_id", Kind::Text},
    {"created_at", Kind::Text},
    {"updated_at", Kind::Text},
    {"local_id", Kind::Text},
    {"title", Kind::Text},
    {"notes", Kind::Text},
    {"start_date", Kind::Text},
    {"has_start_time", Kind::Bool},
    {"due_date", Kind::Text},
    {"has_due_time", Kind::Bool},
    {"time_zone", Kind::Text},
    {"is_floating_time", Kind::Bool},
    {"url", Kind::Text},
    {"location_text", Kind::Text},
    {"list_id", Kind::Text},
    {"list_name", Kind::Text},
    {"repeat_type", Kind::Text},
    {"repeat_summary", Kind::Text},
    {"alarms", Kind::Array},
    {"recurrence_rule", Kind::Object},
    {"raw_apple_payload_json", Kind::Object},
    {"unsupported_fields_json", Kind::Object},
    {"priority", Kind::Int},
    {"is_completed", Kind::Bool},
    {"completion_date", Kind::Text},
    {"client_last_modified", Kind::Text},
};

// Upsert keys stored under the same key in the reminder record.
constexpr const char *kCopiedKeys[] = {
    "schema_version",
    "source",
    "source_item_id",
    "source_external_id",
    "title",
    "notes",
    "start_date",
    "has_start_time",
    "due_date",
    "has_due_time",
    "time_zone",
    "is_floating_time",
    "url",
    "location_text",
    "list_id",
    "list_name",
    "repeat_type",
    "repeat_summary",
    "alarms",
    "recurrence_rule",
    "raw_apple_payload_json",
    "unsupported_fields_json",
    "priority",
    "is_completed",
    "completion_date",
};

// Optional reminder fields written as explicit nulls when absent (the client must read a null as
// absent).
constexpr const char *kNullableOutputKeys[] = {
    "source_item_id",
    "notes",
    "start_date",
    "due_date",
    "url",
    "list_id",
    "list_name",
    "repeat_type",
    "repeat_summary",
    "recurrence_rule",
    "priority",
    "completion_date",
};

constexpr FieldRule kAlarmFields[] = {
    {"alarm_id", Kind::Text},
    {"kind", Kind::Text},
    {"absolute_date", Kind::Text},
    {"relative_offset_seconds", Kind::Double},
    {"proximity", Kind::Text},
    {"location", Kind::Object},
    {"source_alarm_id", Kind::Text},
};

constexpr FieldRule kRuleFields[] = {
    {"frequency", Kind::Text},
    {"interval", Kind::Int},
    {"week_days", Kind::TextArray},
    {"month_days", Kind::IntArray},
    {"months", Kind::IntArray},
    {"set_positions", Kind::IntArray},
    {"end_date", Kind::Text},
    {"occurrence_count", Kind::Int},
    {"source_rule_json", Kind::Object},
};

bool isInteger(const QJsonValue &value)
{
    if (!value.isDouble()) {
        return false;
    }
    const double number = value.toDouble();
    return std::isfinite(number) && std::floor(number) == number;
}

bool hasKind(const QJsonValue &value, Kind kind)
{
    switch (kind) {
    case Kind::Text:
        return value.isString();
    case Kind::Bool:
        return value.isBool();
    case Kind::Int:
        return isInteger(value);
    case Kind::Double:
        return value.isDouble();
    case Kind::Array:
        return value.isArray();
    case Kind::Object:
        return value.isObject();
    case Kind::TextArray:
        return value.isArray()
            && std::ranges::all_of(value.toArray(), [](const QJsonValue &v) { return v.isString(); });
    case Kind::IntArray:
        return value.isArray() && std::ranges::all_of(value.toArray(), isInteger);
    }
    return false;
}

[[noreturn]] void badRequest(const QString &message)
{
    throw CloudHttpFailure(400, message);
}

[[noreturn]] void notFound(const QString &message)
{
    throw CloudHttpFailure(404, message);
}

template <std::size_t N> void checkFields(const QJsonObject &object, const FieldRule (&rules)[N], const QString &path)
{
    for (const FieldRule &rule : rules) {
        const QJsonValue value = object.value(QLatin1StringView(rule.key));
        if (value.isUndefined() || value.isNull()) {
            continue;
        }
        if (!hasKind(value, rule.kind)) {
            badRequest(u"%1%2 has the wrong type"_s.arg(path, QLatin1StringView(rule.key)));
        }
    }
}

QString requiredText(const QJsonObject &body, const QString &key)
{
    const QJsonValue value = body.value(key);
    if (!value.isString()) {
        badRequest(key + u" is required"_s);
    }
    return value.toString();
}

std::optional<QString> optionalText(const QJsonObject &body, const QString &key)
{
    const QJsonValue value = body.value(key);
    if (value.isUndefined() || value.isNull()) {
        return std::nullopt;
    }
    if (!value.isString()) {
        badRequest(key + u" has the wrong type"_s);
    }
    return value.toString();
}

void validateUpsert(const QJsonObject &body)
{
    checkFields(body, kUpsertFields, {});
    if (!body.value("title"_L1).isString()) {
        badRequest(u"title is required"_s);
    }
    const QJsonArray alarms = body.value("alarms"_L1).toArray();
    for (qsizetype i = 0; i < alarms.size(); ++i) {
        if (!alarms[i].isObject()) {
            badRequest(u"alarms[%1] is not an object"_s.arg(i));
        }
        const QJsonObject alarm = alarms[i].toObject();
        checkFields(alarm, kAlarmFields, u"alarms[%1]."_s.arg(i));
        if (!alarm.value("kind"_L1).isString()) {
            badRequest(u"alarms[%1].kind is required"_s.arg(i));
        }
    }
    if (body.value("recurrence_rule"_L1).isObject()) {
        checkFields(body.value("recurrence_rule"_L1).toObject(), kRuleFields, u"recurrence_rule."_s);
    }
}

QString textPart(const QJsonObject &o, const char *key)
{
    const QJsonValue value = o.value(QLatin1StringView(key));
    return value.isString() ? value.toString() : QString();
}

QString intPart(const QJsonObject &o, const char *key)
{
    const QJsonValue value = o.value(QLatin1StringView(key));
    return isInteger(value) ? QString::number(static_cast<qint64>(value.toDouble())) : QString();
}

QString flagPart(const QJsonObject &o, const char *key)
{
    return o.value(QLatin1StringView(key)).toBool(false) ? u"1"_s : u"0"_s;
}

QString doublePart(const QJsonValue &value)
{
    if (!value.isDouble()) {
        return {};
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value.toDouble());
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    if (!text.contains(u'.') && !text.contains(u'e') && !text.contains(u"inf"_s) && !text.contains(u"nan"_s)) {
        text += u".0"_s;
    }
    return text;
}

QString joinedArray(const QJsonValue &value, const QString &separator)
{
    QStringList parts;
    for (const QJsonValue &element : value.toArray()) {
        parts << (element.isString() ? element.toString() : QString::number(static_cast<qint64>(element.toDouble())));
    }
    return parts.join(separator);
}

QString sha256Hex(const QString &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex());
}

// The same 28-field digest a client computes, so the service's hashes look like a real one's.
QString contentHash(const QJsonObject &item)
{
    QStringList alarmTexts;
    for (const QJsonValue &value : item.value("alarms"_L1).toArray()) {
        const QJsonObject alarm = value.toObject();
        alarmTexts << QStringList {textPart(alarm, "alarm_id"), textPart(alarm, "kind"),
            textPart(alarm, "absolute_date"), doublePart(alarm.value("relative_offset_seconds"_L1)),
            textPart(alarm, "proximity"), textPart(alarm, "source_alarm_id")}
                          .join(u'/');
    }
    QString ruleText;
    if (item.value("recurrence_rule"_L1).isObject()) {
        const QJsonObject rule = item.value("recurrence_rule"_L1).toObject();
        ruleText = QStringList {textPart(rule, "frequency"), intPart(rule, "interval"),
            joinedArray(rule.value("week_days"_L1), u","_s), joinedArray(rule.value("month_days"_L1), u","_s),
            joinedArray(rule.value("months"_L1), u","_s), joinedArray(rule.value("set_positions"_L1), u","_s),
            textPart(rule, "end_date"), intPart(rule, "occurrence_count")}
                       .join(u'/');
    }
    const QStringList parts {
        textPart(item, "local_id"),
        intPart(item, "schema_version"),
        textPart(item, "source"),
        textPart(item, "source_item_id"),
        textPart(item, "source_external_id"),
        textPart(item, "created_at"),
        textPart(item, "external_id"),
        textPart(item, "list_id"),
        textPart(item, "list_name"),
        textPart(item, "title"),
        textPart(item, "notes"),
        textPart(item, "fingerprint"),
        textPart(item, "start_date"),
        flagPart(item, "has_start_time"),
        textPart(item, "due_date"),
        flagPart(item, "has_due_time"),
        textPart(item, "time_zone"),
        flagPart(item, "is_floating_time"),
        textPart(item, "url"),
        textPart(item, "location_text"),
        textPart(item, "repeat_type"),
        textPart(item, "repeat_summary"),
        alarmTexts.join(u';'),
        ruleText,
        intPart(item, "priority"),
        joinedArray(item.value("tags"_L1), u","_s),
        flagPart(item, "is_completed"),
        textPart(item, "completion_date"),
    };
    return sha256Hex(parts.join(u'|'));
}

QString fingerprint(const QJsonObject &item)
{
    const QStringList parts {textPart(item, "list_name"), textPart(item, "title").simplified(),
        textPart(item, "notes").simplified(), textPart(item, "due_date"), textPart(item, "completion_date"),
        intPart(item, "priority"), flagPart(item, "is_completed")};
    return sha256Hex(parts.join(u'|'));
}

void seal(QJsonObject &item)
{
    item.insert("fingerprint"_L1, fingerprint(item));
    item.insert("content_hash"_L1, contentHash(item));
}

SyncCounts countItems(const auto &items)
{
    SyncCounts counts;
    for (const auto &[id, record] : items) {
        ++counts.total;
        if (record.body.value("is_completed"_L1).toBool(false)) {
            ++counts.completed;
        }
    }
    counts.incomplete = counts.total - counts.completed;
    return counts;
}

QJsonObject countsJson(const SyncCounts &counts)
{
    return QJsonObject {{"total_count"_L1, counts.total}, {"completed_count"_L1, counts.completed},
        {"incomplete_count"_L1, counts.incomplete}};
}

template <typename Map> QList<std::pair<QString, const typename Map::mapped_type *>> bySequence(const Map &records)
{
    QList<std::pair<QString, const typename Map::mapped_type *>> ordered;
    for (const auto &[id, record] : records) {
        ordered.append({id, &record});
    }
    std::ranges::sort(ordered, [](const auto &a, const auto &b) { return a.second->seq < b.second->seq; });
    return ordered;
}

QStringList tombstonesAfter(const std::map<QString, qint64> &tombstones, qint64 after)
{
    QList<std::pair<qint64, QString>> ordered;
    for (const auto &[id, seq] : tombstones) {
        if (seq > after) {
            ordered.append({seq, id});
        }
    }
    std::ranges::sort(ordered);
    QStringList ids;
    for (const auto &entry : ordered) {
        ids << entry.second;
    }
    return ids;
}

} // namespace

void SyncModel::attach(CloudServer &server)
{
    m_server = &server;
}

SyncModel &syncModel(CloudServer &server)
{
    return server.extension<SyncModel>();
}

QString SyncModel::nowText() const
{
    return m_server->nowText();
}

void SyncModel::setCountVerificationStateOverride(std::optional<QString> state)
{
    auto guard = m_server->lock();
    m_countStateOverride = std::move(state);
}

void SyncModel::setTombstonesInFullSnapshots(bool on)
{
    auto guard = m_server->lock();
    m_tombstonesInFullSnapshots = on;
}

void SyncModel::setKeepSourceItemIdWhenOmitted(bool on)
{
    auto guard = m_server->lock();
    m_keepSourceItemIdWhenOmitted = on;
}

void SyncModel::setEmitNullsForAbsentFields(bool on)
{
    auto guard = m_server->lock();
    m_emitNulls = on;
}

SyncModel::UserData &SyncModel::user(const QString &userId)
{
    return m_users[userId];
}

const SyncModel::UserData *SyncModel::findUser(const QString &userId) const
{
    const auto it = m_users.find(userId);
    return it == m_users.end() ? nullptr : &it->second;
}

qint64 SyncModel::bump(UserData &data)
{
    return ++data.seq;
}

void SyncModel::notify()
{
    m_server->notifyChanged();
}

QString SyncModel::newId(const QString &prefix)
{
    return m_server->nextId(prefix);
}

QString SyncModel::cursorText(const UserData &data) const
{
    return u"g%1-%2"_s.arg(data.generation).arg(data.seq);
}

std::optional<qint64> SyncModel::cursorSequence(const UserData &data, const QString &cursor) const
{
    if (!cursor.startsWith(u'g')) {
        return std::nullopt;
    }
    const qsizetype dash = cursor.indexOf(u'-');
    if (dash < 0) {
        return std::nullopt;
    }
    bool generationOk = false;
    bool sequenceOk = false;
    const qint64 generation = cursor.mid(1, dash - 1).toLongLong(&generationOk);
    const qint64 sequence = cursor.mid(dash + 1).toLongLong(&sequenceOk);
    if (!generationOk || !sequenceOk || generation != data.generation || sequence < 0 || sequence > data.seq) {
        return std::nullopt;
    }
    return sequence;
}

std::optional<QJsonValue> SyncModel::renamedList(const UserData &data, const Record &record)
{
    const auto listIt = data.lists.find(record.body.value("list_id"_L1).toString());
    if (listIt == data.lists.end()) {
        return std::nullopt;
    }
    const QJsonValue name = listIt->second.body.value("list_name"_L1);
    return record.body.value("list_name"_L1) != name ? std::optional(name) : std::nullopt;
}

QJsonObject SyncModel::renderItem(const UserData &data, const Record &record) const
{
    QJsonObject item = record.body;
    // The list's current name wins over the one stored with the reminder, as a joined read would.
    // A record is sealed when it is written: it is hashed again only when that name has changed
    // since, or every snapshot of a large account would hash every item.
    if (const auto name = renamedList(data, record)) {
        item.insert("list_name"_L1, *name);
        seal(item);
    }
    if (m_emitNulls) {
        addNulls(item);
    }
    return item;
}

void SyncModel::addNulls(QJsonObject &item)
{
    for (const char *key : kNullableOutputKeys) {
        if (!item.contains(QLatin1StringView(key))) {
            item.insert(QLatin1StringView(key), QJsonValue::Null);
        }
    }
}

SyncModel::Record SyncModel::writtenItem(QJsonObject body, qint64 seq)
{
    QJsonObject shown = body;
    addNulls(shown);
    QByteArray text = QJsonDocument(shown).toJson(QJsonDocument::Compact);
    return Record {std::move(body), seq, std::move(text)};
}

QByteArray SyncModel::renderItemText(const UserData &data, const Record &record) const
{
    if (m_emitNulls && !record.text.isEmpty() && !renamedList(data, record)) {
        return record.text;
    }
    return QJsonDocument(renderItem(data, record)).toJson(QJsonDocument::Compact);
}

QJsonObject SyncModel::renderList(const Record &record) const
{
    return record.body;
}

QByteArray SyncModel::pull(const QString &userId, const QString &cursor)
{
    auto guard = m_server->lock();
    UserData &data = user(userId);
    const std::optional<qint64> after = cursorSequence(data, cursor);
    const bool full = !after.has_value();
    const qint64 since = after.value_or(0);

    QByteArray items = "{\"items\":[";
    bool first = true;
    for (const auto &[id, record] : bySequence(data.items)) {
        if (full || record->seq > since) {
            if (!first) {
                items += ',';
            }
            first = false;
            items += renderItemText(data, *record);
        }
    }
    items += "],";
    QJsonArray lists;
    for (const auto &[id, record] : bySequence(data.lists)) {
        if (full || record->seq > since) {
            lists.append(renderList(*record));
        }
    }
    QStringList deletedIds;
    QStringList deletedListIds;
    if (!full || m_tombstonesInFullSnapshots) {
        deletedIds = tombstonesAfter(data.itemTombstones, since);
        deletedListIds = tombstonesAfter(data.listTombstones, since);
    }
    const QJsonObject rest {
        {"deleted_ids"_L1, QJsonArray::fromStringList(deletedIds)},
        {"deleted_list_ids"_L1, QJsonArray::fromStringList(deletedListIds)},
        {"lists"_L1, lists},
        {"next_cursor"_L1, cursorText(data)},
        {"generated_at"_L1, nowText()},
        {"rebuild_generation"_L1, data.generation},
        {"full_snapshot"_L1, full},
    };
    // The items' texts, then the other members (the object's text less its opening brace).
    return items + QJsonDocument(rest).toJson(QJsonDocument::Compact).mid(1);
}

bool SyncModel::hasNews(const UserData &data, std::optional<qint64> after, const QString &observedCountRequestId)
{
    if (!after || *after < data.seq) {
        return true;
    }
    if (data.countRequest && data.countRequest->requestId != observedCountRequestId) {
        return true;
    }
    return !data.diagnosticRequestId.isEmpty();
}

bool SyncModel::waitHasNews(const QString &userId, const QString &cursor, const QString &observedCountRequestId) const
{
    auto guard = m_server->lock();
    const UserData *data = findUser(userId);
    const UserData empty;
    const UserData &current = data ? *data : empty;
    return hasNews(current, cursorSequence(current, cursor), observedCountRequestId);
}

QJsonObject SyncModel::waitAnswer(const QString &userId, const QString &cursor, const QString &observedCountRequestId)
{
    auto guard = m_server->lock();
    UserData &data = user(userId);
    const std::optional<qint64> after = cursorSequence(data, cursor);
    QJsonObject answer {
        {"changed"_L1, !after || *after < data.seq},
        {"current_cursor"_L1, cursorText(data)},
        {"generated_at"_L1, nowText()},
    };
    if (data.countRequest && data.countRequest->requestId != observedCountRequestId) {
        answer.insert("count_verification_request"_L1,
            QJsonObject {{"request_id"_L1, data.countRequest->requestId},
                {"server_cursor"_L1, data.countRequest->serverCursor},
                {"requested_at"_L1, data.countRequest->requestedAt}});
    }
    if (!data.diagnosticRequestId.isEmpty()) {
        answer.insert("diagnostic_request_id"_L1, data.diagnosticRequestId);
        data.diagnosticRequestId.clear();
    }
    return answer;
}

CloudResponse SyncModel::wait(const QString &userId, const QString &cursor, std::optional<qint64> timeoutMs,
    const QString &observedCountRequestId)
{
    auto guard = m_server->lock();
    const qint64 holdMs = std::clamp<qint64>(timeoutMs.value_or(25000), 0, 30000);
    if (holdMs == 0 || waitHasNews(userId, cursor, observedCountRequestId)) {
        return CloudResponse::json(waitAnswer(userId, cursor, observedCountRequestId));
    }
    return CloudResponse::later(std::chrono::milliseconds(holdMs),
        [this, userId, cursor, observedCountRequestId](bool timedOut) -> std::optional<CloudResponse> {
            if (!timedOut && !waitHasNews(userId, cursor, observedCountRequestId)) {
                return std::nullopt;
            }
            return CloudResponse::json(waitAnswer(userId, cursor, observedCountRequestId));
        });
}

QJsonObject SyncModel::upsertReminder(const SyncActor &actor, const QJsonObject &body)
{
    auto guard = m_server->lock();
    validateUpsert(body);
    UserData &data = user(actor.userId);
    const std::optional<QString> requested = optionalText(body, u"local_id"_s);

    QString id;
    const Record *existing = nullptr;
    if (requested && !requested->isEmpty()) {
        const auto it = data.items.find(*requested);
        if (it != data.items.end()) {
            id = *requested;
            existing = &it->second;
        } else if (data.itemTombstones.erase(*requested) > 0) {
            // An edit that crosses a delete brings the record back under its id: the edit wins.
            id = *requested;
        }
    }
    if (id.isEmpty()) {
        id = newId(u"rem"_s);
    }

    QJsonObject record;
    for (const char *key : kCopiedKeys) {
        const QJsonValue value = body.value(QLatin1StringView(key));
        if (!value.isUndefined() && !value.isNull()) {
            record.insert(QLatin1StringView(key), value);
        }
    }
    if (existing != nullptr) {
        const QJsonObject &stored = existing->body;
        const QJsonValue sourceItemId = body.value("source_item_id"_L1);
        if (m_keepSourceItemIdWhenOmitted && (sourceItemId.isUndefined() || sourceItemId.isNull())
            && stored.contains("source_item_id"_L1)) {
            record.insert("source_item_id"_L1, stored.value("source_item_id"_L1));
        }
        if (stored.contains("tags"_L1)) {
            record.insert("tags"_L1, stored.value("tags"_L1));
        }
        if (!record.contains("created_at"_L1) && stored.contains("created_at"_L1)) {
            record.insert("created_at"_L1, stored.value("created_at"_L1));
        }
    }
    const QString now = nowText();
    record.insert("local_id"_L1, id);
    if (!record.contains("created_at"_L1)) {
        record.insert("created_at"_L1, now);
    }
    record.insert(
        "updated_at"_L1, body.value("updated_at"_L1).isString() ? body.value("updated_at"_L1).toString() : now);
    record.insert("last_modified"_L1, optionalText(body, u"client_last_modified"_s).value_or(now));
    if (!record.contains("has_due_time"_L1)) {
        record.insert("has_due_time"_L1, false);
    }
    if (!record.contains("is_completed"_L1)) {
        record.insert("is_completed"_L1, false);
    }
    record.insert("last_modified_by_device_id"_L1, actor.deviceId);
    record.insert("last_modified_by_client_kind"_L1, actor.clientKind);
    seal(record);

    data.items[id] = writtenItem(std::move(record), bump(data));
    notify();
    QJsonObject answer {{"local_id"_L1, id}};
    answer.insert("request_local_id"_L1, requested ? QJsonValue(*requested) : QJsonValue(QJsonValue::Null));
    return answer;
}

void SyncModel::deleteReminder(const SyncActor &actor, const QJsonObject &body)
{
    auto guard = m_server->lock();
    const QString id = requiredText(body, u"local_id"_s);
    optionalText(body, u"client_last_modified"_s);
    UserData &data = user(actor.userId);
    if (data.items.erase(id) == 0) {
        notFound(u"reminder not found"_s);
    }
    data.itemTombstones[id] = bump(data);
    notify();
}

void SyncModel::completeReminder(const SyncActor &actor, const QJsonObject &body)
{
    auto guard = m_server->lock();
    const QString id = requiredText(body, u"local_id"_s);
    if (!body.value("is_completed"_L1).isBool()) {
        badRequest(u"is_completed is required"_s);
    }
    const bool completed = body.value("is_completed"_L1).toBool();
    const std::optional<QString> completionDate = optionalText(body, u"completion_date"_s);
    const std::optional<QString> modified = optionalText(body, u"client_last_modified"_s);
    UserData &data = user(actor.userId);
    const auto it = data.items.find(id);
    if (it == data.items.end()) {
        notFound(u"reminder not found"_s);
    }
    QJsonObject record = it->second.body;
    const std::optional<QString> storedDate = optionalText(record, u"completion_date"_s);
    const std::optional<QString> newDate = completed ? completionDate : std::nullopt;
    if (record.value("is_completed"_L1).toBool() == completed && storedDate == newDate) {
        return;
    }
    record.insert("is_completed"_L1, completed);
    if (newDate) {
        record.insert("completion_date"_L1, *newDate);
    } else {
        record.remove("completion_date"_L1);
    }
    const QString now = nowText();
    record.insert("updated_at"_L1, now);
    record.insert("last_modified"_L1, modified.value_or(now));
    record.insert("last_modified_by_device_id"_L1, actor.deviceId);
    record.insert("last_modified_by_client_kind"_L1, actor.clientKind);
    seal(record);
    it->second = writtenItem(std::move(record), bump(data));
    notify();
}

namespace {
constexpr FieldRule kListFields[] = {
    {"list_id", Kind::Text},
    {"list_name", Kind::Text},
    {"icon_kind", Kind::Text},
    {"icon_value", Kind::Text},
    {"theme_color", Kind::Text},
    {"sort_order", Kind::Int},
    {"client_last_modified", Kind::Text},
    {"source", Kind::Text},
    {"source_list_id", Kind::Text},
};

QJsonObject listRecord(const QString &id, const QJsonObject &body, const QString &now)
{
    QJsonObject record {{"list_id"_L1, id}, {"list_name"_L1, body.value("list_name"_L1)}};
    for (const char *key : {"icon_kind", "icon_value", "theme_color", "sort_order", "source", "source_list_id"}) {
        const QJsonValue value = body.value(QLatin1StringView(key));
        if (!value.isUndefined() && !value.isNull()) {
            record.insert(QLatin1StringView(key), value);
        }
    }
    const QJsonValue modified = body.value("client_last_modified"_L1);
    record.insert("last_modified"_L1, modified.isString() ? modified.toString() : now);
    return record;
}
} // namespace

QJsonObject SyncModel::createList(const SyncActor &actor, const QJsonObject &body)
{
    auto guard = m_server->lock();
    checkFields(body, kListFields, {});
    requiredText(body, u"list_name"_s);
    UserData &data = user(actor.userId);
    const QString id = newId(u"lst"_s);
    QJsonObject record = listRecord(id, body, nowText());
    data.lists[id] = Record {record, bump(data)};
    notify();
    QJsonObject answer {{"list_id"_L1, id}, {"list_name"_L1, record.value("list_name"_L1)}};
    for (const char *key : {"last_modified", "source", "source_list_id"}) {
        if (record.contains(QLatin1StringView(key))) {
            answer.insert(QLatin1StringView(key), record.value(QLatin1StringView(key)));
        }
    }
    return answer;
}

void SyncModel::updateList(const SyncActor &actor, const QJsonObject &body)
{
    auto guard = m_server->lock();
    checkFields(body, kListFields, {});
    const QString id = requiredText(body, u"list_id"_s);
    requiredText(body, u"list_name"_s);
    UserData &data = user(actor.userId);
    const auto it = data.lists.find(id);
    if (it == data.lists.end()) {
        notFound(u"list not found"_s);
    }
    it->second = Record {listRecord(id, body, nowText()), bump(data)};
    notify();
}

void SyncModel::deleteList(const SyncActor &actor, const QJsonObject &body)
{
    auto guard = m_server->lock();
    const QString id = requiredText(body, u"list_id"_s);
    optionalText(body, u"client_last_modified"_s);
    UserData &data = user(actor.userId);
    if (data.lists.erase(id) == 0) {
        notFound(u"list not found"_s);
    }
    data.listTombstones[id] = bump(data);
    for (auto it = data.items.begin(); it != data.items.end();) {
        if (it->second.body.value("list_id"_L1).toString() == id) {
            data.itemTombstones[it->first] = bump(data);
            it = data.items.erase(it);
        } else {
            ++it;
        }
    }
    notify();
}

void SyncModel::reset(const SyncActor &actor)
{
    auto guard = m_server->lock();
    UserData &data = user(actor.userId);
    data.items.clear();
    data.lists.clear();
    data.itemTombstones.clear();
    data.listTombstones.clear();
    data.countRequest.reset();
    ++data.generation;
    bump(data);
    notify();
}

QJsonObject SyncModel::reportCounts(const SyncActor &actor, const QJsonObject &body)
{
    auto guard = m_server->lock();
    const QString requestId = requiredText(body, u"request_id"_s);
    const QString serverCursor = requiredText(body, u"server_cursor"_s);
    SyncCounts reported;
    for (auto [key, field] :
        {std::pair {"total_count", &SyncCounts::total}, std::pair {"completed_count", &SyncCounts::completed},
            std::pair {"incomplete_count", &SyncCounts::incomplete}}) {
        const QJsonValue value = body.value(QLatin1StringView(key));
        if (!isInteger(value)) {
            badRequest(QLatin1StringView(key) + u" is required"_s);
        }
        reported.*field = static_cast<qint64>(value.toDouble());
    }
    UserData &data = user(actor.userId);
    const SyncCounts server = countItems(data.items);
    const QString state = m_countStateOverride.value_or(server == reported ? u"matched"_s : u"mismatched"_s);
    const QJsonObject report {
        {"request_id"_L1, requestId},
        {"device_id"_L1, actor.deviceId},
        {"server_cursor"_L1, serverCursor},
        {"counts"_L1, countsJson(reported)},
        {"reported_at"_L1, nowText()},
    };
    data.countReports.append(report);
    QJsonObject answer {
        {"state"_L1, state},
        {"request_id"_L1, requestId},
        {"server_cursor"_L1, cursorText(data)},
        {"server_counts"_L1, countsJson(server)},
        {"mqv_report"_L1, report},
    };
    if (data.countRequest && data.countRequest->requestId == requestId) {
        answer.insert("requested_at"_L1, data.countRequest->requestedAt);
        if (state == u"matched"_s || state == u"mismatched"_s) {
            data.countRequest.reset();
        }
    }
    return answer;
}

QJsonObject SyncModel::uploadDiagnosticReport(const SyncActor &actor, const QJsonObject &body)
{
    auto guard = m_server->lock();
    constexpr FieldRule rules[] = {
        {"schema_version", Kind::Int},
        {"client_kind", Kind::Text},
        {"platform", Kind::Text},
        {"app_version", Kind::Text},
        {"device_id", Kind::Text},
        {"generated_at", Kind::Text},
        {"parent_report_id", Kind::Text},
        {"report", Kind::Object},
    };
    checkFields(body, rules, {});
    for (const char *key : {"schema_version", "client_kind", "platform", "generated_at", "report"}) {
        const QJsonValue value = body.value(QLatin1StringView(key));
        if (value.isUndefined() || value.isNull()) {
            badRequest(QLatin1StringView(key) + u" is required"_s);
        }
    }
    UserData &data = user(actor.userId);
    const QString reportId = newId(u"diag"_s);
    QJsonObject stored = body;
    stored.insert("report_id"_L1, reportId);
    stored.insert("received_from_device_id"_L1, actor.deviceId);
    data.diagnosticReports.append(stored);
    return QJsonObject {
        {"report_id"_L1, reportId},
        {"created_at"_L1, nowText()},
        {"server_cursor"_L1, cursorText(data)},
        {"retained_days"_L1, 30},
    };
}

QString SyncModel::requestCountVerification(const QString &userId)
{
    auto guard = m_server->lock();
    UserData &data = user(userId);
    const QString requestId = newId(u"cv"_s);
    data.countRequest = PendingCountRequest {requestId, cursorText(data), nowText()};
    notify();
    return requestId;
}

QString SyncModel::requestDiagnostics(const QString &userId)
{
    auto guard = m_server->lock();
    UserData &data = user(userId);
    data.diagnosticRequestId = newId(u"diagreq"_s);
    notify();
    return data.diagnosticRequestId;
}

QList<QJsonObject> SyncModel::liveItems(const QString &userId) const
{
    auto guard = m_server->lock();
    QList<QJsonObject> items;
    if (const UserData *data = findUser(userId)) {
        for (const auto &[id, record] : bySequence(data->items)) {
            items.append(renderItem(*data, *record));
        }
    }
    return items;
}

std::optional<QJsonObject> SyncModel::item(const QString &userId, const QString &serverId) const
{
    auto guard = m_server->lock();
    const UserData *data = findUser(userId);
    if (data == nullptr) {
        return std::nullopt;
    }
    const auto it = data->items.find(serverId);
    if (it == data->items.end()) {
        return std::nullopt;
    }
    return renderItem(*data, it->second);
}

QList<QJsonObject> SyncModel::liveLists(const QString &userId) const
{
    auto guard = m_server->lock();
    QList<QJsonObject> lists;
    if (const UserData *data = findUser(userId)) {
        for (const auto &[id, record] : bySequence(data->lists)) {
            lists.append(renderList(*record));
        }
    }
    return lists;
}

std::optional<QJsonObject> SyncModel::list(const QString &userId, const QString &listId) const
{
    auto guard = m_server->lock();
    const UserData *data = findUser(userId);
    if (data == nullptr) {
        return std::nullopt;
    }
    const auto it = data->lists.find(listId);
    if (it == data->lists.end()) {
        return std::nullopt;
    }
    return renderList(it->second);
}

QStringList SyncModel::deletedItemIds(const QString &userId) const
{
    auto guard = m_server->lock();
    const UserData *data = findUser(userId);
    return data ? tombstonesAfter(data->itemTombstones, 0) : QStringList();
}

QStringList SyncModel::deletedListIds(const QString &userId) const
{
    auto guard = m_server->lock();
    const UserData *data = findUser(userId);
    return data ? tombstonesAfter(data->listTombstones, 0) : QStringList();
}

QString SyncModel::currentCursor(const QString &userId) const
{
    auto guard = m_server->lock();
    const UserData *data = findUser(userId);
    return data ? cursorText(*data) : u"g1-0"_s;
}

qint64 SyncModel::rebuildGeneration(const QString &userId) const
{
    auto guard = m_server->lock();
    const UserData *data = findUser(userId);
    return data ? data->generation : 1;
}

SyncCounts SyncModel::counts(const QString &userId) const
{
    auto guard = m_server->lock();
    const UserData *data = findUser(userId);
    return data ? countItems(data->items) : SyncCounts {};
}

QList<QJsonObject> SyncModel::countReports(const QString &userId) const
{
    auto guard = m_server->lock();
    const UserData *data = findUser(userId);
    return data ? data->countReports : QList<QJsonObject>();
}

QList<QJsonObject> SyncModel::diagnosticReports(const QString &userId) const
{
    auto guard = m_server->lock();
    const UserData *data = findUser(userId);
    return data ? data->diagnosticReports : QList<QJsonObject>();
}

std::optional<QString> SyncModel::pendingCountVerificationId(const QString &userId) const
{
    auto guard = m_server->lock();
    const UserData *data = findUser(userId);
    if (data == nullptr || !data->countRequest) {
        return std::nullopt;
    }
    return data->countRequest->requestId;
}

void SyncModel::forgetUser(const QString &userId)
{
    auto guard = m_server->lock();
    m_users.erase(userId);
}

} // namespace quorvin::test
