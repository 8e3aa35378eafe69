#include "reminders/ReminderMonitor.h"

#include "model/DateFormatters.h"
#include "model/SyncError.h"
#include "reminders/RecurrenceRuleMapping.h"
#include "reminders/RecurrenceSummaryGrammar.h"
#include "reminders/Strings.h"

#include <QStringList>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

namespace {

constexpr int kMaxRecurrenceSteps = 4096;

std::optional<QString> trimmedOrNone(const std::optional<QString> &text)
{
    if (!text) {
        return std::nullopt;
    }
    const QString trimmed = text->trimmed();
    if (trimmed.isEmpty()) {
        return std::nullopt;
    }
    return trimmed;
}

// The trimmed text when it reads as a URL. The text is kept as written: parsing only checks it.
std::optional<QString> urlText(const std::optional<QString> &text)
{
    auto trimmed = trimmedOrNone(text);
    if (!trimmed || !Reminder::isUrl(*trimmed)) {
        return std::nullopt;
    }
    return trimmed;
}

bool dateComponentsMatch(const std::optional<DateComponents> &a, const std::optional<DateComponents> &b)
{
    if (!a && !b) {
        return true;
    }
    if (!a || !b) {
        return false;
    }
    if (a->year != b->year || a->month != b->month || a->day != b->day) {
        return false;
    }
    const bool aTime = a->hasTimeOfDay();
    const bool bTime = b->hasTimeOfDay();
    if (aTime != bTime) {
        return false;
    }
    if (!aTime) {
        return true;
    }
    return a->hour == b->hour && a->minute == b->minute && a->second.value_or(0) == b->second.value_or(0);
}

QString numberText(const std::optional<double> &value)
{
    return value ? QString::number(*value, 'g', 17) : QString();
}

QString alarmSignature(const ReminderAlarmPayload &alarm)
{
    const auto &location = alarm.location;
    return QStringList {
        alarm.kind,
        alarm.absolute_date.value_or(QString()),
        numberText(alarm.relative_offset_seconds),
        alarm.proximity.value_or(QString()),
        location ? location->title.value_or(QString()) : QString(),
        location ? numberText(location->latitude) : QString(),
        location ? numberText(location->longitude) : QString(),
        location ? numberText(location->radius_meters) : QString(),
        alarm.source_alarm_id.value_or(QString()),
    }
        .join(u'|');
}

QStringList alarmSignatures(const std::optional<std::vector<ReminderAlarm>> &alarms)
{
    QStringList signatures;
    if (const auto payloads = ReminderMapper::mapAlarms(alarms)) {
        for (const auto &alarm : *payloads) {
            signatures.append(alarmSignature(alarm));
        }
    }
    return signatures;
}

// An absolute alarm stands on its own: it survives whatever the due date (another app may set one
// at any time, and dropping it here would delete it on the desktop and then on the service).
// Relative and location alarms need a timed due date to count from.
std::optional<QList<ReminderAlarmPayload>> reminderAlarmsAlignedWithDueDate(
    const std::optional<QList<ReminderAlarmPayload>> &alarms, const std::optional<DateComponents> &desiredDue,
    const GregorianCalendar &calendar)
{
    if (!alarms) {
        return std::nullopt;
    }
    const bool timedDue = desiredDue && desiredDue->hasTimeOfDay() && calendar.date(*desiredDue);
    QList<ReminderAlarmPayload> kept;
    for (const auto &alarm : *alarms) {
        if (alarm.kind != u"absolute"_s) {
            if (timedDue) {
                kept.append(alarm);
            }
            continue;
        }
        if (alarm.absolute_date && DateFormatters::parseISO8601(*alarm.absolute_date)) {
            kept.append(alarm);
        }
    }
    return kept;
}

std::optional<std::vector<ReminderAlarm>> alarmsForMutation(const QList<ReminderAlarmPayload> &alarms)
{
    if (alarms.isEmpty()) {
        return std::nullopt;
    }
    std::vector<ReminderAlarm> result;
    for (const auto &payload : alarms) {
        if (payload.kind == u"relative"_s || payload.kind == u"location"_s) {
            ReminderAlarm alarm = ReminderAlarm::atOffset(payload.relative_offset_seconds.value_or(0));
            if (payload.kind == u"location"_s) {
                if (payload.location) {
                    StructuredLocation location;
                    location.title = payload.location->title.value_or(RemindersText::defaultLocationTitle);
                    if (payload.location->latitude && payload.location->longitude) {
                        location.geoLocation = StructuredLocation::Coordinate {
                            *payload.location->latitude, *payload.location->longitude};
                    }
                    if (payload.location->radius_meters) {
                        location.radius = *payload.location->radius_meters;
                    }
                    alarm.structuredLocation = location;
                }
                alarm.proximity = payload.proximity == u"leave"_s ? ReminderAlarm::Proximity::Leave
                                                                  : ReminderAlarm::Proximity::Enter;
            }
            result.push_back(alarm);
            continue;
        }
        const auto at = payload.absolute_date ? DateFormatters::parseISO8601(*payload.absolute_date) : std::nullopt;
        if (!at) {
            throw SyncError::invalidRequest(RemindersText::errInvalidAbsoluteAlarm);
        }
        result.push_back(ReminderAlarm::atDate(*at));
    }
    return result;
}

bool hasRecurrence(const ReminderUpsertMutationPayload &payload)
{
    return payload.recurrence_rule.has_value() || trimmedOrNone(payload.repeat_type).has_value()
        || trimmedOrNone(payload.repeat_summary).has_value();
}

} // namespace

bool ReminderMonitor::recurrenceMatchesUpsert(const Reminder &item, const ReminderUpsertMutationPayload &payload,
    const std::optional<DateComponents> &desiredDueComponents) const
{
    if (!payload.recurrence_rule) {
        const RecurrenceInfo current = recurrenceInfo(item, false);
        const auto have = normalizedRecurrenceDescriptor(current.type, current.summary);
        const auto want = desiredDueComponents
            ? normalizedRecurrenceDescriptor(payload.repeat_type, payload.repeat_summary)
            : std::nullopt;
        return have == want;
    }
    std::optional<std::vector<RecurrenceRule>> desired;
    if (desiredDueComponents) {
        desired = recurrenceRulesForMutation(*payload.recurrence_rule, payload.repeat_summary);
    }
    return recurrenceRulesMatch(item.recurrenceRules, desired);
}

QCoro::Task<QString> ReminderMonitor::updateReminderFields(
    ReminderUpsertMutationPayload payload, bool refreshAfterWrite, bool forceSaveWhenRemoteIsNewer)
{
    const QString localID = payload.local_id.value_or(QString()).trimmed();
    const bool isNew = localID.isEmpty() || localID.startsWith(u"tmp:"_s);
    Reminder item = isNew ? Reminder {} : requireReminder(localID);

    const std::optional<QString> desiredNotes = trimmedOrNone(payload.notes);
    const std::optional<QString> desiredUrl = urlText(payload.url);

    const auto components = [&](const std::optional<QString> &text, const std::optional<bool> &hasTime,
                                const QString &error) -> std::optional<DateComponents> {
        const auto trimmed = trimmedOrNone(text);
        if (!trimmed) {
            return std::nullopt;
        }
        const auto date = DateFormatters::parseISO8601(*trimmed);
        if (!date) {
            throw SyncError::invalidRequest(error);
        }
        return calendar().components(*date, hasTime.value_or(true));
    };
    std::optional<DateComponents> desiredStart
        = components(payload.start_date, payload.has_start_time, RemindersText::errInvalidStartDate);
    const std::optional<DateComponents> desiredDue
        = components(payload.due_date, payload.has_due_time, RemindersText::errInvalidDueDate);
    if (payload.is_completed != true && hasRecurrence(payload) && desiredDue) {
        desiredStart = desiredDue;
    }
    const qint64 desiredPriority = payload.priority.value_or(0);
    if (desiredPriority < 0 || desiredPriority > 9) {
        throw SyncError::invalidRequest(RemindersText::errInvalidPriority);
    }
    const auto desiredAlarms = reminderAlarmsAlignedWithDueDate(payload.alarms, desiredDue, calendar());
    const std::optional<ReminderList> target = resolveTargetCalendar(payload.list_id, payload.list_name);

    bool write = isNew;
    if (!isNew) {
        if (forceSaveWhenRemoteIsNewer) {
            bool remoteNewer = false;
            const auto remoteText = trimmedOrNone(payload.client_last_modified);
            const auto remote = remoteText ? DateFormatters::parseISO8601(*remoteText) : std::nullopt;
            if (remote) {
                remoteNewer = !item.lastModifiedDate || item.lastModifiedDate->msecsTo(*remote) > 500;
            }
            if (remoteNewer) {
                write = true;
                const QString title = item.title.isNull() ? payload.title : item.title;
                const QString local = item.lastModifiedDate ? item.lastModifiedDate->toUTC().toString(Qt::ISODateWithMs)
                                                            : RemindersText::valueNil;
                emitRepeatDiagnostic(RemindersText::repeatPrefix + u"cloud-write-forced local_id="_s + item.id
                    + u" title="_s + title + u" remote_last_modified="_s
                    + payload.client_last_modified.value_or(RemindersText::valueNil) + u" local_last_modified="_s
                    + local);
            }
        }
        if (!write) {
            write = item.title != payload.title || trimmedOrNone(item.notes) != desiredNotes
                || trimmedOrNone(item.url) != desiredUrl || !dateComponentsMatch(item.startDateComponents, desiredStart)
                || !dateComponentsMatch(item.dueDateComponents, desiredDue)
                || (target ? item.listId != target->id : item.listId.isEmpty()) || item.priority != desiredPriority
                || (desiredAlarms && alarmSignatures(item.alarms) != alarmSignatures(alarmsForMutation(*desiredAlarms)))
                || !recurrenceMatchesUpsert(item, payload, desiredDue);
        }
        if (!write) {
            co_return item.id;
        }
    }

    const RecurrenceInfo currentRecurrence = recurrenceInfo(item, false);
    item.title = payload.title;
    item.notes = desiredNotes;
    item.url = desiredUrl;
    item.startDateComponents = desiredStart;
    item.dueDateComponents = desiredDue;
    if (desiredAlarms) {
        item.alarms = alarmsForMutation(*desiredAlarms);
    }
    if (target) {
        item.listId = target->id;
    } else if (item.listId.isEmpty()) {
        if (const auto fallback = m_eventStore.defaultListForNewReminders()) {
            item.listId = fallback->id;
        } else if (const auto lists = m_eventStore.lists(); !lists.empty()) {
            item.listId = lists.front().id;
        } else {
            throw SyncError::invalidRequest(RemindersText::errNoReminderList);
        }
    }
    item.priority = static_cast<int>(desiredPriority);
    if (!payload.recurrence_rule) {
        const auto wanted = normalizedRecurrenceDescriptor(payload.repeat_type, payload.repeat_summary);
        const auto current = normalizedRecurrenceDescriptor(currentRecurrence.type, currentRecurrence.summary);
        if (wanted != current) {
            emitRepeatDiagnostic(RemindersText::repeatPrefix + u"android-write-request local_id="_s
                + payload.local_id.value_or(RemindersText::valueNew) + u" title="_s + payload.title + u" old="_s
                + recurrenceDescriptorString(currentRecurrence.type, currentRecurrence.summary) + u" new="_s
                + recurrenceDescriptorString(payload.repeat_type, payload.repeat_summary));
        }
        if (!item.dueDateComponents) {
            item.recurrenceRules.clear();
        } else if (wanted != current) {
            item.recurrenceRules = recurrenceRulesForMutation(payload.repeat_type, payload.repeat_summary)
                                       .value_or(std::vector<RecurrenceRule> {});
        }
    } else if (!item.dueDateComponents) {
        item.recurrenceRules.clear();
    } else {
        item.recurrenceRules = recurrenceRulesForMutation(*payload.recurrence_rule, payload.repeat_summary)
                                   .value_or(std::vector<RecurrenceRule> {});
    }

    const Reminder saved = committing([&] { return m_eventStore.saveReminder(item, commitsEachWrite()); });
    const RecurrenceInfo savedRecurrence = recurrenceInfo(saved, false);
    emitRepeatDiagnostic(RemindersText::repeatPrefix + u"android-write-applied local_id="_s + saved.id + u" title="_s
        + (saved.title.isNull() ? RemindersText::valueNil : saved.title) + u" recurrence="_s
        + recurrenceDescriptorString(savedRecurrence.type, savedRecurrence.summary) + u" raw="_s
        + (saved.recurrenceRules.empty() ? RemindersText::valueNil
                                         : recurrenceDebugDescriptor(saved.recurrenceRules.front())));
    if (refreshAfterWrite) {
        co_await refresh(RemindersText::reasonAndroidWrite);
    }
    co_return saved.id;
}

std::optional<Reminder> ReminderMonitor::makeDetachedNextRecurringReminderIfNeeded(
    const Reminder &item, const QDateTime &completionDate) const
{
    if (!item.dueDateComponents) {
        return std::nullopt;
    }
    const DateComponents &dueComponents = *item.dueDateComponents;
    const auto due = calendar().date(dueComponents);
    if (!due) {
        return std::nullopt;
    }
    const RecurrenceInfo info = recurrenceInfo(item, true);
    if (!info.type) {
        return std::nullopt;
    }
    const QString type = normalizedRepeatType(info.type);

    // The series is walked on plain dates at its own wall-clock time, converted once per step:
    // a daylight-saving gap on an occurrence that is passed over leaves the time of day alone.
    QDate day = calendar().localDate(*due);
    QTime timeOfDay = calendar().localTime(*due);
    if (zoneOf(dueComponents) == calendar().timeZone()) {
        day = QDate(*dueComponents.year, *dueComponents.month, *dueComponents.day);
        timeOfDay
            = QTime(dueComponents.hour.value_or(0), dueComponents.minute.value_or(0), dueComponents.second.value_or(0));
    }
    std::optional<QDateTime> next;
    for (int step = 0; step < kMaxRecurrenceSteps; ++step) {
        const auto steppedDay = m_next.nextDueDayForSingleRecurrenceStep(day, type, info.summary);
        if (!steppedDay) {
            return std::nullopt;
        }
        const QDateTime stepped = calendar().instant(*steppedDay, timeOfDay);
        if (!stepped.isValid()) {
            return std::nullopt;
        }
        if (stepped > completionDate) {
            next = stepped;
            break;
        }
        day = *steppedDay;
    }
    if (!next) {
        return std::nullopt;
    }
    // A series that has ended by date has no next occurrence. The end is a day, not an instant:
    // an occurrence on the end day itself, at any time, still belongs to the series.
    if (!item.recurrenceRules.empty()) {
        const auto &end = item.recurrenceRules.front().end;
        if (end && end->endDate) {
            const GregorianCalendar reminderCalendar(reminderZone(item));
            if (reminderCalendar.localDate(*next) > reminderCalendar.localDate(*end->endDate)) {
                return std::nullopt;
            }
        }
    }
    Reminder detached;
    detached.listId = item.listId;
    detached.title = item.title;
    detached.notes = item.notes;
    detached.priority = item.priority;
    detached.recurrenceRules = item.recurrenceRules;
    detached.dueDateComponents = calendar().components(*next, dueComponents.hasTimeOfDay());
    return detached;
}

QTimeZone ReminderMonitor::zoneOf(const DateComponents &components) const
{
    if (components.timeZone) {
        const QTimeZone zone(components.timeZone->toUtf8());
        if (zone.isValid()) {
            return zone;
        }
    }
    return calendar().timeZone();
}

QTimeZone ReminderMonitor::reminderZone(const Reminder &item) const
{
    if (item.dueDateComponents && item.dueDateComponents->timeZone) {
        return zoneOf(*item.dueDateComponents);
    }
    if (item.timeZone) {
        const QTimeZone zone(item.timeZone->toUtf8());
        if (zone.isValid()) {
            return zone;
        }
    }
    return calendar().timeZone();
}

QCoro::Task<std::optional<QString>> ReminderMonitor::setReminderCompletion(
    QString localID, bool isCompleted, std::optional<QDateTime> completionDateOverride, bool refreshAfterWrite)
{
    Reminder item = requireReminder(localID);
    std::optional<QString> result;
    if (item.completed != isCompleted) {
        const QDateTime completionDate = completionDateOverride.value_or(m_clock.now());
        if (!isCompleted) {
            item.completed = false;
            item.completionDate.reset();
            committing([&] { m_eventStore.saveReminder(item, commitsEachWrite()); });
        } else if (auto next = makeDetachedNextRecurringReminderIfNeeded(item, completionDate)) {
            item.recurrenceRules.clear();
            item.completed = true;
            item.completionDate = completionDate;
            // Both saves land in one commit or not at all: a failure drops the staged completion,
            // so the reminder stays active and recurring.
            result = committing([&] {
                m_eventStore.saveReminder(item, false);
                return m_eventStore.saveReminder(*next, commitsEachWrite()).id;
            });
        } else {
            item.completed = true;
            item.completionDate = completionDate;
            committing([&] { m_eventStore.saveReminder(item, commitsEachWrite()); });
        }
    }
    if (refreshAfterWrite) {
        co_await refresh(RemindersText::reasonAndroidWrite);
    }
    co_return result;
}

QCoro::Task<void> ReminderMonitor::deleteReminder(QString localID, bool refreshAfterWrite)
{
    const Reminder item = requireReminder(localID);
    committing([&] { m_eventStore.removeReminder(item.id, commitsEachWrite()); });
    if (refreshAfterWrite) {
        co_await refresh(RemindersText::reasonAndroidWrite);
    }
}

} // namespace quorvin
