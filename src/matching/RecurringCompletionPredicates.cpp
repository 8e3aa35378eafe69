#include "matching/RecurringCompletionPredicates.h"

#include "matching/MatchText.h"
#include "model/DateFormatters.h"

#include <cmath>

namespace quorvin {

using MatchText::normalizedEqual;
using MatchText::normalizedIsEmpty;
using MatchText::raw;
using MatchText::trimmed;

namespace {

bool listNameRule(const ReminderPayload &a, const ReminderPayload &b)
{
    return normalizedIsEmpty(b.list_name) || normalizedEqual(a.list_name, b.list_name);
}

// Title, non-empty title, notes, url, priority.
bool sameContentIdentity(const ReminderPayload &a, const ReminderPayload &b)
{
    return normalizedEqual(a.title, b.title) && !normalizedIsEmpty(a.title) && normalizedEqual(a.notes, b.notes)
        && normalizedEqual(a.url, b.url) && MatchText::priorityEqual(a.priority, b.priority);
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
    if (a.is_completed || !c.is_completed || a.has_due_time != c.has_due_time) {
        return false;
    }
    if (normalizedIsEmpty(a.repeat_type)) {
        return false;
    }
    if (!normalizedIsEmpty(c.repeat_type) || !normalizedIsEmpty(c.repeat_summary)) {
        return false;
    }
    if (!presentAndNonEmpty(a.due_date) || !presentAndNonEmpty(c.due_date)) {
        return false;
    }
    if (*a.due_date == *c.due_date) {
        return false;
    }
    if (!presentAndNonEmpty(c.completion_date) || !DateFormatters::parseISO8601(*c.completion_date)) {
        return false;
    }
    return sameRemoteRecurringCompletionIdentity(a, c);
}

bool RecurringCompletionPredicates::localReminderCanApplyRemoteRecurringCompletion(
    const ReminderPayload &local, const ReminderPayload &activeItem, const ReminderPayload &completedOccurrence)
{
    if (local.is_completed || local.has_due_time != completedOccurrence.has_due_time) {
        return false;
    }
    if (raw(local.due_date) != raw(completedOccurrence.due_date)) {
        return false;
    }
    if (!normalizedEqual(local.repeat_type, activeItem.repeat_type)
        || !normalizedEqual(local.repeat_summary, activeItem.repeat_summary)) {
        return false;
    }
    return sameRemoteRecurringCompletionIdentity(local, completedOccurrence);
}

bool RecurringCompletionPredicates::completionDatesMatch(
    const std::optional<QString> &a, const std::optional<QString> &b)
{
    const QString x = trimmed(a);
    const QString y = trimmed(b);
    if (x.isEmpty() || y.isEmpty()) {
        return x.isEmpty() && y.isEmpty();
    }
    const auto xi = DateFormatters::parseISO8601(x);
    const auto yi = DateFormatters::parseISO8601(y);
    if (xi && yi) {
        return std::llabs(xi->toMSecsSinceEpoch() - yi->toMSecsSinceEpoch()) < 300000;
    }
    return x == y;
}

bool RecurringCompletionPredicates::sameCompletedOccurrenceIdentity(const ReminderPayload &a, const ReminderPayload &b)
{
    if (!listNameRule(a, b)) {
        return false;
    }
    if (!trimmed(b.completion_date).isEmpty() && !completionDatesMatch(a.completion_date, b.completion_date)) {
        return false;
    }
    return sameContentIdentity(a, b);
}

bool RecurringCompletionPredicates::localCompletedOccurrence(
    const ReminderPayload &local, const ReminderPayload &remote)
{
    if (!local.is_completed || !remote.is_completed) {
        return false;
    }
    if (!normalizedIsEmpty(local.repeat_type) || !normalizedIsEmpty(local.repeat_summary)) {
        return false;
    }
    if (local.has_due_time != remote.has_due_time || raw(local.due_date) != raw(remote.due_date)) {
        return false;
    }
    return sameCompletedOccurrenceIdentity(local, remote);
}

bool RecurringCompletionPredicates::stableReminderPayloadIgnoringCompletion(
    const ReminderPayload &local, const ReminderPayload &c, const std::optional<QString> &localListID)
{
    if (localListID) {
        if (!local.list_id || *local.list_id != *localListID) {
            return false;
        }
    } else if (!listNameRule(local, c)) {
        return false;
    }
    if (!normalizedEqual(local.title, c.title) || normalizedIsEmpty(local.title)) {
        return false;
    }
    if (!normalizedEqual(local.notes, c.notes)) {
        return false;
    }
    if (raw(local.due_date) != raw(c.due_date) || local.has_due_time != c.has_due_time) {
        return false;
    }
    if (!normalizedEqual(local.url, c.url)) {
        return false;
    }
    if (!normalizedEqual(local.repeat_type, c.repeat_type)
        || !normalizedEqual(local.repeat_summary, c.repeat_summary)) {
        return false;
    }
    return MatchText::priorityEqual(local.priority, c.priority);
}

bool RecurringCompletionPredicates::remoteReminderHasRecurrence(const ReminderPayload &p)
{
    return !normalizedIsEmpty(p.repeat_type) || !normalizedIsEmpty(p.repeat_summary) || p.recurrence_rule.has_value();
}

} // namespace quorvin
