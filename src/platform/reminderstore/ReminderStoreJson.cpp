#include "platform/reminderstore/ReminderStoreJson.h"

#include "platform/core/JsonByteOrderMarks.h"
#include "platform/reminderstore/ReminderStoreError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cmath>
#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

namespace {

constexpr int formatVersion = 1;

// ---- writing

QString instantText(const QDateTime &date)
{
    return date.toUTC().toString(Qt::ISODateWithMs);
}

template <typename T, typename F> QJsonArray arrayOf(const std::vector<T> &items, F toJson)
{
    QJsonArray array;
    for (const auto &item : items) {
        array.append(toJson(item));
    }
    return array;
}

QJsonArray intArray(const std::vector<int> &values)
{
    return arrayOf(values, [](int value) { return QJsonValue(value); });
}

QString sourceKindText(ReminderSource::Kind kind)
{
    switch (kind) {
    case ReminderSource::Kind::Local:
        return u"local"_s;
    case ReminderSource::Kind::Exchange:
        return u"exchange"_s;
    case ReminderSource::Kind::CalDAV:
        return u"caldav"_s;
    case ReminderSource::Kind::MobileMe:
        return u"mobileme"_s;
    case ReminderSource::Kind::Subscribed:
        return u"subscribed"_s;
    case ReminderSource::Kind::Birthdays:
        return u"birthdays"_s;
    }
    return u"local"_s;
}

QString proximityText(ReminderAlarm::Proximity proximity)
{
    switch (proximity) {
    case ReminderAlarm::Proximity::None:
        return u"none"_s;
    case ReminderAlarm::Proximity::Enter:
        return u"enter"_s;
    case ReminderAlarm::Proximity::Leave:
        return u"leave"_s;
    }
    return u"none"_s;
}

QString frequencyText(RecurrenceRule::Frequency frequency)
{
    switch (frequency) {
    case RecurrenceRule::Frequency::Daily:
        return u"daily"_s;
    case RecurrenceRule::Frequency::Weekly:
        return u"weekly"_s;
    case RecurrenceRule::Frequency::Monthly:
        return u"monthly"_s;
    case RecurrenceRule::Frequency::Yearly:
        return u"yearly"_s;
    }
    return u"daily"_s;
}

QJsonObject componentsJson(const DateComponents &components)
{
    QJsonObject object;
    const auto put = [&object](const QString &key, const std::optional<int> &value) {
        if (value) {
            object.insert(key, *value);
        }
    };
    put(u"era"_s, components.era);
    put(u"year"_s, components.year);
    put(u"month"_s, components.month);
    put(u"day"_s, components.day);
    put(u"hour"_s, components.hour);
    put(u"minute"_s, components.minute);
    put(u"second"_s, components.second);
    if (components.timeZone) {
        object.insert(u"time_zone"_s, *components.timeZone);
    }
    return object;
}

QJsonObject alarmJson(const ReminderAlarm &alarm)
{
    QJsonObject object;
    if (alarm.absoluteDate) {
        object.insert(u"absolute_date"_s, instantText(*alarm.absoluteDate));
    }
    object.insert(u"relative_offset"_s, alarm.relativeOffset);
    if (alarm.structuredLocation) {
        const auto &location = *alarm.structuredLocation;
        QJsonObject place;
        if (location.title) {
            place.insert(u"title"_s, *location.title);
        }
        if (location.geoLocation) {
            place.insert(u"geo_location"_s,
                QJsonObject {{u"latitude"_s, location.geoLocation->latitude},
                    {u"longitude"_s, location.geoLocation->longitude}});
        }
        place.insert(u"radius"_s, location.radius);
        object.insert(u"structured_location"_s, place);
    }
    object.insert(u"proximity"_s, proximityText(alarm.proximity));
    return object;
}

QJsonObject ruleJson(const RecurrenceRule &rule)
{
    QJsonObject object;
    object.insert(u"frequency"_s, frequencyText(rule.frequency));
    object.insert(u"interval"_s, rule.interval);
    if (rule.daysOfTheWeek) {
        object.insert(u"days_of_the_week"_s, arrayOf(*rule.daysOfTheWeek, [](const RecurrenceDayOfWeek &day) {
            return QJsonObject {{u"day_of_the_week"_s, day.dayOfTheWeek}, {u"week_number"_s, day.weekNumber}};
        }));
    }
    const auto putInts = [&object](const QString &key, const std::optional<std::vector<int>> &values) {
        if (values) {
            object.insert(key, intArray(*values));
        }
    };
    putInts(u"days_of_the_month"_s, rule.daysOfTheMonth);
    putInts(u"months_of_the_year"_s, rule.monthsOfTheYear);
    putInts(u"weeks_of_the_year"_s, rule.weeksOfTheYear);
    putInts(u"days_of_the_year"_s, rule.daysOfTheYear);
    putInts(u"set_positions"_s, rule.setPositions);
    object.insert(u"first_day_of_the_week"_s, rule.firstDayOfTheWeek);
    if (rule.end) {
        QJsonObject end;
        if (rule.end->endDate) {
            end.insert(u"end_date"_s, instantText(*rule.end->endDate));
        }
        end.insert(u"occurrence_count"_s, rule.end->occurrenceCount);
        object.insert(u"end"_s, end);
    }
    return object;
}

QJsonObject reminderJson(const Reminder &reminder)
{
    QJsonObject object;
    object.insert(u"id"_s, reminder.id);
    if (reminder.externalId) {
        object.insert(u"external_id"_s, *reminder.externalId);
    }
    object.insert(u"list_id"_s, reminder.listId);
    object.insert(u"title"_s, reminder.title);
    if (reminder.notes) {
        object.insert(u"notes"_s, *reminder.notes);
    }
    if (reminder.url) {
        object.insert(u"url"_s, *reminder.url);
    }
    if (reminder.startDateComponents) {
        object.insert(u"start_date_components"_s, componentsJson(*reminder.startDateComponents));
    }
    if (reminder.dueDateComponents) {
        object.insert(u"due_date_components"_s, componentsJson(*reminder.dueDateComponents));
    }
    if (reminder.timeZone) {
        object.insert(u"time_zone"_s, *reminder.timeZone);
    }
    object.insert(u"priority"_s, reminder.priority);
    object.insert(u"completed"_s, reminder.completed);
    if (reminder.completionDate) {
        object.insert(u"completion_date"_s, instantText(*reminder.completionDate));
    }
    if (reminder.alarms) {
        object.insert(u"alarms"_s, arrayOf(*reminder.alarms, alarmJson));
    }
    object.insert(u"recurrence_rules"_s, arrayOf(reminder.recurrenceRules, ruleJson));
    if (reminder.creationDate) {
        object.insert(u"creation_date"_s, instantText(*reminder.creationDate));
    }
    if (reminder.lastModifiedDate) {
        object.insert(u"last_modified_date"_s, instantText(*reminder.lastModifiedDate));
    }
    return object;
}

// ---- reading

// What is wrong where; decode() turns it into the error it throws.
struct Malformed {
    QString path;
    QString problem;
};

[[noreturn]] void fail(const QString &path, const QString &problem)
{
    throw Malformed {path, problem};
}

// One JSON object being read, with the key path that error texts name.
class Fields {
public:
    Fields(QJsonValue value, QString path)
        : m_path(std::move(path))
    {
        if (!value.isObject()) {
            fail(m_path, u"is not an object"_s);
        }
        m_object = value.toObject();
    }

    QString path(const QString &key) const { return m_path + u'.' + key; }

    // One look-up per key: an object's members are searched one by one, and a large database
    // reads every key of every reminder.
    bool has(const QString &key) const { return present(m_object.value(key)); }

    QJsonValue required(const QString &key) const
    {
        QJsonValue value = m_object.value(key);
        if (!present(value)) {
            fail(path(key), u"is missing"_s);
        }
        return value;
    }

    QString text(const QString &key) const
    {
        const auto value = required(key);
        if (!value.isString()) {
            fail(path(key), u"is not a string"_s);
        }
        return value.toString();
    }
    std::optional<QString> optionalText(const QString &key) const
    {
        return has(key) ? std::optional(text(key)) : std::nullopt;
    }

    bool flag(const QString &key) const
    {
        const auto value = required(key);
        if (!value.isBool()) {
            fail(path(key), u"is not a boolean"_s);
        }
        return value.toBool();
    }

    double number(const QString &key) const
    {
        const auto value = required(key);
        if (!value.isDouble()) {
            fail(path(key), u"is not a number"_s);
        }
        return value.toDouble();
    }

    int integer(const QString &key) const { return integerValue(required(key), path(key)); }
    std::optional<int> optionalInteger(const QString &key) const
    {
        return has(key) ? std::optional(integer(key)) : std::nullopt;
    }

    QDateTime instant(const QString &key) const
    {
        const auto date = QDateTime::fromString(text(key), Qt::ISODateWithMs);
        if (!date.isValid()) {
            fail(path(key), u"is not a date"_s);
        }
        return date.toUTC();
    }
    std::optional<QDateTime> optionalInstant(const QString &key) const
    {
        return has(key) ? std::optional(instant(key)) : std::nullopt;
    }

    QJsonArray array(const QString &key) const
    {
        const auto value = required(key);
        if (!value.isArray()) {
            fail(path(key), u"is not an array"_s);
        }
        return value.toArray();
    }

    std::optional<std::vector<int>> optionalIntegers(const QString &key) const
    {
        if (!has(key)) {
            return std::nullopt;
        }
        std::vector<int> values;
        const auto items = array(key);
        for (qsizetype i = 0; i < items.size(); ++i) {
            values.push_back(integerValue(items.at(i), elementPath(key, i)));
        }
        return values;
    }

    template <typename T, typename F> std::vector<T> objects(const QString &key, F read) const
    {
        std::vector<T> result;
        const auto items = array(key);
        result.reserve(size_t(items.size()));
        for (qsizetype i = 0; i < items.size(); ++i) {
            result.push_back(read(Fields(items.at(i), elementPath(key, i))));
        }
        return result;
    }

    Fields object(const QString &key) const { return Fields(required(key), path(key)); }

private:
    static bool present(const QJsonValue &value) { return !value.isUndefined() && !value.isNull(); }
    QString elementPath(const QString &key, qsizetype index) const
    {
        return path(key) + u'[' + QString::number(index) + u']';
    }

    static int integerValue(const QJsonValue &value, const QString &path)
    {
        if (!value.isDouble()) {
            fail(path, u"is not a number"_s);
        }
        const double number = value.toDouble();
        if (number != std::trunc(number) || number < std::numeric_limits<int>::min()
            || number > std::numeric_limits<int>::max()) {
            fail(path, u"is not an integer"_s);
        }
        return int(number);
    }

    QJsonObject m_object;
    QString m_path;
};

template <typename E>
E enumValue(const Fields &fields, const QString &key, std::initializer_list<std::pair<QString, E>> names)
{
    const auto text = fields.text(key);
    for (const auto &[name, value] : names) {
        if (name == text) {
            return value;
        }
    }
    fail(fields.path(key), u"has the unknown value \"%1\""_s.arg(text));
}

DateComponents readComponents(const Fields &fields)
{
    DateComponents components;
    components.era = fields.optionalInteger(u"era"_s);
    components.year = fields.optionalInteger(u"year"_s);
    components.month = fields.optionalInteger(u"month"_s);
    components.day = fields.optionalInteger(u"day"_s);
    components.hour = fields.optionalInteger(u"hour"_s);
    components.minute = fields.optionalInteger(u"minute"_s);
    components.second = fields.optionalInteger(u"second"_s);
    components.timeZone = fields.optionalText(u"time_zone"_s);
    return components;
}

ReminderAlarm readAlarm(const Fields &fields)
{
    ReminderAlarm alarm;
    alarm.absoluteDate = fields.optionalInstant(u"absolute_date"_s);
    alarm.relativeOffset = fields.number(u"relative_offset"_s);
    if (fields.has(u"structured_location"_s)) {
        const auto place = fields.object(u"structured_location"_s);
        StructuredLocation location;
        location.title = place.optionalText(u"title"_s);
        if (place.has(u"geo_location"_s)) {
            const auto geo = place.object(u"geo_location"_s);
            location.geoLocation
                = StructuredLocation::Coordinate {geo.number(u"latitude"_s), geo.number(u"longitude"_s)};
        }
        location.radius = place.number(u"radius"_s);
        alarm.structuredLocation = location;
    }
    alarm.proximity = enumValue<ReminderAlarm::Proximity>(fields, u"proximity"_s,
        {{u"none"_s, ReminderAlarm::Proximity::None}, {u"enter"_s, ReminderAlarm::Proximity::Enter},
            {u"leave"_s, ReminderAlarm::Proximity::Leave}});
    return alarm;
}

RecurrenceRule readRule(const Fields &fields)
{
    RecurrenceRule rule;
    rule.frequency = enumValue<RecurrenceRule::Frequency>(fields, u"frequency"_s,
        {{u"daily"_s, RecurrenceRule::Frequency::Daily}, {u"weekly"_s, RecurrenceRule::Frequency::Weekly},
            {u"monthly"_s, RecurrenceRule::Frequency::Monthly}, {u"yearly"_s, RecurrenceRule::Frequency::Yearly}});
    rule.interval = fields.integer(u"interval"_s);
    if (fields.has(u"days_of_the_week"_s)) {
        rule.daysOfTheWeek = fields.objects<RecurrenceDayOfWeek>(u"days_of_the_week"_s, [](const Fields &day) {
            return RecurrenceDayOfWeek {day.integer(u"day_of_the_week"_s), day.integer(u"week_number"_s)};
        });
    }
    rule.daysOfTheMonth = fields.optionalIntegers(u"days_of_the_month"_s);
    rule.monthsOfTheYear = fields.optionalIntegers(u"months_of_the_year"_s);
    rule.weeksOfTheYear = fields.optionalIntegers(u"weeks_of_the_year"_s);
    rule.daysOfTheYear = fields.optionalIntegers(u"days_of_the_year"_s);
    rule.setPositions = fields.optionalIntegers(u"set_positions"_s);
    rule.firstDayOfTheWeek = fields.integer(u"first_day_of_the_week"_s);
    if (fields.has(u"end"_s)) {
        const auto end = fields.object(u"end"_s);
        rule.end = RecurrenceEnd {end.optionalInstant(u"end_date"_s), end.integer(u"occurrence_count"_s)};
    }
    return rule;
}

Reminder readReminder(const Fields &fields)
{
    Reminder reminder;
    reminder.id = fields.text(u"id"_s);
    reminder.externalId = fields.optionalText(u"external_id"_s);
    reminder.listId = fields.text(u"list_id"_s);
    reminder.title = fields.text(u"title"_s);
    reminder.notes = fields.optionalText(u"notes"_s);
    reminder.url = fields.optionalText(u"url"_s);
    if (reminder.url && !Reminder::isUrl(*reminder.url)) {
        fail(fields.path(u"url"_s), u"is not a URL"_s);
    }
    if (fields.has(u"start_date_components"_s)) {
        reminder.startDateComponents = readComponents(fields.object(u"start_date_components"_s));
    }
    if (fields.has(u"due_date_components"_s)) {
        reminder.dueDateComponents = readComponents(fields.object(u"due_date_components"_s));
    }
    reminder.timeZone = fields.optionalText(u"time_zone"_s);
    reminder.priority = fields.integer(u"priority"_s);
    if (reminder.priority < 0 || reminder.priority > 9) {
        fail(fields.path(u"priority"_s), u"is outside 0-9"_s);
    }
    reminder.completed = fields.flag(u"completed"_s);
    reminder.completionDate = fields.optionalInstant(u"completion_date"_s);
    if (fields.has(u"alarms"_s)) {
        reminder.alarms = fields.objects<ReminderAlarm>(u"alarms"_s, readAlarm);
    }
    if (fields.has(u"recurrence_rules"_s)) {
        reminder.recurrenceRules = fields.objects<RecurrenceRule>(u"recurrence_rules"_s, readRule);
    }
    reminder.creationDate = fields.optionalInstant(u"creation_date"_s);
    reminder.lastModifiedDate = fields.optionalInstant(u"last_modified_date"_s);
    return reminder;
}

template <typename T> void requireUniqueIds(const std::vector<T> &items, const QString &key)
{
    QSet<QString> seen;
    seen.reserve(qsizetype(items.size()));
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto path = [&] { return u"%1[%2].id"_s.arg(key).arg(i); };
        if (items[i].id.isEmpty()) {
            fail(path(), u"is empty"_s);
        }
        if (seen.contains(items[i].id)) {
            fail(path(), u"repeats the id \"%1\""_s.arg(items[i].id));
        }
        seen.insert(items[i].id);
    }
}

template <typename T> bool containsId(const std::vector<T> &items, const QString &id)
{
    return std::any_of(items.begin(), items.end(), [&id](const T &item) { return item.id == id; });
}

} // namespace

ReminderStoreJson::Entry &ReminderStoreJson::keep(const Reminder &reminder, Entry *hint)
{
    Entry *kept = hint;
    if (!kept) {
        auto found = m_encoded.find(reminder.id);
        if (found == m_encoded.end()) {
            found = m_encoded.emplace(reminder.id, Encoded {reminder, {}, m_generation}).first;
            found->second.text = QJsonDocument(reminderJson(reminder)).toJson(QJsonDocument::Compact);
            return *found;
        }
        kept = &*found;
    }
    if (kept->second.reminder != reminder) {
        kept->second.reminder = reminder;
        kept->second.text = QJsonDocument(reminderJson(reminder)).toJson(QJsonDocument::Compact);
    }
    return *kept;
}

void ReminderStoreJson::prepare(const Reminder &reminder)
{
    // A text prepared for a write that is then dropped is left to the next encode's clean-up.
    keep(reminder);
}

QByteArray ReminderStoreJson::encode(const ReminderStoreState &state)
{
    QJsonObject root;
    root.insert(u"format"_s, formatVersion);
    if (state.defaultListId) {
        root.insert(u"default_list_id"_s, *state.defaultListId);
    }
    root.insert(u"sources"_s, arrayOf(state.sources, [](const ReminderSource &source) {
        return QJsonObject {{u"id"_s, source.id}, {u"title"_s, source.title}, {u"kind"_s, sourceKindText(source.kind)}};
    }));
    root.insert(u"lists"_s, arrayOf(state.lists, [](const ReminderList &list) {
        return QJsonObject {{u"id"_s, list.id}, {u"title"_s, list.title}, {u"source_id"_s, list.sourceId}};
    }));

    // The reminders are spliced in as one line each, from the texts kept since the last write.
    // The kept texts are updated in place: a rewrite after one change then costs a comparison
    // and a copy of bytes per reminder, not a new table.
    ++m_generation;
    std::vector<Entry *> order;
    order.reserve(state.reminders.size());
    qsizetype length = 0;
    for (std::size_t i = 0; i < state.reminders.size(); ++i) {
        const Reminder &reminder = state.reminders[i];
        Entry *const hint = i < m_order.size() && m_order[i]->first == reminder.id ? m_order[i] : nullptr;
        Entry &kept = keep(reminder, hint);
        kept.second.generation = m_generation;
        order.push_back(&kept);
        length += kept.second.text.size() + 2;
    }

    // Straight into the file's text, which is sized once: no second buffer of the whole file.
    auto text = QJsonDocument(root).toJson(QJsonDocument::Compact);
    text.chop(1); // the closing brace
    text.reserve(text.size() + length + 32);
    text += ",\"reminders\":[";
    // One line each: "\n" before the first, ",\n" before the others.
    for (std::size_t i = 0; i < order.size(); ++i) {
        text.append(i > 0 ? QByteArrayView(",\n") : QByteArrayView("\n"));
        text.append(order[i]->second.text);
    }
    text += "\n]}\n";
    // Texts of reminders that are gone are dropped, so the table never outgrows the database.
    // The entries of this encode are never among them, so its order stays good.
    if (m_encoded.size() > state.reminders.size()) {
        std::erase_if(m_encoded, [this](const Entry &entry) { return entry.second.generation != m_generation; });
    }
    m_order = std::move(order);
    return text;
}

ReminderStoreState ReminderStoreJson::decode(const QByteArray &bytes, const QString &fileName)
{
    try {
        return decodeState(bytes);
    } catch (const Malformed &malformed) {
        throw ReminderStoreError(ReminderStoreError::Unreadable,
            fileName.isEmpty() ? u"Reminder database: %1 %2"_s.arg(malformed.path, malformed.problem)
                               : u"Reminder database %1: %2 %3"_s.arg(fileName, malformed.path, malformed.problem));
    }
}

ReminderStoreState ReminderStoreJson::decodeState(const QByteArray &bytes)
{
    QJsonParseError error;
    const auto document = QJsonDocument::fromJson(escapeInnerByteOrderMarks(bytes), &error);
    if (error.error != QJsonParseError::NoError) {
        fail(u"file"_s, u"is not JSON (%1 at offset %2)"_s.arg(error.errorString()).arg(error.offset));
    }
    const Fields root(document.isObject() ? QJsonValue(document.object()) : QJsonValue(), u"$"_s);
    if (root.integer(u"format"_s) != formatVersion) {
        fail(root.path(u"format"_s), u"names an unknown format"_s);
    }
    ReminderStoreState state;
    state.defaultListId = root.optionalText(u"default_list_id"_s);
    state.sources = root.objects<ReminderSource>(u"sources"_s, [](const Fields &fields) {
        return ReminderSource {fields.text(u"id"_s), fields.text(u"title"_s),
            enumValue<ReminderSource::Kind>(fields, u"kind"_s,
                {{u"local"_s, ReminderSource::Kind::Local}, {u"exchange"_s, ReminderSource::Kind::Exchange},
                    {u"caldav"_s, ReminderSource::Kind::CalDAV}, {u"mobileme"_s, ReminderSource::Kind::MobileMe},
                    {u"subscribed"_s, ReminderSource::Kind::Subscribed},
                    {u"birthdays"_s, ReminderSource::Kind::Birthdays}})};
    });
    state.lists = root.objects<ReminderList>(u"lists"_s, [](const Fields &fields) {
        return ReminderList {fields.text(u"id"_s), fields.text(u"title"_s), fields.text(u"source_id"_s)};
    });
    state.reminders = root.objects<Reminder>(u"reminders"_s, readReminder);

    requireUniqueIds(state.sources, u"$.sources"_s);
    requireUniqueIds(state.lists, u"$.lists"_s);
    requireUniqueIds(state.reminders, u"$.reminders"_s);
    for (std::size_t i = 0; i < state.lists.size(); ++i) {
        if (!containsId(state.sources, state.lists[i].sourceId)) {
            fail(u"$.lists[%1].source_id"_s.arg(i), u"names no source"_s);
        }
    }
    for (std::size_t i = 0; i < state.reminders.size(); ++i) {
        if (!containsId(state.lists, state.reminders[i].listId)) {
            fail(u"$.reminders[%1].list_id"_s.arg(i), u"names no list"_s);
        }
    }
    return state;
}

} // namespace quorvin
