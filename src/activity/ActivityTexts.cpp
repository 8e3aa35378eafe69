#include "activity/ActivityTexts.h"

#include "activity/ActivityChangeDetection.h"
#include "activity/Strings.h"
#include "matching/MatchText.h"
#include "model/DateFormatters.h"

#include <QHash>
#include <QTextBoundaryFinder>

namespace quorvin::ActivityTexts {

using namespace Qt::Literals::StringLiterals;
using MatchText::trimmed;

namespace {

constexpr int maxValueCharacters = 42;
constexpr int maxDetailLines = 8;

QString priorityText(const std::optional<qint64> &priority)
{
    return priority ? QString::number(*priority) : QString();
}

QString sortOrderText(const std::optional<qint64> &sortOrder)
{
    return sortOrder ? QString::number(*sortOrder) : ActivityText::emptyValue;
}

// label + old + " -> " + new, when the trimmed texts differ.
void appendValueChange(QStringList &details, const QString &label, const std::optional<QString> &before,
    const std::optional<QString> &after)
{
    if (trimmed(before) != trimmed(after)) {
        details.append(label + displayActivityValue(before) + ActivityText::arrow + displayActivityValue(after));
    }
}

} // namespace

const QTimeZone &chinaTimeZone()
{
    static const QTimeZone zone = [] {
        QTimeZone shanghai("Asia/Shanghai");
        return shanghai.isValid() ? shanghai : QTimeZone::systemTimeZone();
    }();
    return zone;
}

const QStringList &actionOrder()
{
    static const QStringList order {ActivityText::actionAdvanceRecurring, ActivityText::actionComplete,
        ActivityText::actionRestore, ActivityText::actionAddReminder, ActivityText::actionDeleteReminder,
        ActivityText::actionChangeDate, ActivityText::actionSetDate, ActivityText::actionRemoveDate,
        ActivityText::actionMoveList, ActivityText::actionUpdateReminder, ActivityText::actionAddList,
        ActivityText::actionDeleteList, ActivityText::actionUpdateList};
    return order;
}

QString activityDisplayTitle(const QString &title)
{
    const QString text = title.trimmed();
    return text.isEmpty() ? ActivityText::untitled : text;
}

QString leadingCharacters(const QString &text, int count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype end = 0;
    for (int taken = 0; taken < count; ++taken) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0) {
            return text;
        }
        end = next;
    }
    return text.left(end);
}

QString displayActivityDate(const std::optional<QString> &text, bool hasTime)
{
    const QString value = trimmed(text);
    if (value.isEmpty()) {
        return ActivityText::emptyValue;
    }
    if (const auto instant = DateFormatters::parseISO8601(value)) {
        return instant->toTimeZone(chinaTimeZone())
            .toString(hasTime ? ActivityText::dateWithTimeFormat : ActivityText::dateOnlyFormat);
    }
    return leadingCharacters(value, maxValueCharacters);
}

QString displayActivityValue(const std::optional<QString> &text)
{
    const QString value = trimmed(text);
    if (value.isEmpty()) {
        return ActivityText::emptyValue;
    }
    if (DateFormatters::parseISO8601(value)) {
        return displayActivityDate(value, true);
    }
    return leadingCharacters(value, maxValueCharacters);
}

QStringList reminderBasicDetails(const ReminderPayload &reminder)
{
    QStringList details;
    if (!trimmed(reminder.list_name).isEmpty()) {
        details.append(ActivityText::labelList + displayActivityValue(reminder.list_name));
    }
    if (!trimmed(reminder.due_date).isEmpty()) {
        details.append(ActivityText::labelDate + displayActivityDate(reminder.due_date, reminder.has_due_time));
    }
    if (!trimmed(reminder.repeat_summary).isEmpty()) {
        details.append(ActivityText::labelRepeat + displayActivityValue(reminder.repeat_summary));
    }
    return details;
}

QStringList reminderChangedFieldDetails(const ReminderPayload &before, const ReminderPayload &after)
{
    QStringList details;
    appendValueChange(details, ActivityText::labelTitle, before.title, after.title);
    appendValueChange(details, ActivityText::labelNotes, before.notes, after.notes);
    appendValueChange(details, ActivityText::labelList, before.list_name, after.list_name);
    appendDateChangeDetails(details, before, after);
    appendValueChange(details, ActivityText::labelRepeat, ActivityChangeDetection::recurrenceText(before),
        ActivityChangeDetection::recurrenceText(after));
    appendValueChange(details, ActivityText::labelURL, before.url, after.url);
    appendValueChange(
        details, ActivityText::labelPriority, priorityText(before.priority), priorityText(after.priority));
    return details;
}

void appendDateChangeDetails(QStringList &details, const ReminderPayload &before, const ReminderPayload &after)
{
    using ActivityChangeDetection::dateOnlyKey;
    if (ActivityChangeDetection::isImplicitStartDateAliasChange(before, after)) {
        return;
    }
    const bool beforeStartTime = before.has_start_time.value_or(false);
    const bool afterStartTime = after.has_start_time.value_or(false);
    const bool startChanged
        = trimmed(before.start_date) != trimmed(after.start_date) || beforeStartTime != afterStartTime;
    const bool dueChanged
        = trimmed(before.due_date) != trimmed(after.due_date) || before.has_due_time != after.has_due_time;
    const auto startAndDueOnOneDay = [](const ReminderPayload &reminder) {
        return dateOnlyKey(reminder.start_date) == dateOnlyKey(reminder.due_date);
    };
    // A start and due date on one day moved together read as one date.
    if (startChanged && dueChanged && startAndDueOnOneDay(before) && startAndDueOnOneDay(after)) {
        details.append(ActivityText::labelDate + displayActivityDate(before.start_date, beforeStartTime)
            + ActivityText::arrow + displayActivityDate(after.start_date, afterStartTime));
        return;
    }
    if (startChanged) {
        details.append(ActivityText::labelStartDate + displayActivityDate(before.start_date, beforeStartTime)
            + ActivityText::arrow + displayActivityDate(after.start_date, afterStartTime));
    }
    if (dueChanged) {
        details.append(ActivityText::labelDueDate + displayActivityDate(before.due_date, before.has_due_time)
            + ActivityText::arrow + displayActivityDate(after.due_date, after.has_due_time));
    }
}

QStringList listBasicDetails(const ReminderListDirectoryPayload &list)
{
    return {ActivityText::labelColor + displayActivityValue(list.theme_color),
        ActivityText::labelSortOrder + sortOrderText(list.sort_order)};
}

QStringList listChangedFieldDetails(
    const ReminderListDirectoryPayload &before, const ReminderListDirectoryPayload &after)
{
    QStringList details;
    appendValueChange(details, ActivityText::labelName, before.list_name, after.list_name);
    appendValueChange(details, ActivityText::labelIcon, before.icon_value, after.icon_value);
    appendValueChange(details, ActivityText::labelColor, before.theme_color, after.theme_color);
    if (before.sort_order != after.sort_order) {
        details.append(ActivityText::labelSortOrder + sortOrderText(before.sort_order) + ActivityText::arrow
            + sortOrderText(after.sort_order));
    }
    return details;
}

QString lineSummary(const QString &action, const QString &title)
{
    return action + ActivityText::titleOpen + title + ActivityText::titleClose;
}

std::optional<ActivityChangeLine> listActivityLine(
    const std::optional<ReminderListDirectoryPayload> &before, const std::optional<ReminderListDirectoryPayload> &after)
{
    if (!before && !after) {
        return std::nullopt;
    }
    const auto &shown = after ? *after : *before;
    QString action;
    QStringList details;
    if (!before) {
        action = ActivityText::actionAddList;
        details = listBasicDetails(*after);
    } else if (!after) {
        action = ActivityText::actionDeleteList;
        details = listBasicDetails(*before);
    } else {
        action = ActivityText::actionUpdateList;
        details = listChangedFieldDetails(*before, *after);
        if (details.isEmpty()) {
            return std::nullopt;
        }
    }
    const QString name = activityDisplayTitle(shown.list_name);
    return ActivityChangeLine {
        action, ActivityText::entityList, shown.list_id, name, lineSummary(action, name), details};
}

QStringList activitySummaryParts(const QList<ActivityChangeLine> &lines)
{
    QHash<QString, int> counts;
    for (const auto &line : lines) {
        ++counts[line.action];
    }
    QStringList parts;
    for (const auto &action : actionOrder()) {
        if (const int count = counts.value(action); count > 0) {
            parts.append(action + u' ' + QString::number(count) + ActivityText::summaryPartSuffix);
        }
    }
    return parts;
}

QString localActivitySummary(const QList<ActivityChangeLine> &lines)
{
    if (lines.size() == 1) {
        return lines.constFirst().summary;
    }
    const QStringList parts = activitySummaryParts(lines);
    if (parts.isEmpty()) {
        return ActivityText::localSummaryFallback;
    }
    return ActivityText::localSummaryPrefix + parts.join(ActivityText::fullWidthComma);
}

QString cloudPullActivitySummary(bool fullSnapshot, const QList<ActivityChangeLine> &lines)
{
    const QString base = fullSnapshot ? ActivityText::cloudSummaryFullSnapshot : ActivityText::cloudSummaryChanges;
    const QStringList parts = activitySummaryParts(lines);
    return parts.isEmpty() ? base : base + ActivityText::fullWidthColon + parts.join(ActivityText::fullWidthComma);
}

QStringList activityDetailLines(const QList<ActivityChangeLine> &lines)
{
    QStringList result;
    for (const auto &line : lines.first(std::min<qsizetype>(lines.size(), maxDetailLines))) {
        const QString joined
            = line.details.first(std::min<qsizetype>(line.details.size(), 2)).join(ActivityText::fullWidthSemicolon);
        result.append(joined.isEmpty() ? line.summary : line.summary + ActivityText::fullWidthColon + joined);
    }
    return result;
}

} // namespace quorvin::ActivityTexts
