#pragma once

#include "model/ReminderPayload.h"

namespace quorvin {

// How the engine tells the shapes in which the cloud reports the completion of one occurrence of a
// recurring reminder, comparing cloud items with each other. Pure: they read nothing else, write
// nothing and never throw. Only `repeat_type` makes an item recurring here.
struct RemoteRecurringCompletionRules {
    // Open, with a repeat type and a due date.
    static bool isRemoteRecurringActiveCandidate(const ReminderPayload &item);
    // Completed, without repeat type or repeat summary, with a due date and a readable completion
    // date: the detached copy of one finished occurrence.
    static bool isRemoteRecurringCompletedOccurrenceCandidate(const ReminderPayload &item);
    // Completed but still recurring, with a due date and a readable completion date: asks this
    // machine to complete the current occurrence of the series.
    static bool isRemoteRecurringCompletionCommand(const ReminderPayload &item);
    // Two cloud items are one reminder for pairing: the same list, by list id when b has one (list
    // ids of cloud items share one id space) and else by list name when b has one; the same
    // non-empty title, the same notes and url, and exactly the same priority. Not the bridge's
    // RecurringCompletionPredicates::sameRemoteRecurringCompletionIdentity, which relates a local
    // reminder to a cloud item and so never compares list ids.
    static bool sameRecurringCompletionIdentityByListIDAndExactPriority(
        const ReminderPayload &a, const ReminderPayload &b);
};

} // namespace quorvin
