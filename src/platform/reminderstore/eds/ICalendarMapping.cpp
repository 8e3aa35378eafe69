#include "platform/reminderstore/eds/ICalendarMapping.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

namespace {

constexpr const char *kExact = "X-QUORVIN-EXACT";
constexpr const char *kExternalId = "X-QUORVIN-EXTERNAL-ID";
constexpr const char *kTimeZone = "X-QUORVIN-TIME-ZONE";
constexpr const char *kNoAlarms = "X-QUORVIN-NO-ALARMS";
constexpr const char *kLocationAlarm = "X-QUORVIN-LOCATION-ALARM";
constexpr const char *kMoreRules = "X-QUORVIN-RRULE";

// Offsets beyond this do not fit libical's durations (and mean nothing for a reminder).
constexpr double kMaxOffsetSeconds = 100.0 * 366 * 24 * 3600;

QString text(const char *value)
{
    return value ? QString::fromUtf8(value) : QString();
}

// ---- properties and parameters ----------------------------------------------------------------

std::vector<icalproperty *> properties(icalcomponent *component, icalproperty_kind kind)
{
    std::vector<icalproperty *> result;
    for (auto *p = icalcomponent_get_first_property(component, kind); p;
         p = icalcomponent_get_next_property(component, kind)) {
        result.push_back(p);
    }
    return result;
}

std::vector<icalproperty *> xProperties(icalcomponent *component, const char *name)
{
    std::vector<icalproperty *> result;
    for (auto *p : properties(component, ICAL_X_PROPERTY)) {
        const char *xName = icalproperty_get_x_name(p);
        if (xName && qstricmp(xName, name) == 0) {
            result.push_back(p);
        }
    }
    return result;
}

void removeAll(icalcomponent *component, const std::vector<icalproperty *> &found)
{
    for (auto *p : found) {
        icalcomponent_remove_property(component, p);
        icalproperty_free(p);
    }
}

void removeProperties(icalcomponent *component, icalproperty_kind kind)
{
    removeAll(component, properties(component, kind));
}

void removeX(icalcomponent *component, const char *name)
{
    removeAll(component, xProperties(component, name));
}

icalproperty *first(icalcomponent *component, icalproperty_kind kind)
{
    return icalcomponent_get_first_property(component, kind);
}

void addX(icalcomponent *component, const char *name, const QByteArray &value)
{
    auto *p = icalproperty_new_x(value.constData());
    icalproperty_set_x_name(p, name);
    icalcomponent_add_property(component, p);
}

QByteArray parameter(icalproperty *property, const char *name)
{
    char *value = icalproperty_get_parameter_as_string_r(property, name);
    QByteArray result(value ? value : "");
    free(value);
    return result;
}

QByteArray valueString(const icalproperty *property)
{
    char *value = icalproperty_get_value_as_string_r(property);
    QByteArray result(value ? value : "");
    free(value);
    return result;
}

// What other apps see of a property: its value and the parameters that change its meaning.
QByteArray standardForm(icalproperty *property)
{
    return valueString(property) + '|' + parameter(property, "TZID") + '|' + parameter(property, "RELATED");
}

// An object as it is; a text in a one-element array, since a JSON document is never a bare value.
QByteArray compactJson(const QJsonValue &value)
{
    if (value.isObject()) {
        return QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
    }
    return QJsonDocument(QJsonArray {value}).toJson(QJsonDocument::Compact);
}

std::optional<QJsonValue> parseJson(const QByteArray &bytes)
{
    QJsonParseError error;
    const auto document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        return std::nullopt;
    }
    if (document.isObject()) {
        return document.object();
    }
    if (document.array().size() != 1) {
        return std::nullopt;
    }
    return document.array().at(0);
}

// The exact value rides in a parameter as Base64url JSON: no character of it needs quoting.
void setExact(icalproperty *property, const QJsonValue &exact)
{
    auto *p = icalparameter_new_x(
        compactJson(exact).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals).constData());
    icalparameter_set_xname(p, kExact);
    icalproperty_add_parameter(property, p);
}

std::optional<QJsonValue> exact(icalproperty *property)
{
    for (auto *p = icalproperty_get_first_parameter(property, ICAL_X_PARAMETER); p;
         p = icalproperty_get_next_parameter(property, ICAL_X_PARAMETER)) {
        const char *name = icalparameter_get_xname(p);
        if (name && qstricmp(name, kExact) == 0) {
            const auto decoded = QByteArray::fromBase64Encoding(QByteArray(icalparameter_get_xvalue(p)),
                QByteArray::Base64UrlEncoding | QByteArray::AbortOnBase64DecodingErrors);
            return decoded ? parseJson(*decoded) : std::nullopt;
        }
    }
    return std::nullopt;
}

// Reads the exact value kept beside `property`, when the property's standard form is still what
// writing that value gives; the standard reading otherwise.
template <typename T>
T exactOr(icalproperty *property, T standard, const std::function<std::optional<T>(const QJsonValue &)> &decode,
    const std::function<icalproperty *(const T &)> &write)
{
    const auto kept = exact(property);
    if (!kept) {
        return standard;
    }
    const auto value = decode(*kept);
    if (!value) {
        return standard;
    }
    icalproperty *rewritten = write(*value);
    const bool same = rewritten && standardForm(rewritten) == standardForm(property);
    if (rewritten) {
        icalproperty_free(rewritten);
    }
    return same ? *value : standard;
}

// ---- instants ---------------------------------------------------------------------------------

qint64 floorSeconds(const QDateTime &instant)
{
    const qint64 ms = instant.toMSecsSinceEpoch();
    return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
}

bool representable(const QDateTime &instant)
{
    return instant.isValid() && instant.toUTC().date().year() >= 1 && instant.toUTC().date().year() <= 9999;
}

icaltimetype utcTime(const QDateTime &instant)
{
    return icaltime_from_timet_with_zone(time_t(floorSeconds(instant)), 0, icaltimezone_get_utc_timezone());
}

QTimeZone qtZone(const QString &id)
{
    if (id.isEmpty()) {
        return {};
    }
    return QTimeZone(id.toUtf8());
}

// The instant a time names: UTC, in the zone of its TZID, or (floating, which these properties
// should never be) taken as UTC.
std::optional<QDateTime> instantOf(icaltimetype time, icalproperty *property)
{
    if (icaltime_is_null_time(time) || !icaltime_is_valid_time(time)) {
        return std::nullopt;
    }
    const QDate date(time.year, time.month, time.day);
    const QTime clock = time.is_date ? QTime(0, 0) : QTime(time.hour, time.minute, qMin(time.second, 59));
    if (!date.isValid() || !clock.isValid()) {
        return std::nullopt;
    }
    if (!icaltime_is_utc(time) && property) {
        const auto zone = qtZone(ICalendarMapping::zoneId(icalproperty_get_parameter_as_string(property, "TZID")));
        if (zone.isValid()) {
            return QDateTime(date, clock, zone).toUTC();
        }
    }
    return QDateTime(date, clock, QTimeZone::utc());
}

QJsonValue instantJson(const QDateTime &instant)
{
    return instant.toUTC().toString(Qt::ISODateWithMs);
}

std::optional<QDateTime> instantFromJson(const QJsonValue &value)
{
    if (!value.isString()) {
        return std::nullopt;
    }
    auto instant = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (!instant.isValid()) {
        return std::nullopt;
    }
    return instant.toUTC();
}

using InstantMaker = icalproperty *(*)(icaltimetype);
using InstantGetter = icaltimetype (*)(const icalproperty *);

icalproperty *instantProperty(InstantMaker make, const QDateTime &instant)
{
    auto *p = make(utcTime(instant));
    if (instant.toMSecsSinceEpoch() % 1000 != 0) {
        setExact(p, instantJson(instant));
    }
    return p;
}

std::optional<QDateTime> readInstant(icalcomponent *todo, icalproperty_kind kind, InstantGetter get, InstantMaker make)
{
    auto *p = first(todo, kind);
    if (!p) {
        return std::nullopt;
    }
    const auto standard = instantOf(get(p), p);
    if (!standard) {
        return std::nullopt;
    }
    return exactOr<QDateTime>(
        p, *standard, instantFromJson, [make](const QDateTime &instant) { return make(utcTime(instant)); });
}

void writeInstant(
    icalcomponent *todo, icalproperty_kind kind, InstantMaker make, const std::optional<QDateTime> &instant)
{
    removeProperties(todo, kind);
    if (instant) {
        icalcomponent_add_property(todo, instantProperty(make, *instant));
    }
}

// ---- date components --------------------------------------------------------------------------

bool representable(const DateComponents &c)
{
    if (!c.year || !c.month || !c.day || *c.year < 1 || *c.year > 9999 || (c.era && *c.era != 1)) {
        return false;
    }
    if (!QDate(*c.year, *c.month, *c.day).isValid()) {
        return false;
    }
    return QTime(c.hour.value_or(0), c.minute.value_or(0), c.second.value_or(0)).isValid();
}

QJsonValue componentsJson(const DateComponents &c)
{
    QJsonObject object;
    const auto put = [&object](const char *key, const std::optional<int> &value) {
        if (value) {
            object.insert(QLatin1String(key), *value);
        }
    };
    put("era", c.era);
    put("year", c.year);
    put("month", c.month);
    put("day", c.day);
    put("hour", c.hour);
    put("minute", c.minute);
    put("second", c.second);
    if (c.timeZone) {
        object.insert(u"zone"_s, *c.timeZone);
    }
    return object;
}

std::optional<DateComponents> componentsFromJson(const QJsonValue &value)
{
    if (!value.isObject()) {
        return std::nullopt;
    }
    const auto object = value.toObject();
    DateComponents c;
    bool ok = true;
    const auto get = [&](const char *key, std::optional<int> &field) {
        const auto v = object.value(QLatin1String(key));
        if (v.isUndefined()) {
            return;
        }
        if (!v.isDouble() || v.toDouble() != std::floor(v.toDouble())) {
            ok = false;
            return;
        }
        field = v.toInt();
    };
    get("era", c.era);
    get("year", c.year);
    get("month", c.month);
    get("day", c.day);
    get("hour", c.hour);
    get("minute", c.minute);
    get("second", c.second);
    const auto zone = object.value(u"zone"_s);
    if (zone.isString()) {
        c.timeZone = zone.toString();
    } else if (!zone.isUndefined()) {
        ok = false;
    }
    if (!ok || !representable(c)) {
        return std::nullopt;
    }
    return c;
}

using DateMaker = icalproperty *(*)(icaltimetype);
using DateGetter = icaltimetype (*)(const icalproperty *);

// The standard property for `c`: a date, a floating time, a time in a zone the library knows, or
// UTC. A zone on a date, or one the library does not know, shows only in the exact value.
icalproperty *standardDate(DateMaker make, const DateComponents &c)
{
    icaltimetype time = icaltime_null_time();
    time.year = *c.year;
    time.month = *c.month;
    time.day = *c.day;
    const bool timed = c.hasTimeOfDay();
    time.is_date = timed ? 0 : 1;
    QByteArray tzid;
    if (timed) {
        time.hour = c.hour.value_or(0);
        time.minute = c.minute.value_or(0);
        time.second = c.second.value_or(0);
        if (c.timeZone == u"UTC"_s) {
            time.zone = icaltimezone_get_utc_timezone();
        } else if (c.timeZone && icaltimezone_get_builtin_timezone(c.timeZone->toUtf8().constData())) {
            tzid = c.timeZone->toUtf8();
        }
    }
    auto *p = make(time);
    if (!tzid.isEmpty()) {
        icalproperty_add_parameter(p, icalparameter_new_tzid(tzid.constData()));
    }
    return p;
}

std::optional<DateComponents> standardComponents(icalproperty *p, DateGetter get)
{
    const icaltimetype time = get(p);
    if (icaltime_is_null_time(time)) {
        return std::nullopt;
    }
    DateComponents c;
    c.era = 1;
    c.year = time.year;
    c.month = time.month;
    c.day = time.day;
    if (!time.is_date) {
        c.hour = time.hour;
        c.minute = time.minute;
        c.second = time.second;
        if (icaltime_is_utc(time)) {
            c.timeZone = u"UTC"_s;
        }
    }
    if (!c.timeZone) {
        if (const char *tzid = icalproperty_get_parameter_as_string(p, "TZID")) {
            c.timeZone = ICalendarMapping::zoneId(tzid);
        }
    }
    return c;
}

std::optional<DateComponents> readDate(icalcomponent *todo, icalproperty_kind kind, DateGetter get, DateMaker make)
{
    auto *p = first(todo, kind);
    if (!p) {
        return std::nullopt;
    }
    const auto standard = standardComponents(p, get);
    if (!standard) {
        return std::nullopt;
    }
    return exactOr<DateComponents>(
        p, *standard, componentsFromJson, [make](const DateComponents &c) { return standardDate(make, c); });
}

void writeDate(
    icalcomponent *todo, icalproperty_kind kind, DateGetter get, DateMaker make, const std::optional<DateComponents> &c)
{
    removeProperties(todo, kind);
    if (!c) {
        return;
    }
    auto *p = standardDate(make, *c);
    if (standardComponents(p, get) != c) {
        setExact(p, componentsJson(*c));
    }
    icalcomponent_add_property(todo, p);
}

// The instant a timed date names: in its zone, or (floating) in the zone of this computer.
std::optional<QDateTime> instantOf(const DateComponents &c)
{
    if (!c.hasTimeOfDay() || !c.year || !c.month || !c.day) {
        return std::nullopt;
    }
    const QDate date(*c.year, *c.month, *c.day);
    const QTime clock(c.hour.value_or(0), c.minute.value_or(0), c.second.value_or(0));
    const QTimeZone zone = c.timeZone ? qtZone(*c.timeZone) : QTimeZone::systemTimeZone();
    if (!date.isValid() || !clock.isValid() || !zone.isValid()) {
        return std::nullopt;
    }
    return QDateTime(date, clock, zone);
}

// Whether writing `wanted` over `current` would change nothing but the zone the same instant is
// told in. The service knows no zones: a date it sends back is told in this computer's, and the
// zone another app chose stays.
bool sameDate(const std::optional<DateComponents> &current, const std::optional<DateComponents> &wanted)
{
    if (current == wanted) {
        return true;
    }
    if (!current || !wanted) {
        return false;
    }
    const auto a = instantOf(*current);
    const auto b = instantOf(*wanted);
    return a && b && *a == *b;
}

// ---- recurrence -------------------------------------------------------------------------------

QJsonValue intsJson(const std::optional<std::vector<int>> &values)
{
    if (!values) {
        return QJsonValue::Undefined;
    }
    QJsonArray array;
    for (int v : *values) {
        array.append(v);
    }
    return array;
}

QJsonValue ruleJson(const RecurrenceRule &rule)
{
    QJsonObject object {{u"frequency"_s, int(rule.frequency)}, {u"interval"_s, rule.interval},
        {u"firstDayOfTheWeek"_s, rule.firstDayOfTheWeek}};
    if (rule.daysOfTheWeek) {
        QJsonArray days;
        for (const auto &day : *rule.daysOfTheWeek) {
            days.append(QJsonArray {day.dayOfTheWeek, day.weekNumber});
        }
        object.insert(u"daysOfTheWeek"_s, days);
    }
    const auto put = [&object](const QString &key, const std::optional<std::vector<int>> &values) {
        if (values) {
            object.insert(key, intsJson(values));
        }
    };
    put(u"daysOfTheMonth"_s, rule.daysOfTheMonth);
    put(u"monthsOfTheYear"_s, rule.monthsOfTheYear);
    put(u"weeksOfTheYear"_s, rule.weeksOfTheYear);
    put(u"daysOfTheYear"_s, rule.daysOfTheYear);
    put(u"setPositions"_s, rule.setPositions);
    if (rule.end) {
        if (rule.end->endDate) {
            object.insert(u"endDate"_s, instantJson(*rule.end->endDate));
        } else {
            object.insert(u"occurrenceCount"_s, rule.end->occurrenceCount);
        }
    }
    return object;
}

bool isInt(const QJsonValue &v)
{
    return v.isDouble() && v.toDouble() == std::floor(v.toDouble()) && std::abs(v.toDouble()) < 1e9;
}

std::optional<RecurrenceRule> ruleFromJson(const QJsonValue &value)
{
    if (!value.isObject()) {
        return std::nullopt;
    }
    const auto object = value.toObject();
    RecurrenceRule rule;
    const auto frequency = object.value(u"frequency"_s);
    if (!isInt(frequency) || frequency.toInt() < 0 || frequency.toInt() > 3 || !isInt(object.value(u"interval"_s))
        || !isInt(object.value(u"firstDayOfTheWeek"_s))) {
        return std::nullopt;
    }
    rule.frequency = RecurrenceRule::Frequency(frequency.toInt());
    rule.interval = object.value(u"interval"_s).toInt();
    rule.firstDayOfTheWeek = object.value(u"firstDayOfTheWeek"_s).toInt();
    bool ok = true;
    if (const auto days = object.value(u"daysOfTheWeek"_s); days.isArray()) {
        rule.daysOfTheWeek.emplace();
        for (const auto &entry : days.toArray()) {
            const auto pair = entry.toArray();
            if (pair.size() != 2 || !isInt(pair[0]) || !isInt(pair[1])) {
                ok = false;
                break;
            }
            rule.daysOfTheWeek->push_back(RecurrenceDayOfWeek {pair[0].toInt(), pair[1].toInt()});
        }
    }
    const auto get = [&](const QString &key, std::optional<std::vector<int>> &field) {
        const auto v = object.value(key);
        if (v.isUndefined()) {
            return;
        }
        if (!v.isArray()) {
            ok = false;
            return;
        }
        field.emplace();
        for (const auto &entry : v.toArray()) {
            if (!isInt(entry)) {
                ok = false;
                return;
            }
            field->push_back(entry.toInt());
        }
    };
    get(u"daysOfTheMonth"_s, rule.daysOfTheMonth);
    get(u"monthsOfTheYear"_s, rule.monthsOfTheYear);
    get(u"weeksOfTheYear"_s, rule.weeksOfTheYear);
    get(u"daysOfTheYear"_s, rule.daysOfTheYear);
    get(u"setPositions"_s, rule.setPositions);
    if (const auto end = object.value(u"endDate"_s); !end.isUndefined()) {
        const auto date = instantFromJson(end);
        if (!date) {
            return std::nullopt;
        }
        rule.end = RecurrenceEnd::byDate(*date);
    } else if (const auto count = object.value(u"occurrenceCount"_s); !count.isUndefined()) {
        if (!isInt(count)) {
            return std::nullopt;
        }
        rule.end = RecurrenceEnd::byCount(count.toInt());
    }
    if (!ok) {
        return std::nullopt;
    }
    return rule;
}

// Copies the values the library can hold (nonzero, magnitude at most `high`, positive only when
// `signedValues` is false) into an ICAL_RECURRENCE_ARRAY_MAX-terminated array.
template <std::size_t N>
void fill(short (&target)[N], const std::optional<std::vector<int>> &values, int high, bool signedValues = true)
{
    std::size_t n = 0;
    if (values) {
        for (int v : *values) {
            if (n + 1 < N && v != 0 && std::abs(v) <= high && (signedValues || v > 0)) {
                target[n++] = short(v);
            }
        }
    }
    target[n] = ICAL_RECURRENCE_ARRAY_MAX;
}

template <std::size_t N> std::optional<std::vector<int>> listOf(const short (&source)[N])
{
    std::vector<int> values;
    for (std::size_t i = 0; i < N && source[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
        values.push_back(source[i]);
    }
    if (values.empty()) {
        return std::nullopt;
    }
    return values;
}

icalrecurrencetype standardRule(const RecurrenceRule &rule)
{
    icalrecurrencetype r;
    icalrecurrencetype_clear(&r);
    switch (rule.frequency) {
    case RecurrenceRule::Frequency::Daily:
        r.freq = ICAL_DAILY_RECURRENCE;
        break;
    case RecurrenceRule::Frequency::Weekly:
        r.freq = ICAL_WEEKLY_RECURRENCE;
        break;
    case RecurrenceRule::Frequency::Monthly:
        r.freq = ICAL_MONTHLY_RECURRENCE;
        break;
    case RecurrenceRule::Frequency::Yearly:
        r.freq = ICAL_YEARLY_RECURRENCE;
        break;
    }
    r.interval = short(qBound(1, rule.interval, 32767));
    std::size_t n = 0;
    if (rule.daysOfTheWeek) {
        for (const auto &day : *rule.daysOfTheWeek) {
            if (n + 1 < ICAL_BY_DAY_SIZE && day.dayOfTheWeek >= 1 && day.dayOfTheWeek <= 7
                && std::abs(day.weekNumber) <= 53) {
                // libical's encoding: the weekday plus eight times the position, signed like it.
                const int magnitude = day.dayOfTheWeek + 8 * std::abs(day.weekNumber);
                r.by_day[n++] = short(day.weekNumber < 0 ? -magnitude : magnitude);
            }
        }
    }
    r.by_day[n] = ICAL_RECURRENCE_ARRAY_MAX;
    fill(r.by_month_day, rule.daysOfTheMonth, 31);
    fill(r.by_month, rule.monthsOfTheYear, 12, false);
    fill(r.by_week_no, rule.weeksOfTheYear, 53);
    fill(r.by_year_day, rule.daysOfTheYear, 366);
    fill(r.by_set_pos, rule.setPositions, 366);
    if (rule.firstDayOfTheWeek >= 1 && rule.firstDayOfTheWeek <= 7) {
        r.week_start = icalrecurrencetype_weekday(rule.firstDayOfTheWeek);
    }
    if (rule.end && rule.end->endDate) {
        r.until = utcTime(*rule.end->endDate);
    } else if (rule.end && rule.end->occurrenceCount > 0) {
        r.count = rule.end->occurrenceCount;
    }
    return r;
}

// Through the library's text and back: how it stores the rule (days sorted, default week start
// left out), so that a rule is compared the way it will be read.
QByteArray normalisedRuleText(icalrecurrencetype rule)
{
    char *written = icalrecurrencetype_as_string_r(&rule);
    icalrecurrencetype parsed = icalrecurrencetype_from_string(written ? written : "");
    free(written);
    char *again = icalrecurrencetype_as_string_r(&parsed);
    QByteArray result(again ? again : "");
    free(again);
    return result;
}

icalproperty *standardRuleProperty(const RecurrenceRule &rule)
{
    icalrecurrencetype r = icalrecurrencetype_from_string(normalisedRuleText(standardRule(rule)).constData());
    return icalproperty_new_rrule(r);
}

// A rule as the library holds it; absent for frequencies a reminder cannot repeat at.
std::optional<RecurrenceRule> standardRuleOf(icalproperty *p)
{
    const icalrecurrencetype r = icalproperty_get_rrule(p);
    RecurrenceRule rule;
    switch (r.freq) {
    case ICAL_DAILY_RECURRENCE:
        rule.frequency = RecurrenceRule::Frequency::Daily;
        break;
    case ICAL_WEEKLY_RECURRENCE:
        rule.frequency = RecurrenceRule::Frequency::Weekly;
        break;
    case ICAL_MONTHLY_RECURRENCE:
        rule.frequency = RecurrenceRule::Frequency::Monthly;
        break;
    case ICAL_YEARLY_RECURRENCE:
        rule.frequency = RecurrenceRule::Frequency::Yearly;
        break;
    default:
        return std::nullopt;
    }
    rule.interval = qMax<int>(1, r.interval);
    std::vector<RecurrenceDayOfWeek> days;
    for (std::size_t i = 0; i < ICAL_BY_DAY_SIZE && r.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
        days.push_back(RecurrenceDayOfWeek {
            int(icalrecurrencetype_day_day_of_week(r.by_day[i])), icalrecurrencetype_day_position(r.by_day[i])});
    }
    if (!days.empty()) {
        rule.daysOfTheWeek = days;
    }
    rule.daysOfTheMonth = listOf(r.by_month_day);
    rule.monthsOfTheYear = listOf(r.by_month);
    rule.weeksOfTheYear = listOf(r.by_week_no);
    rule.daysOfTheYear = listOf(r.by_year_day);
    rule.setPositions = listOf(r.by_set_pos);
    if (r.week_start != ICAL_MONDAY_WEEKDAY && r.week_start != ICAL_NO_WEEKDAY) {
        rule.firstDayOfTheWeek = int(r.week_start);
    }
    if (!icaltime_is_null_time(r.until)) {
        if (const auto until = instantOf(r.until, nullptr)) {
            rule.end = RecurrenceEnd::byDate(*until);
        }
    } else if (r.count > 0) {
        rule.end = RecurrenceEnd::byCount(r.count);
    }
    return rule;
}

std::optional<RecurrenceRule> readRule(icalproperty *p)
{
    const auto standard = standardRuleOf(p);
    if (!standard) {
        return std::nullopt;
    }
    // The library's own text of the stored rule is what a rewrite is compared with.
    return exactOr<RecurrenceRule>(p, *standard, ruleFromJson, standardRuleProperty);
}

std::vector<RecurrenceRule> readRules(icalcomponent *todo)
{
    std::vector<RecurrenceRule> rules;
    for (auto *p : properties(todo, ICAL_RRULE_PROPERTY)) {
        if (auto rule = readRule(p)) {
            rules.push_back(*rule);
        }
    }
    for (auto *p : xProperties(todo, kMoreRules)) {
        const auto json = parseJson(QByteArray(icalproperty_get_x(p)));
        if (auto rule = json ? ruleFromJson(*json) : std::nullopt) {
            rules.push_back(*rule);
        }
    }
    return rules;
}

void writeRules(icalcomponent *todo, const std::vector<RecurrenceRule> &rules)
{
    removeProperties(todo, ICAL_RRULE_PROPERTY);
    removeX(todo, kMoreRules);
    for (std::size_t i = 0; i < rules.size(); ++i) {
        if (i == 0) {
            auto *p = standardRuleProperty(rules[0]);
            if (standardRuleOf(p) != rules[0]) {
                setExact(p, ruleJson(rules[0]));
            }
            icalcomponent_add_property(todo, p);
        } else {
            addX(todo, kMoreRules, compactJson(ruleJson(rules[i])));
        }
    }
}

// ---- alarms -----------------------------------------------------------------------------------

QJsonValue alarmJson(const ReminderAlarm &alarm)
{
    QJsonObject object {{u"offset"_s, alarm.relativeOffset}};
    if (alarm.absoluteDate) {
        object.insert(u"date"_s, instantJson(*alarm.absoluteDate));
    }
    if (alarm.proximity != ReminderAlarm::Proximity::None) {
        object.insert(u"proximity"_s, alarm.proximity == ReminderAlarm::Proximity::Enter ? u"enter"_s : u"leave"_s);
    }
    if (const auto &place = alarm.structuredLocation) {
        QJsonObject location {{u"radius"_s, place->radius}};
        if (place->title) {
            location.insert(u"title"_s, *place->title);
        }
        if (place->geoLocation) {
            location.insert(u"latitude"_s, place->geoLocation->latitude);
            location.insert(u"longitude"_s, place->geoLocation->longitude);
        }
        object.insert(u"location"_s, location);
    }
    return object;
}

std::optional<ReminderAlarm> alarmFromJson(const QJsonValue &value)
{
    if (!value.isObject()) {
        return std::nullopt;
    }
    const auto object = value.toObject();
    ReminderAlarm alarm;
    if (!object.value(u"offset"_s).isDouble()) {
        return std::nullopt;
    }
    alarm.relativeOffset = object.value(u"offset"_s).toDouble();
    if (const auto date = object.value(u"date"_s); !date.isUndefined()) {
        alarm.absoluteDate = instantFromJson(date);
        if (!alarm.absoluteDate) {
            return std::nullopt;
        }
    }
    const auto proximity = object.value(u"proximity"_s).toString();
    alarm.proximity = proximity == u"enter"_s ? ReminderAlarm::Proximity::Enter
        : proximity == u"leave"_s             ? ReminderAlarm::Proximity::Leave
                                              : ReminderAlarm::Proximity::None;
    if (const auto location = object.value(u"location"_s); location.isObject()) {
        const auto place = location.toObject();
        StructuredLocation structured;
        structured.radius = place.value(u"radius"_s).toDouble();
        if (place.value(u"title"_s).isString()) {
            structured.title = place.value(u"title"_s).toString();
        }
        if (place.value(u"latitude"_s).isDouble() && place.value(u"longitude"_s).isDouble()) {
            structured.geoLocation = StructuredLocation::Coordinate {
                place.value(u"latitude"_s).toDouble(), place.value(u"longitude"_s).toDouble()};
        }
        alarm.structuredLocation = structured;
    }
    return alarm;
}

icalproperty *standardTrigger(const ReminderAlarm &alarm)
{
    icaltriggertype trigger;
    if (alarm.absoluteDate) {
        trigger.time = utcTime(*alarm.absoluteDate);
        trigger.duration = icaldurationtype_null_duration();
        auto *p = icalproperty_new_trigger(trigger);
        icalproperty_add_parameter(p, icalparameter_new_value(ICAL_VALUE_DATETIME));
        return p;
    }
    // Offsets count from the due date, as the reminder's do.
    trigger = icaltriggertype_from_int(int(std::trunc(alarm.relativeOffset)));
    auto *p = icalproperty_new_trigger(trigger);
    icalproperty_add_parameter(p, icalparameter_new_related(ICAL_RELATED_END));
    return p;
}

std::optional<ReminderAlarm> standardAlarm(icalproperty *trigger)
{
    const icaltriggertype value = icalproperty_get_trigger(trigger);
    if (!icaltime_is_null_time(value.time)) {
        const auto date = instantOf(value.time, trigger);
        if (!date) {
            return std::nullopt;
        }
        return ReminderAlarm::atDate(*date);
    }
    return ReminderAlarm::atOffset(icaldurationtype_as_int(value.duration));
}

std::optional<std::vector<ReminderAlarm>> readAlarms(icalcomponent *todo)
{
    std::vector<ReminderAlarm> plain;
    for (auto *valarm = icalcomponent_get_first_component(todo, ICAL_VALARM_COMPONENT); valarm;
         valarm = icalcomponent_get_next_component(todo, ICAL_VALARM_COMPONENT)) {
        auto *trigger = first(valarm, ICAL_TRIGGER_PROPERTY);
        if (!trigger) {
            continue;
        }
        if (const auto standard = standardAlarm(trigger)) {
            plain.push_back(exactOr<ReminderAlarm>(trigger, *standard, alarmFromJson, standardTrigger));
        }
    }
    std::vector<std::pair<qsizetype, ReminderAlarm>> placed;
    for (auto *p : xProperties(todo, kLocationAlarm)) {
        const auto json = parseJson(QByteArray(icalproperty_get_x(p)));
        if (!json || !json->isObject()) {
            continue;
        }
        if (auto alarm = alarmFromJson(json->toObject().value(u"alarm"_s))) {
            placed.emplace_back(json->toObject().value(u"index"_s).toInteger(-1), *alarm);
        }
    }
    if (plain.empty() && placed.empty()) {
        if (xProperties(todo, kNoAlarms).empty()) {
            return std::nullopt;
        }
        return std::vector<ReminderAlarm> {};
    }
    // Location alarms go back to where they stood; the others fill the gaps in their order.
    const auto total = qsizetype(plain.size()) + qsizetype(placed.size());
    std::vector<std::optional<ReminderAlarm>> slots(static_cast<std::size_t>(total));
    std::vector<ReminderAlarm> unplaced;
    for (auto &[index, alarm] : placed) {
        if (index >= 0 && index < total && !slots[std::size_t(index)]) {
            slots[std::size_t(index)] = alarm;
        } else {
            unplaced.push_back(alarm);
        }
    }
    std::size_t next = 0;
    std::vector<ReminderAlarm> result;
    for (auto &slot : slots) {
        if (!slot && next < plain.size()) {
            slot = plain[next++];
        }
        if (slot) {
            result.push_back(*slot);
        }
    }
    result.insert(result.end(), unplaced.begin(), unplaced.end());
    return result;
}

// The alarm a VALARM holds, when it holds one.
std::optional<ReminderAlarm> alarmOf(icalcomponent *valarm)
{
    auto *trigger = first(valarm, ICAL_TRIGGER_PROPERTY);
    if (!trigger) {
        return std::nullopt;
    }
    const auto standard = standardAlarm(trigger);
    if (!standard) {
        return std::nullopt;
    }
    return exactOr<ReminderAlarm>(trigger, *standard, alarmFromJson, standardTrigger);
}

void writeAlarms(icalcomponent *todo, const std::optional<std::vector<ReminderAlarm>> &alarms, const QString &title)
{
    // A VALARM that still holds a wanted alarm stays as its app wrote it (its description, its
    // action, its own properties); only the others go, and only new alarms are written anew.
    std::vector<std::pair<icalcomponent *, std::optional<ReminderAlarm>>> old;
    for (auto *valarm = icalcomponent_get_first_component(todo, ICAL_VALARM_COMPONENT); valarm;
         valarm = icalcomponent_get_next_component(todo, ICAL_VALARM_COMPONENT)) {
        old.emplace_back(valarm, alarmOf(valarm));
    }
    for (auto &[valarm, alarm] : old) {
        icalcomponent_remove_component(todo, valarm);
    }
    const auto reuse = [&old](const ReminderAlarm &alarm) -> icalcomponent * {
        for (auto &[valarm, held] : old) {
            if (valarm && held == alarm) {
                return std::exchange(valarm, nullptr);
            }
        }
        return nullptr;
    };
    // What holds no alarm of ours (no trigger we read) is another app's and goes back.
    const auto freeUnused = [&old, todo] {
        for (auto &[valarm, held] : old) {
            if (valarm && held) {
                icalcomponent_free(valarm);
            } else if (valarm) {
                icalcomponent_add_component(todo, valarm);
            }
        }
    };
    removeX(todo, kLocationAlarm);
    removeX(todo, kNoAlarms);
    if (!alarms) {
        freeUnused();
        return;
    }
    if (alarms->empty()) {
        addX(todo, kNoAlarms, "TRUE");
        freeUnused();
        return;
    }
    for (std::size_t i = 0; i < alarms->size(); ++i) {
        const auto &alarm = (*alarms)[i];
        if (alarm.structuredLocation) {
            // Task apps have no place-based alarm; a VALARM with a made-up trigger would fire.
            addX(todo, kLocationAlarm,
                compactJson(QJsonObject {{u"index"_s, qint64(i)}, {u"alarm"_s, alarmJson(alarm)}}));
            continue;
        }
        if (auto *kept = reuse(alarm)) {
            icalcomponent_add_component(todo, kept);
            continue;
        }
        auto *valarm = icalcomponent_new(ICAL_VALARM_COMPONENT);
        icalcomponent_add_property(valarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
        icalcomponent_add_property(
            valarm, icalproperty_new_description(title.isEmpty() ? "Reminder" : title.toUtf8().constData()));
        auto *trigger = standardTrigger(alarm);
        if (standardAlarm(trigger) != alarm) {
            setExact(trigger, alarmJson(alarm));
        }
        icalcomponent_add_property(valarm, trigger);
        icalcomponent_add_component(todo, valarm);
    }
    freeUnused();
}

// ---- plain fields -----------------------------------------------------------------------------

void writeText(icalcomponent *todo, icalproperty_kind kind, icalproperty *(*make)(const char *),
    const std::optional<QString> &value)
{
    // A new value goes into the property where it stands, keeping its parameters (a language,
    // an alternative text) and its place among the others.
    auto *existing = first(todo, kind);
    if (existing && value && !value->isEmpty()) {
        auto *fresh = make(value->toUtf8().constData());
        icalproperty_set_value(existing, icalvalue_new_clone(icalproperty_get_value(fresh)));
        icalproperty_free(fresh);
        for (auto *extra : properties(todo, kind)) {
            if (extra != existing) {
                icalcomponent_remove_property(todo, extra);
                icalproperty_free(extra);
            }
        }
        return;
    }
    removeProperties(todo, kind);
    if (value && !value->isEmpty()) {
        icalcomponent_add_property(todo, make(value->toUtf8().constData()));
    }
}

std::optional<QString> readText(icalcomponent *todo, icalproperty_kind kind)
{
    auto *p = first(todo, kind);
    if (!p) {
        return std::nullopt;
    }
    const char *value
        = kind == ICAL_URL_PROPERTY ? icalproperty_get_url(p) : icalvalue_get_text(icalproperty_get_value(p));
    if (!value) {
        return std::nullopt;
    }
    return QString::fromUtf8(value);
}

std::optional<QString> readX(icalcomponent *todo, const char *name)
{
    const auto found = xProperties(todo, name);
    if (found.empty()) {
        return std::nullopt;
    }
    return text(icalproperty_get_x(found.front()));
}

void writeX(icalcomponent *todo, const char *name, const std::optional<QString> &value)
{
    removeX(todo, name);
    if (value) {
        addX(todo, name, value->toUtf8());
    }
}

bool readCompleted(icalcomponent *todo)
{
    if (auto *status = first(todo, ICAL_STATUS_PROPERTY)) {
        return icalproperty_get_status(status) == ICAL_STATUS_COMPLETED;
    }
    auto *percent = first(todo, ICAL_PERCENTCOMPLETE_PROPERTY);
    return first(todo, ICAL_COMPLETED_PROPERTY) || (percent && icalproperty_get_percentcomplete(percent) >= 100);
}

void writeCompletion(icalcomponent *todo, bool completed, const std::optional<QDateTime> &completionDate)
{
    removeProperties(todo, ICAL_STATUS_PROPERTY);
    removeProperties(todo, ICAL_COMPLETED_PROPERTY);
    removeProperties(todo, ICAL_PERCENTCOMPLETE_PROPERTY);
    if (!completed) {
        icalcomponent_add_property(todo, icalproperty_new_status(ICAL_STATUS_NEEDSACTION));
        return;
    }
    icalcomponent_add_property(todo, icalproperty_new_status(ICAL_STATUS_COMPLETED));
    icalcomponent_add_property(todo, icalproperty_new_percentcomplete(100));
    if (completionDate) {
        icalcomponent_add_property(todo, instantProperty(icalproperty_new_completed, *completionDate));
    }
}

// The text as another app wrote it; one that does not read as a URL is no reminder URL (and stays in
// the task, since only changed fields are written back).
std::optional<QString> readUrl(icalcomponent *todo)
{
    auto value = readText(todo, ICAL_URL_PROPERTY);
    if (!value || value->isEmpty() || !Reminder::isUrl(*value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace

QString ICalendarMapping::zoneId(const char *tzid)
{
    if (!tzid || !*tzid) {
        return {};
    }
    if (icaltimezone_get_builtin_timezone(tzid)) {
        return QString::fromUtf8(tzid);
    }
    if (auto *zone = icaltimezone_get_builtin_timezone_from_tzid(tzid)) {
        if (const char *location = icaltimezone_get_location(zone)) {
            return QString::fromUtf8(location);
        }
    }
    return QString::fromUtf8(tzid);
}

Reminder ICalendarMapping::read(icalcomponent *todo)
{
    Reminder reminder;
    reminder.id = text(icalcomponent_get_uid(todo));
    reminder.externalId = readX(todo, kExternalId).value_or(reminder.id);
    reminder.title = readText(todo, ICAL_SUMMARY_PROPERTY).value_or(QString());
    reminder.notes = readText(todo, ICAL_DESCRIPTION_PROPERTY);
    reminder.url = readUrl(todo);
    reminder.startDateComponents
        = readDate(todo, ICAL_DTSTART_PROPERTY, icalproperty_get_dtstart, icalproperty_new_dtstart);
    reminder.dueDateComponents = readDate(todo, ICAL_DUE_PROPERTY, icalproperty_get_due, icalproperty_new_due);
    reminder.timeZone = readX(todo, kTimeZone);
    if (auto *priority = first(todo, ICAL_PRIORITY_PROPERTY)) {
        const int value = icalproperty_get_priority(priority);
        reminder.priority = value >= 0 && value <= 9 ? value : 0;
    }
    reminder.completed = readCompleted(todo);
    if (reminder.completed) {
        reminder.completionDate
            = readInstant(todo, ICAL_COMPLETED_PROPERTY, icalproperty_get_completed, icalproperty_new_completed);
    }
    reminder.alarms = readAlarms(todo);
    reminder.recurrenceRules = readRules(todo);
    reminder.creationDate
        = readInstant(todo, ICAL_CREATED_PROPERTY, icalproperty_get_created, icalproperty_new_created);
    reminder.lastModifiedDate
        = readInstant(todo, ICAL_LASTMODIFIED_PROPERTY, icalproperty_get_lastmodified, icalproperty_new_lastmodified);
    return reminder;
}

ICalComponentPtr ICalendarMapping::create(const Reminder &reminder)
{
    ICalComponentPtr todo(icalcomponent_new(ICAL_VTODO_COMPONENT));
    icalcomponent_set_uid(todo.get(), reminder.id.toUtf8().constData());
    update(todo.get(), reminder);
    return todo;
}

bool ICalendarMapping::update(icalcomponent *todo, const Reminder &reminder)
{
    const Reminder current = read(todo);
    bool changed = false;
    const auto whenDifferent = [&changed](bool differs, const std::function<void()> &write) {
        if (differs) {
            write();
            changed = true;
        }
    };
    const auto externalId
        = reminder.externalId && *reminder.externalId != reminder.id ? reminder.externalId : std::optional<QString>();
    whenDifferent(current.externalId != reminder.externalId.value_or(reminder.id),
        [&] { writeX(todo, kExternalId, externalId); });
    whenDifferent(current.title != reminder.title,
        [&] { writeText(todo, ICAL_SUMMARY_PROPERTY, icalproperty_new_summary, reminder.title); });
    whenDifferent(current.notes != reminder.notes,
        [&] { writeText(todo, ICAL_DESCRIPTION_PROPERTY, icalproperty_new_description, reminder.notes); });
    whenDifferent(
        current.url != reminder.url, [&] { writeText(todo, ICAL_URL_PROPERTY, icalproperty_new_url, reminder.url); });
    whenDifferent(!sameDate(current.startDateComponents, reminder.startDateComponents), [&] {
        writeDate(todo, ICAL_DTSTART_PROPERTY, icalproperty_get_dtstart, icalproperty_new_dtstart,
            reminder.startDateComponents);
    });
    whenDifferent(!sameDate(current.dueDateComponents, reminder.dueDateComponents), [&] {
        writeDate(todo, ICAL_DUE_PROPERTY, icalproperty_get_due, icalproperty_new_due, reminder.dueDateComponents);
    });
    whenDifferent(current.timeZone != reminder.timeZone, [&] { writeX(todo, kTimeZone, reminder.timeZone); });
    whenDifferent(current.priority != reminder.priority, [&] {
        removeProperties(todo, ICAL_PRIORITY_PROPERTY);
        if (reminder.priority != 0) {
            icalcomponent_add_property(todo, icalproperty_new_priority(reminder.priority));
        }
    });
    const auto completionDate = reminder.completed ? reminder.completionDate : std::nullopt;
    whenDifferent(current.completed != reminder.completed || current.completionDate != completionDate,
        [&] { writeCompletion(todo, reminder.completed, completionDate); });
    whenDifferent(current.alarms != reminder.alarms, [&] { writeAlarms(todo, reminder.alarms, reminder.title); });
    whenDifferent(
        current.recurrenceRules != reminder.recurrenceRules, [&] { writeRules(todo, reminder.recurrenceRules); });
    whenDifferent(current.creationDate != reminder.creationDate,
        [&] { writeInstant(todo, ICAL_CREATED_PROPERTY, icalproperty_new_created, reminder.creationDate); });
    whenDifferent(current.lastModifiedDate != reminder.lastModifiedDate, [&] {
        writeInstant(todo, ICAL_LASTMODIFIED_PROPERTY, icalproperty_new_lastmodified, reminder.lastModifiedDate);
    });
    return changed;
}

std::optional<QString> ICalendarMapping::unstorableReason(const Reminder &reminder)
{
    const auto instant = [](const std::optional<QDateTime> &date) { return !date || representable(*date); };
    if (reminder.startDateComponents && !representable(*reminder.startDateComponents)) {
        return u"the start date is no calendar date"_s;
    }
    if (reminder.dueDateComponents && !representable(*reminder.dueDateComponents)) {
        return u"the due date is no calendar date"_s;
    }
    if (!instant(reminder.completionDate) || !instant(reminder.creationDate) || !instant(reminder.lastModifiedDate)) {
        return u"a date lies outside the years 1 to 9999"_s;
    }
    if (reminder.alarms) {
        for (const auto &alarm : *reminder.alarms) {
            if (!instant(alarm.absoluteDate) || !std::isfinite(alarm.relativeOffset)
                || std::abs(alarm.relativeOffset) > kMaxOffsetSeconds) {
                return u"an alarm's date or offset is out of range"_s;
            }
        }
    }
    for (const auto &rule : reminder.recurrenceRules) {
        if (rule.end && !instant(rule.end->endDate)) {
            return u"a recurrence ends outside the years 1 to 9999"_s;
        }
    }
    return std::nullopt;
}

} // namespace quorvin
