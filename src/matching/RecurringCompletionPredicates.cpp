#include "matching/RecurringCompletionPredicates.h"

#include "matching/MatchText.h"
#include "model/DateFormatters.h"

#include <cmath>

namespace quorvin {

using MatchText::normalized;
using MatchText::raw;
using MatchText::trimmed;

namespace {

bool listNameRule(const ReminderPayload &a, const ReminderPayload &b)
{
    const QString bName = normalized(b.list_name);
    return bName.isEmpty() || normalized(a.list_name) == bName;
}

// Title, non-empty title, notes, url, priority.
bool sameContentIdentity(const ReminderPayload &a, const ReminderPayload &b)
{
    const QString title = normalized(a.title);
    return title == normalized(b.title) && !title.isEmpty() && normalized(a.notes) == normalized(b.notes)
        && normalized(a.url) == normalized(b.url) && MatchText::priorityEqual(a.priority, b.priority);
}

bool presentAndNonEmpty(const std::optional<QString> &text)
{
    return text && !text->isEmpty();
}

} // namespace

bool RecurringCompletionPredicates::sameRemoteRecurringCompletionIdentity(
    const ReminderPayload &a, const ReminderPayload &b)
{
    return listNameRule(a, b) && sameContentIdentity(a, b);
}

bool RecurringCompletionPredicates::isRemoteRecurringCompletionPair(const ReminderPayload &a, const ReminderPayload &c)
{
    if (a.is_completed || !c.is_completed || a.has_due_time != c.has_due_time)
        return false;
    if (normalized(a.repeat_type).isEmpty())
        return false;
    if (!normalized(c.repeat_type).isEmpty() || !normalized(c.repeat_summary).isEmpty())
        return false;
    if (!presentAndNonEmpty(a.due_date) || !presentAndNonEmpty(c.due_date))
        return false;
    if (*a.due_date == *c.due_date)
        return false;
    if (!presentAndNonEmpty(c.completion_date) || !DateFormatters::parseISO8601(*c.completion_date))
        return false;
    return sameRemoteRecurringCompletionIdentity(a, c);
}

bool RecurringCompletionPredicates::localReminderCanApplyRemoteRecurringCompletion(
    const ReminderPayload &local, const ReminderPayload &activeItem, const ReminderPayload &completedOccurrence)
{
    if (local.is_completed || local.has_due_time != completedOccurrence.has_due_time)
        return false;
    if (raw(local.due_date) != raw(completedOccurrence.due_date))
        return false;
    if (normalized(local.repeat_type) != normalized(activeItem.repeat_type)
        || normalized(local.repeat_summary) != normalized(activeItem.repeat_summary))
        return false;
    return sameRemoteRecurringCompletionIdentity(local, completedOccurrence);
}

bool RecurringCompletionPredicates::completionDatesMatch(
    const std::optional<QString> &a, const std::optional<QString> &b)
{
    const QString x = trimmed(a);
    const QString y = trimmed(b);
    if (x.isEmpty() || y.isEmpty())
        return x.isEmpty() && y.isEmpty();
    const auto xi = DateFormatters::parseISO8601(x);
    const auto yi = DateFormatters::parseISO8601(y);
    if (xi && yi)
        return std::llabs(xi->toMSecsSinceEpoch() - yi->toMSecsSinceEpoch()) < 300000;
    return x == y;
}

bool RecurringCompletionPredicates::sameCompletedOccurrenceIdentity(const ReminderPayload &a, const ReminderPayload &b)
{
    if (!listNameRule(a, b))
        return false;
    if (!trimmed(b.completion_date).isEmpty() && !completionDatesMatch(a.completion_date, b.completion_date))
        return false;
    return sameContentIdentity(a, b);
}

bool RecurringCompletionPredicates::localCompletedOccurrence(
    const ReminderPayload &local, const ReminderPayload &remote)
{
    if (!local.is_completed || !remote.is_completed)
        return false;
    if (!normalized(local.repeat_type).isEmpty() || !normalized(local.repeat_summary).isEmpty())
        return false;
    if (local.has_due_time != remote.has_due_time || raw(local.due_date) != raw(remote.due_date))
        return false;
    return sameCompletedOccurrenceIdentity(local, remote);
}

bool RecurringCompletionPredicates::stableReminderPayloadIgnoringCompletion(
    const ReminderPayload &local, const ReminderPayload &c, const std::optional<QString> &localListID)
{
    if (localListID) {
        if (!local.list_id || *local.list_id != *localListID)
            return false;
    } else if (!listNameRule(local, c)) {
        return false;
    }
    const QString title = normalized(local.title);
    if (title != normalized(c.title) || title.isEmpty())
        return false;
    if (normalized(local.notes) != normalized(c.notes))
        return false;
    if (raw(local.due_date) != raw(c.due_date) || local.has_due_time != c.has_due_time)
        return false;
    if (normalized(local.url) != normalized(c.url))
        return false;
    if (normalized(local.repeat_type) != normalized(c.repeat_type)
        || normalized(local.repeat_summary) != normalized(c.repeat_summary))
        return false;
    return MatchText::priorityEqual(local.priority, c.priority);
}

bool RecurringCompletionPredicates::remoteReminderHasRecurrence(const ReminderPayload &p)
{
    return !normalized(p.repeat_type).isEmpty() || !normalized(p.repeat_summary).isEmpty()
        || p.recurrence_rule.has_value();
}

} // namespace quorvin
