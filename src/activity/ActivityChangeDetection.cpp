#include "activity/ActivityChangeDetection.h"

#include "activity/ActivityTexts.h"
#include "activity/Strings.h"
#include "matching/CompletedReminderCandidateIndex.h"
#include "matching/MatchText.h"
#include "matching/RecurringActivityCandidateIndex.h"
#include "model/DateFormatters.h"

#include <QHash>

#include <algorithm>
#include <memory>

namespace quorvin::ActivityChangeDetection {

using namespace Qt::Literals::StringLiterals;
using MatchText::trimmed;

namespace {

constexpr qint64 completionToleranceMs = 120000;

bool hasCompletionAndDue(const ReminderPayload &item)
{
    return item.is_completed && !trimmed(item.completion_date).isEmpty() && !trimmed(item.due_date).isEmpty();
}

// Trimmed title, notes, url and location equal, case kept.
bool sameTrimmedContent(const ReminderPayload &a, const ReminderPayload &b)
{
    return a.title.trimmed() == b.title.trimmed() && trimmed(a.notes) == trimmed(b.notes)
        && trimmed(a.url) == trimmed(b.url) && trimmed(a.location_text) == trimmed(b.location_text);
}

const ReminderPayload &payloadOf(const ReminderPayload &item)
{
    return item;
}

const ReminderPayload &payloadOf(const ReminderPayloadRef &item)
{
    return *item;
}

template <class Item> QSet<QString> localIDs(const QList<Item> &items)
{
    QSet<QString> ids;
    ids.reserve(items.size());
    for (const auto &item : items) {
        ids.insert(payloadOf(item).local_id);
    }
    return ids;
}

// The completed reminders that may be equivalent to a given one. The shared candidate index
// buckets date-only due dates by their UTC day, while equivalence compares China calendar days:
// an all-day date written at China midnight lies on the previous UTC day and would slip through.
// Date-only items are therefore also bucketed by title and China day here.
class CompletedEquivalenceCandidates {
public:
    explicit CompletedEquivalenceCandidates(const QList<ReminderPayload> &items)
        : m_index(items)
    {
        for (qsizetype i = 0; i < items.size(); ++i) {
            const auto &item = items.at(i);
            m_positionByID.insert(item.local_id, i);
            if (!item.has_due_time) {
                m_byChinaDay[chinaDayKey(item)].append(item);
            }
        }
    }

    QList<ReminderPayload> candidates(const ReminderPayload &item) const
    {
        QList<ReminderPayload> result = m_index.candidates(item);
        if (item.has_due_time) {
            return result;
        }
        const auto extra = m_byChinaDay.constFind(chinaDayKey(item));
        if (extra == m_byChinaDay.cend()) {
            return result;
        }
        QSet<QString> seen = localIDs(result);
        for (const auto &candidate : *extra) {
            if (!seen.contains(candidate.local_id)) {
                seen.insert(candidate.local_id);
                result.append(candidate);
            }
        }
        std::stable_sort(result.begin(), result.end(), [this](const ReminderPayload &a, const ReminderPayload &b) {
            return m_positionByID.value(a.local_id) < m_positionByID.value(b.local_id);
        });
        return result;
    }

private:
    static QString chinaDayKey(const ReminderPayload &item)
    {
        return MatchText::normalized(item.title) + QChar(0x1f) + dateOnlyKey(item.due_date);
    }

    CompletedReminderCandidateIndex m_index;
    QHash<QString, QList<ReminderPayload>> m_byChinaDay;
    QHash<QString, qsizetype> m_positionByID;
};

ActivityChangeLine reminderLine(const QString &action, const ReminderPayload &shown, QStringList details)
{
    const QString title = ActivityTexts::activityDisplayTitle(shown.title);
    return {action, ActivityText::entityReminder, shown.local_id, title, ActivityTexts::lineSummary(action, title),
        std::move(details)};
}

// The occurrence that was completed, then the next one, then when it was completed.
QStringList recurringAdvanceDetails(
    const ReminderPayload &done, const ReminderPayload &seriesBefore, const ReminderPayload &next, bool hasThisTime)
{
    const auto thisDue = trimmed(done.due_date).isEmpty() ? seriesBefore.due_date : done.due_date;
    QStringList details {ActivityText::labelThisDate + ActivityTexts::displayActivityDate(thisDue, hasThisTime),
        ActivityText::labelNextDate + ActivityTexts::displayActivityDate(next.due_date, next.has_due_time)};
    if (!trimmed(done.completion_date).isEmpty()) {
        details.append(ActivityText::labelCompletedAt + ActivityTexts::displayActivityValue(done.completion_date));
    }
    return details;
}

} // namespace

QList<ReminderRefreshItemChange> reminderChanges(
    const QList<ReminderPayloadRef> &beforeItems, const QList<ReminderPayloadRef> &afterItems)
{
    QHash<QString, const ReminderPayloadRef *> beforeByID;
    beforeByID.reserve(beforeItems.size());
    for (const auto &item : beforeItems) {
        beforeByID.insert(item->local_id, &item);
    }
    QSet<QString> afterIDs;
    afterIDs.reserve(afterItems.size());
    QList<ReminderRefreshItemChange> changes;
    for (const auto &after : afterItems) {
        if (afterIDs.contains(after->local_id)) {
            continue;
        }
        afterIDs.insert(after->local_id);
        const auto before = beforeByID.constFind(after->local_id);
        if (before == beforeByID.cend()) {
            changes.append({nullptr, after});
        } else if ((**before)->content_hash != after->content_hash) {
            changes.append({**before, after});
        }
    }
    QSet<QString> removedIDs;
    for (const auto &before : beforeItems) {
        if (!afterIDs.contains(before->local_id) && !removedIDs.contains(before->local_id)) {
            removedIDs.insert(before->local_id);
            changes.append({before, nullptr});
        }
    }
    return changes;
}

QList<ReminderRefreshListChange> listChanges(
    const QList<ReminderListDirectoryPayload> &beforeLists, const QList<ReminderListDirectoryPayload> &afterLists)
{
    const auto differ = [](const ReminderListDirectoryPayload &a, const ReminderListDirectoryPayload &b) {
        return a.list_id != b.list_id || a.list_name != b.list_name || a.icon_kind != b.icon_kind
            || a.icon_value != b.icon_value || a.theme_color != b.theme_color || a.sort_order != b.sort_order;
    };
    QHash<QString, const ReminderListDirectoryPayload *> beforeByID;
    for (const auto &list : beforeLists) {
        beforeByID.insert(list.list_id, &list);
    }
    QSet<QString> afterIDs;
    QList<ReminderRefreshListChange> changes;
    for (const auto &after : afterLists) {
        if (afterIDs.contains(after.list_id)) {
            continue;
        }
        afterIDs.insert(after.list_id);
        const auto before = beforeByID.constFind(after.list_id);
        if (before == beforeByID.cend()) {
            changes.append({std::nullopt, after});
        } else if (differ(**before, after)) {
            changes.append({**before, after});
        }
    }
    QSet<QString> removedIDs;
    for (const auto &before : beforeLists) {
        if (!afterIDs.contains(before.list_id) && !removedIDs.contains(before.list_id)) {
            removedIDs.insert(before.list_id);
            changes.append({before, std::nullopt});
        }
    }
    return changes;
}

bool reminderListsMatch(const ReminderPayload &a, const ReminderPayload &b)
{
    const QString nameA = trimmed(a.list_name).toLower();
    const QString nameB = trimmed(b.list_name).toLower();
    if (!nameA.isEmpty() && !nameB.isEmpty()) {
        return nameA == nameB;
    }
    return trimmed(a.list_id) == trimmed(b.list_id);
}

QString recurrenceText(const ReminderPayload &reminder)
{
    const QString summary = trimmed(reminder.repeat_summary);
    return summary.isEmpty() ? trimmed(reminder.repeat_type) : summary;
}

QString dateOnlyKey(const std::optional<QString> &text)
{
    QString value = trimmed(text);
    if (const auto instant = DateFormatters::parseISO8601(value)) {
        return instant->toTimeZone(ActivityTexts::chinaTimeZone()).toString(u"yyyy-MM-dd"_s);
    }
    return value;
}

bool isChinaMidnight(const std::optional<QString> &text)
{
    const auto instant = DateFormatters::parseISO8601(trimmed(text));
    if (!instant) {
        return false;
    }
    const QTime time = instant->toTimeZone(ActivityTexts::chinaTimeZone()).time();
    return time.hour() == 0 && time.minute() == 0 && time.second() == 0;
}

bool isRecurringCompletionRollover(const ReminderPayload &before, const ReminderPayload &after)
{
    return before.local_id == after.local_id && !before.is_completed && !after.is_completed
        && !trimmed(before.repeat_type).isEmpty() && !trimmed(before.due_date).isEmpty()
        && !trimmed(after.due_date).isEmpty() && MatchText::raw(before.due_date) != MatchText::raw(after.due_date);
}

std::optional<ReminderPayload> findNewCompletedCopy(
    const ReminderPayload &before, const RecurringActivityCandidateIndex &candidateIndex)
{
    const auto bucket
        = candidateIndex.completedCopiesByKey().constFind(RecurringCompletedCopyActivityKey::from(before));
    if (bucket == candidateIndex.completedCopiesByKey().cend()) {
        return std::nullopt;
    }
    for (const auto &ref : *bucket) {
        const ReminderPayload &candidate = *ref;
        if (reminderListsMatch(before, candidate) && sameTrimmedContent(before, candidate)
            && before.has_due_time == candidate.has_due_time && before.priority == candidate.priority
            && !trimmed(candidate.completion_date).isEmpty()) {
            return candidate;
        }
    }
    return std::nullopt;
}

bool recurringNextActiveMatches(const ReminderPayload &before, const ReminderPayload &nextActive)
{
    const QString nextDue = trimmed(nextActive.due_date);
    return reminderListsMatch(before, nextActive) && sameTrimmedContent(before, nextActive)
        && trimmed(before.repeat_type) == trimmed(nextActive.repeat_type)
        && recurrenceText(before) == recurrenceText(nextActive) && before.has_due_time == nextActive.has_due_time
        && before.priority == nextActive.priority && !nextDue.isEmpty() && nextDue != trimmed(before.due_date);
}

std::optional<ReminderPayload> findNewRecurringNextActive(
    const ReminderPayload &before, const RecurringActivityCandidateIndex &candidateIndex)
{
    for (const auto &candidate : candidateIndex.nextActiveCandidates(before)) {
        if (recurringNextActiveMatches(before, *candidate)) {
            return *candidate;
        }
    }
    return std::nullopt;
}

RecurringActivityChanges recurringCompletionChanges(
    const QList<ReminderPayloadRef> &beforeItems, const QList<ReminderPayloadRef> &afterItems)
{
    QHash<QString, const ReminderPayload *> beforeByID;
    for (const auto &item : beforeItems) {
        beforeByID.insert(item->local_id, item.get());
    }
    QList<ReminderPayloadRef> newItems;
    for (const auto &item : afterItems) {
        if (!beforeByID.contains(item->local_id)) {
            newItems.append(item);
        }
    }
    const RecurringActivityCandidateIndex index(newItems);
    RecurringActivityChanges result;
    for (const auto &afterRef : afterItems) {
        const ReminderPayload &after = *afterRef;
        const auto found = beforeByID.constFind(after.local_id);
        if (found == beforeByID.cend()) {
            continue;
        }
        const ReminderPayload &before = **found;
        if (isRecurringCompletionRollover(before, after)) {
            if (const auto copy = findNewCompletedCopy(before, index)) {
                result.rolledOverIDs.insert(after.local_id);
                result.completedCopyIDs.insert(copy->local_id);
                result.completedCopyByRolledOverID.insert(after.local_id, *copy);
                continue;
            }
        }
        if (!before.is_completed && after.is_completed && !trimmed(before.repeat_type).isEmpty()
            && !trimmed(after.completion_date).isEmpty()) {
            if (const auto next = findNewRecurringNextActive(before, index)) {
                result.completedRecurringIDs.insert(after.local_id);
                result.nextActiveIDs.insert(next->local_id);
                result.nextActiveByCompletedID.insert(after.local_id, *next);
            }
        }
    }
    return result;
}

bool areEquivalentCompletedReminders(const ReminderPayload &old, const ReminderPayload &replacement)
{
    if (!hasCompletionAndDue(old) || !hasCompletionAndDue(replacement) || !reminderListsMatch(old, replacement)
        || !sameTrimmedContent(old, replacement) || old.has_due_time != replacement.has_due_time
        || old.priority != replacement.priority) {
        return false;
    }
    const QString oldDue = trimmed(old.due_date);
    const QString newDue = trimmed(replacement.due_date);
    const bool dueAgrees = oldDue == newDue || (!old.has_due_time && dateOnlyKey(oldDue) == dateOnlyKey(newDue));
    if (!dueAgrees) {
        return false;
    }
    const QString oldCompletion = trimmed(old.completion_date);
    const QString newCompletion = trimmed(replacement.completion_date);
    if (oldCompletion == newCompletion) {
        return true;
    }
    const auto oldInstant = DateFormatters::parseISO8601(oldCompletion);
    const auto newInstant = DateFormatters::parseISO8601(newCompletion);
    return oldInstant && newInstant && std::abs(oldInstant->msecsTo(*newInstant)) <= completionToleranceMs;
}

QSet<QString> equivalentCompletedReplacementIDs(
    const QList<ReminderPayloadRef> &beforeItems, const QList<ReminderPayloadRef> &afterItems)
{
    const QSet<QString> beforeIDs = localIDs(beforeItems);
    const QSet<QString> afterIDs = localIDs(afterItems);
    QList<ReminderPayload> removed;
    for (const auto &item : beforeItems) {
        if (!afterIDs.contains(item->local_id) && hasCompletionAndDue(*item)) {
            removed.append(*item);
        }
    }
    QSet<QString> result;
    if (removed.isEmpty()) {
        return result;
    }
    const CompletedEquivalenceCandidates candidates(removed);
    QSet<QString> used;
    for (const auto &ref : afterItems) {
        const ReminderPayload &item = *ref;
        if (beforeIDs.contains(item.local_id) || !hasCompletionAndDue(item)) {
            continue;
        }
        for (const auto &old : candidates.candidates(item)) {
            if (!used.contains(old.local_id) && areEquivalentCompletedReminders(old, item)) {
                used.insert(old.local_id);
                result.insert(item.local_id);
                break;
            }
        }
    }
    return result;
}

QString reminderEditAction(const ReminderPayload &before, const ReminderPayload &after)
{
    if (trimmed(before.list_id).toLower() != trimmed(after.list_id).toLower()) {
        return ActivityText::actionMoveList;
    }
    const QString beforeStart = trimmed(before.start_date).toLower();
    const QString afterStart = trimmed(after.start_date).toLower();
    const QString beforeDue = trimmed(before.due_date).toLower();
    const QString afterDue = trimmed(after.due_date).toLower();
    const bool dueChanged = beforeDue != afterDue || before.has_due_time != after.has_due_time;
    const bool startChanged = beforeStart != afterStart;
    const bool startTimeFlagUnchanged = after.has_start_time
        ? *after.has_start_time == before.has_start_time.value_or(false)
        : before.has_start_time != true;
    if (!startChanged && !dueChanged && startTimeFlagUnchanged) {
        return ActivityText::actionUpdateReminder;
    }
    if (startChanged && !dueChanged && isImplicitStartDateAliasChange(before, after)) {
        return ActivityText::actionUpdateReminder;
    }
    if (beforeDue.isEmpty() && !afterDue.isEmpty()) {
        return ActivityText::actionSetDate;
    }
    if (!beforeDue.isEmpty() && afterDue.isEmpty()) {
        return ActivityText::actionRemoveDate;
    }
    return ActivityText::actionChangeDate;
}

bool isImplicitStartDateAliasChange(const ReminderPayload &before, const ReminderPayload &after)
{
    const bool beforeHasStart = !trimmed(before.start_date).isEmpty();
    const bool afterHasStart = !trimmed(after.start_date).isEmpty();
    if (beforeHasStart == afterHasStart) {
        return false;
    }
    const ReminderPayload &side = beforeHasStart ? before : after;
    return trimmed(before.due_date) == trimmed(after.due_date) && before.has_due_time == after.has_due_time
        && !side.has_due_time && side.has_start_time == true
        && dateOnlyKey(side.start_date) == dateOnlyKey(side.due_date) && isChinaMidnight(side.start_date);
}

std::optional<ActivityChangeLine> reminderActivityLine(const ReminderRefreshItemChange &change,
    const std::optional<ReminderPayload> &recurringCompletedCopy,
    const std::optional<ReminderPayload> &recurringNextActive)
{
    if (!change.before && !change.after) {
        return std::nullopt;
    }
    if (!change.before) {
        return reminderLine(
            ActivityText::actionAddReminder, *change.after, ActivityTexts::reminderBasicDetails(*change.after));
    }
    if (!change.after) {
        return reminderLine(
            ActivityText::actionDeleteReminder, *change.before, ActivityTexts::reminderBasicDetails(*change.before));
    }
    const ReminderPayload &before = *change.before;
    const ReminderPayload &after = *change.after;
    if (recurringNextActive && !before.is_completed && after.is_completed) {
        return reminderLine(ActivityText::actionAdvanceRecurring, after,
            recurringAdvanceDetails(after, before, *recurringNextActive, after.has_due_time || before.has_due_time));
    }
    if (recurringCompletedCopy && isRecurringCompletionRollover(before, after)) {
        const auto &copy = *recurringCompletedCopy;
        return reminderLine(ActivityText::actionAdvanceRecurring, after,
            recurringAdvanceDetails(copy, before, after, copy.has_due_time || before.has_due_time));
    }
    if (before.is_completed != after.is_completed) {
        return reminderLine(after.is_completed ? ActivityText::actionComplete : ActivityText::actionRestore, after, {});
    }
    QStringList details = ActivityTexts::reminderChangedFieldDetails(before, after);
    if (details.isEmpty()) {
        return std::nullopt;
    }
    return reminderLine(reminderEditAction(before, after), after, std::move(details));
}

QList<ActivityChangeLine> activityChangeLines(const QList<ReminderRefreshItemChange> &reminderChanges,
    const QList<ReminderRefreshListChange> &listChanges, const QList<ReminderPayloadRef> &beforeItems,
    const QList<ReminderPayloadRef> &afterItems)
{
    const RecurringActivityChanges recurring = recurringCompletionChanges(beforeItems, afterItems);
    const QSet<QString> replacementIDs = equivalentCompletedReplacementIDs(beforeItems, afterItems);
    QList<ReminderPayload> replacements;
    for (const auto &item : afterItems) {
        if (replacementIDs.contains(item->local_id)) {
            replacements.append(*item);
        }
    }
    const CompletedEquivalenceCandidates replacementCandidates(replacements);

    QList<ActivityChangeLine> lines;
    for (const auto &change : reminderChanges) {
        std::optional<ActivityChangeLine> line;
        if (change.after) {
            const QString &id = change.after->local_id;
            if (recurring.completedCopyIDs.contains(id) || recurring.nextActiveIDs.contains(id)
                || replacementIDs.contains(id)) {
                continue;
            }
            const auto copy = recurring.completedCopyByRolledOverID.constFind(id);
            const auto next = recurring.nextActiveByCompletedID.constFind(id);
            line = reminderActivityLine(change,
                copy == recurring.completedCopyByRolledOverID.cend() ? std::nullopt : std::optional(*copy),
                next == recurring.nextActiveByCompletedID.cend() ? std::nullopt : std::optional(*next));
        } else if (change.before) {
            const auto &removed = *change.before;
            const auto candidates
                = replacements.isEmpty() ? QList<ReminderPayload>() : replacementCandidates.candidates(removed);
            if (std::any_of(candidates.cbegin(), candidates.cend(), [&](const ReminderPayload &candidate) {
                    return areEquivalentCompletedReminders(removed, candidate);
                })) {
                continue;
            }
            line = reminderActivityLine(change, std::nullopt, std::nullopt);
        }
        if (line) {
            lines.append(std::move(*line));
        }
    }
    for (const auto &change : listChanges) {
        if (auto line = ActivityTexts::listActivityLine(change.before, change.after)) {
            lines.append(std::move(*line));
        }
    }
    return lines;
}

} // namespace quorvin::ActivityChangeDetection
