#pragma once

#include "model/ReminderPayload.h"

#include <QString>

#include <optional>

namespace quorvin {

// Pure tests that decide whether two reminders stand for the same reminder while the fields a
// recurring completion legitimately changes (due date, completion, recurrence) differ. They read
// no store, write nothing and never throw.
//
// The identity rule here never compares list ids: it relates local reminders to cloud items, whose
// list ids live in different id spaces. The engine's rule for comparing two cloud items with each
// other does compare list ids (RemoteRecurringCompletionRules::
// sameRecurringCompletionIdentityByListIDAndExactPriority).
struct RecurringCompletionPredicates {
    // Same list name (when b has one), same non-empty normalised title, same notes, url and
    // priority.
    static bool sameRemoteRecurringCompletionIdentity(const ReminderPayload &a, const ReminderPayload &b);
    // An active recurring item beside the completed, detached copy of one of its earlier occurrences.
    static bool isRemoteRecurringCompletionPair(
        const ReminderPayload &activeItem, const ReminderPayload &completedOccurrence);
    // The local series still shows the occurrence the remote side completed.
    static bool localReminderCanApplyRemoteRecurringCompletion(
        const ReminderPayload &local, const ReminderPayload &activeItem, const ReminderPayload &completedOccurrence);
    // Trimmed texts; both absent match; readable instants match when less than 300 s apart.
    static bool completionDatesMatch(const std::optional<QString> &a, const std::optional<QString> &b);
    static bool sameCompletedOccurrenceIdentity(const ReminderPayload &a, const ReminderPayload &b);
    // Both completed copies of the same occurrence, the local one detached from its series.
    static bool localCompletedOccurrence(const ReminderPayload &local, const ReminderPayload &remote);
    // The stable comparison without completion state and date.
    static bool stableReminderPayloadIgnoringCompletion(
        const ReminderPayload &local, const ReminderPayload &cloudItem, const std::optional<QString> &localListID);
    // A repeat type, a repeat summary or a structured rule makes a payload recurring.
    static bool remoteReminderHasRecurrence(const ReminderPayload &payload);
};

} // namespace quorvin
