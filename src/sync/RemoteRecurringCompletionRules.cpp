#include "sync/RemoteRecurringCompletionRules.h"

#include "matching/MatchText.h"
#include "model/DateFormatters.h"

namespace quorvin {

namespace {
bool completionDateParses(const ReminderPayload &item)
{
    return item.completion_date && DateFormatters::parseISO8601(*item.completion_date).has_value();
}
} // namespace

bool RemoteRecurringCompletionRules::isRemoteRecurringActiveCandidate(const ReminderPayload &item)
{
    return !item.is_completed && !MatchText::normalized(item.repeat_type).isEmpty()
        && !MatchText::trimmed(item.due_date).isEmpty();
}

bool RemoteRecurringCompletionRules::isRemoteRecurringCompletedOccurrenceCandidate(const ReminderPayload &item)
{
    return item.is_completed && MatchText::normalized(item.repeat_type).isEmpty()
        && MatchText::normalized(item.repeat_summary).isEmpty() && !MatchText::trimmed(item.due_date).isEmpty()
        && completionDateParses(item);
}

bool RemoteRecurringCompletionRules::isRemoteRecurringCompletionCommand(const ReminderPayload &item)
{
    return item.is_completed && !MatchText::normalized(item.repeat_type).isEmpty()
        && !MatchText::trimmed(item.due_date).isEmpty() && completionDateParses(item);
}

bool RemoteRecurringCompletionRules::sameRecurringCompletionIdentityByListIDAndExactPriority(
    const ReminderPayload &a, const ReminderPayload &b)
{
    if (const auto listB = MatchText::trimmed(b.list_id); !listB.isEmpty()) {
        if (MatchText::trimmed(a.list_id) != listB) {
            return false;
        }
    } else if (const auto nameB = MatchText::normalized(b.list_name); !nameB.isEmpty()) {
        if (MatchText::normalized(a.list_name) != nameB) {
            return false;
        }
    }
    const auto title = MatchText::normalized(a.title);
    return title == MatchText::normalized(b.title) && !title.isEmpty()
        && MatchText::normalized(a.notes) == MatchText::normalized(b.notes)
        && MatchText::normalized(a.url) == MatchText::normalized(b.url) && a.priority == b.priority;
}

} // namespace quorvin
