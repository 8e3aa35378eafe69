#pragma once

#include "activity/ActivityChangeLine.h"
#include "activity/RecurringActivityChanges.h"
#include "matching/ReminderRefreshItemChange.h"
#include "matching/ReminderRefreshListChange.h"
#include "model/ReminderListDirectoryPayload.h"
#include "model/ReminderPayload.h"

#include <QList>
#include <QSet>
#include <QString>

#include <optional>

namespace quorvin {
class RecurringActivityCandidateIndex;
}

// Compares a before and an after view of the reminders and lists and tells what the user would
// call the changes, one line per visible change. Completing a recurring reminder and the sync's
// replacement of a completed reminder cause several raw changes; they fold into the line of their
// cause. Pure functions of their inputs. The views share their reminders with the caller's
// journal: a comparison copies only the few reminders its lines are about.
namespace quorvin::ActivityChangeDetection {

QList<ReminderRefreshItemChange> reminderChanges(
    const QList<ReminderPayloadRef> &beforeItems, const QList<ReminderPayloadRef> &afterItems);
QList<ReminderRefreshListChange> listChanges(
    const QList<ReminderListDirectoryPayload> &beforeLists, const QList<ReminderListDirectoryPayload> &afterLists);

// Reminder lines in change order, then list lines.
QList<ActivityChangeLine> activityChangeLines(const QList<ReminderRefreshItemChange> &reminderChanges,
    const QList<ReminderRefreshListChange> &listChanges, const QList<ReminderPayloadRef> &beforeItems,
    const QList<ReminderPayloadRef> &afterItems);

RecurringActivityChanges recurringCompletionChanges(
    const QList<ReminderPayloadRef> &beforeItems, const QList<ReminderPayloadRef> &afterItems);
// Ids of new completed reminders that only replace an equal removed one.
QSet<QString> equivalentCompletedReplacementIDs(
    const QList<ReminderPayloadRef> &beforeItems, const QList<ReminderPayloadRef> &afterItems);
bool areEquivalentCompletedReminders(const ReminderPayload &old, const ReminderPayload &replacement);

bool isRecurringCompletionRollover(const ReminderPayload &before, const ReminderPayload &after);
std::optional<ReminderPayload> findNewCompletedCopy(
    const ReminderPayload &before, const RecurringActivityCandidateIndex &candidateIndex);
std::optional<ReminderPayload> findNewRecurringNextActive(
    const ReminderPayload &before, const RecurringActivityCandidateIndex &candidateIndex);
bool recurringNextActiveMatches(const ReminderPayload &before, const ReminderPayload &nextActive);
bool reminderListsMatch(const ReminderPayload &a, const ReminderPayload &b);

std::optional<ActivityChangeLine> reminderActivityLine(const ReminderRefreshItemChange &change,
    const std::optional<ReminderPayload> &recurringCompletedCopy,
    const std::optional<ReminderPayload> &recurringNextActive);
QString reminderEditAction(const ReminderPayload &before, const ReminderPayload &after);
bool isImplicitStartDateAliasChange(const ReminderPayload &before, const ReminderPayload &after);

// The trimmed repeat summary, else the trimmed repeat type.
QString recurrenceText(const ReminderPayload &reminder);
// "yyyy-MM-dd" of the China calendar day of an instant text; any other text trimmed.
QString dateOnlyKey(const std::optional<QString> &text);
// 00:00:00 on the China calendar; false for a text that is no instant.
bool isChinaMidnight(const std::optional<QString> &text);

} // namespace quorvin::ActivityChangeDetection
