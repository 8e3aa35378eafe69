#include "reminders/ReminderMapper.h"

#include "model/Digest.h"
#include "model/ReminderFingerprint.h"
#include "platform/core/UnicodeText.h"
#include "reminders/RecurrenceRuleMapping.h"
#include "reminders/RecurrenceSummaryGrammar.h"
#include "reminders/ReminderFingerprintComposer.h"
#include "reminders/Strings.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

namespace ReminderFingerprint {

QString make(const std::optional<QString> &listName, const std::optional<QString> &title,
    const std::optional<QString> &notes, const std::optional<QDateTime> &dueDate,
    const std::optional<QDateTime> &completionDate, std::optional<qint64> priority, bool isCompleted)
{
    const QStringList parts = {
        normalizeText(listName),
        normalizeText(title),
        normalizeText(notes),
        canonicalDate(dueDate),
        canonicalDate(completionDate),
        priority && *priority >= 1 && *priority <= 9 ? QString::number(*priority) : QString(),
        isCompleted ? u"1"_s : u"0"_s,
    };
    return sha256Hex(parts.join(u'|'));
}

} // namespace ReminderFingerprint

namespace {

QString sourceTypeName(ReminderSource::Kind kind)
{
    switch (kind) {
    case ReminderSource::Kind::Local:
        return u"local"_s;
    case ReminderSource::Kind::Exchange:
        return u"exchange"_s;
    case ReminderSource::Kind::CalDAV:
        return u"calDAV"_s;
    case ReminderSource::Kind::MobileMe:
        return u"mobileMe"_s;
    case ReminderSource::Kind::Subscribed:
        return u"subscribed"_s;
    case ReminderSource::Kind::Birthdays:
        return u"birthdays"_s;
    }
    return u"unknown"_s;
}

} // namespace

ReminderMapper::ReminderMapper(GregorianCalendar calendar, DiagnosticSink diagnostics)
    : m_calendar(std::move(calendar))
    , m_china(GregorianCalendar::china(m_calendar.timeZone()))
    , m_diagnostics(std::move(diagnostics))
{
}

void ReminderMapper::emitRepeatDiagnostic(const QString &line) const
{
    // The line quotes a title from the cloud or another app; it reaches the terminal inert.
    const QString safe = UnicodeText::escapingControlCharacters(line);
    const QByteArray bytes = safe.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
    if (m_diagnostics) {
        m_diagnostics(safe);
    }
}

bool ReminderMapper::isChinaMidnight(const QDateTime &date) const
{
    const QTime time = m_china.localTime(date);
    return time.hour() == 0 && time.minute() == 0 && time.second() == 0;
}

RecurrenceInfo ReminderMapper::recurrenceInfo(const Reminder &reminder, bool emitDiagnostics) const
{
    const auto &rules = reminder.recurrenceRules;
    if (rules.empty()) {
        return {};
    }
    const QString title = reminder.title.isNull() ? RemindersText::valueNil : reminder.title;
    if (rules.size() == 1) {
        const RecurrenceRule &rule = rules.front();
        RecurrenceInfo info {recurrenceTypeString(rule), recurrenceSummaryString(rule)};
        if (emitDiagnostics) {
            const bool worthLogging = (rule.monthsOfTheYear && !rule.monthsOfTheYear->empty())
                || (rule.daysOfTheMonth && !rule.daysOfTheMonth->empty())
                || (rule.setPositions && !rule.setPositions->empty())
                || (rule.daysOfTheWeek
                    && std::any_of(rule.daysOfTheWeek->begin(), rule.daysOfTheWeek->end(),
                        [](const auto &day) { return day.weekNumber != 0; }))
                || (rule.weeksOfTheYear && !rule.weeksOfTheYear->empty())
                || (rule.daysOfTheYear && !rule.daysOfTheYear->empty())
                || structuredRecurrenceSummary(rule).has_value();
            if (worthLogging) {
                emitRepeatDiagnostic(RemindersText::repeatPrefix + u"recurrenceInfo local_id="_s + reminder.id
                    + u" title="_s + title + u" derived_type="_s + *info.type + u" derived_summary="_s + *info.summary
                    + u" raw="_s + recurrenceDebugDescriptor(rule));
            }
        }
        return info;
    }
    if (emitDiagnostics) {
        QStringList descriptors;
        for (const auto &rule : rules) {
            descriptors.append(recurrenceDebugDescriptor(rule));
        }
        emitRepeatDiagnostic(RemindersText::repeatPrefix + u"recurrenceInfo local_id="_s + reminder.id + u" title="_s
            + title + u" multiple_rules="_s + descriptors.join(u" || "_s));
    }
    return {u"custom"_s, RemindersText::summaryCustom};
}

std::optional<ReminderPayload> ReminderMapper::mapReminder(
    const Reminder &reminder, const Placement &placement, bool emitDiagnostics) const
{
    if (reminder.id.isEmpty()) {
        return std::nullopt;
    }
    const auto readDate
        = [&](const std::optional<DateComponents> &components, bool &hasTime) -> std::optional<QDateTime> {
        hasTime = components && components->hasTimeOfDay();
        if (!components) {
            return std::nullopt;
        }
        return m_calendar.date(*components);
    };
    bool hasStartTime = false;
    bool hasDueTime = false;
    std::optional<QDateTime> start = readDate(reminder.startDateComponents, hasStartTime);
    const std::optional<QDateTime> due = readDate(reminder.dueDateComponents, hasDueTime);
    if (start && due && hasStartTime && !hasDueTime && isChinaMidnight(*start) && m_china.isSameDay(*start, *due)) {
        start.reset();
        hasStartTime = false;
    }

    const std::optional<QString> listName = placement.list ? std::optional(placement.list->title) : std::nullopt;
    std::optional<qint64> priority;
    if (reminder.priority >= 1 && reminder.priority <= 9) {
        priority = reminder.priority;
    }

    ReminderPayload payload;
    payload.schema_version = 2;
    payload.source = RemindersText::source;
    payload.source_item_id = reminder.id;
    payload.source_external_id = reminder.externalId;
    payload.created_at = ReminderPayload::isoString(reminder.creationDate);
    payload.updated_at = ReminderPayload::isoString(reminder.lastModifiedDate);
    payload.local_id = reminder.id;
    payload.external_id = reminder.externalId;
    if (placement.list) {
        payload.list_id = placement.list->id;
        payload.list_name = placement.list->title;
    }
    payload.title = reminder.title.isNull() ? u""_s : reminder.title;
    payload.notes = reminder.notes;
    payload.fingerprint = ReminderFingerprint::make(
        listName, reminder.title, reminder.notes, due, reminder.completionDate, priority, reminder.completed);
    payload.start_date = ReminderPayload::isoString(start);
    payload.has_start_time = hasStartTime;
    payload.due_date = ReminderPayload::isoString(due);
    payload.has_due_time = hasDueTime;
    payload.is_floating_time = false;
    payload.url = reminder.url;
    if (!reminder.completed) {
        const RecurrenceInfo info = recurrenceInfo(reminder, emitDiagnostics);
        payload.repeat_type = info.type;
        payload.repeat_summary = info.summary;
        if (!reminder.recurrenceRules.empty()) {
            payload.recurrence_rule = mapRecurrenceRule(reminder.recurrenceRules.front());
        }
    }
    payload.alarms = mapAlarms(reminder.alarms);
    auto &rawSummary = placement.rawSummaries.at(reminder.externalId && !reminder.externalId->isEmpty() ? 1 : 0);
    if (!rawSummary) {
        rawSummary = rawApplePayloadSummary(reminder, placement);
    }
    payload.raw_apple_payload_json = *rawSummary;
    payload.unsupported_fields_json = unsupportedFieldsSummary(reminder);
    payload.priority = priority;
    const QList<QString> tags = extractTags(reminder);
    if (!tags.isEmpty()) {
        payload.tags = tags;
    }
    payload.is_completed = reminder.completed;
    payload.completion_date = ReminderPayload::isoString(reminder.completionDate);
    payload.last_modified = ReminderPayload::isoString(reminder.lastModifiedDate);
    return payload.withContentHash();
}

std::vector<ReminderListDirectoryPayload> ReminderMapper::mapLists(const std::vector<ReminderList> &lists) const
{
    std::vector<ReminderListDirectoryPayload> result;
    for (const ReminderList &list : lists) {
        const QString id = list.id.trimmed();
        if (id.isEmpty()) {
            continue;
        }
        const QString title = list.title.trimmed();
        ReminderListDirectoryPayload payload;
        payload.list_id = id;
        payload.list_name = title.isEmpty() ? RemindersText::unnamedList : title;
        payload.source = RemindersText::source;
        payload.source_list_id = id;
        result.push_back(std::move(payload));
    }
    return result;
}

QList<QString> ReminderMapper::extractTags(const Reminder &reminder)
{
    QStringList parts;
    if (!reminder.title.isNull()) {
        parts.append(reminder.title);
    }
    if (reminder.notes) {
        parts.append(*reminder.notes);
    }
    const QString text = parts.join(u'\n');
    if (text.isEmpty() || !text.contains(u'#')) {
        return {};
    }
    static const QRegularExpression pattern(RemindersText::tagPattern, QRegularExpression::UseUnicodePropertiesOption);
    if (!pattern.isValid()) {
        return {};
    }
    QList<QString> tags;
    QSet<QString> seen;
    auto matches = pattern.globalMatch(text);
    while (matches.hasNext()) {
        const auto match = matches.next();
        const QString tag = match.captured(1).trimmed();
        if (tag.isEmpty()) {
            continue;
        }
        const QString lower = tag.toLower();
        if (!seen.contains(lower)) {
            seen.insert(lower);
            tags.append(tag);
        }
    }
    return tags;
}

std::optional<QList<ReminderAlarmPayload>> ReminderMapper::mapAlarms(
    const std::optional<std::vector<ReminderAlarm>> &alarms)
{
    if (!alarms) {
        return std::nullopt;
    }
    QList<ReminderAlarmPayload> result;
    int position = 0;
    for (const ReminderAlarm &alarm : *alarms) {
        ++position;
        ReminderAlarmPayload payload;
        payload.alarm_id = RemindersText::alarmIdPrefix + QString::number(position);
        if (alarm.structuredLocation) {
            payload.kind = u"location"_s;
        } else if (alarm.absoluteDate) {
            payload.kind = u"absolute"_s;
        } else {
            payload.kind = u"relative"_s;
        }
        payload.absolute_date = ReminderPayload::isoString(alarm.absoluteDate);
        if (payload.kind != u"absolute"_s) {
            payload.relative_offset_seconds = alarm.relativeOffset;
        }
        if (alarm.proximity == ReminderAlarm::Proximity::Enter) {
            payload.proximity = u"enter"_s;
        } else if (alarm.proximity == ReminderAlarm::Proximity::Leave) {
            payload.proximity = u"leave"_s;
        }
        payload.location = mapAlarmLocation(alarm.structuredLocation);
        result.append(std::move(payload));
    }
    return result;
}

std::optional<ReminderAlarmLocationPayload> ReminderMapper::mapAlarmLocation(
    const std::optional<StructuredLocation> &location)
{
    if (!location) {
        return std::nullopt;
    }
    ReminderAlarmLocationPayload payload;
    payload.title = location->title;
    if (location->geoLocation) {
        payload.latitude = location->geoLocation->latitude;
        payload.longitude = location->geoLocation->longitude;
    }
    payload.radius_meters = location->radius;
    return payload;
}

JSONObject ReminderMapper::rawApplePayloadSummary(const Reminder &reminder, const Placement &placement)
{
    const auto flag = [](bool value) { return value ? u"true"_s : u"false"_s; };
    return JSONValue::stringMap({
        {u"calendar_item_identifier_present"_s, flag(!reminder.id.isEmpty())},
        {u"external_identifier_present"_s, flag(reminder.externalId && !reminder.externalId->isEmpty())},
        {u"calendar_identifier_present"_s, flag(placement.list && !placement.list->id.isEmpty())},
        {u"source_title"_s, placement.source ? placement.source->title : u""_s},
        {u"source_type"_s, placement.source ? sourceTypeName(placement.source->kind) : u""_s},
    });
}

std::optional<JSONObject> ReminderMapper::unsupportedFieldsSummary(const Reminder &reminder)
{
    QMap<QString, QString> summary;
    if (reminder.recurrenceRules.size() >= 2) {
        summary.insert(u"recurrence_rule_count"_s, QString::number(reminder.recurrenceRules.size()));
    }
    if (reminder.alarms) {
        for (const ReminderAlarm &alarm : *reminder.alarms) {
            if (alarm.structuredLocation) {
                summary.insert(u"location_alarms"_s, u"best_effort"_s);
                break;
            }
        }
    }
    if (summary.isEmpty()) {
        return std::nullopt;
    }
    return JSONValue::stringMap(summary);
}

} // namespace quorvin
