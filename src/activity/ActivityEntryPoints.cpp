#include "activity/ActivityEntryPoints.h"

#include "activity/ActivityChangeDetection.h"
#include "activity/ActivityTexts.h"
#include "activity/Strings.h"

namespace quorvin::ActivityEntryPoints {

bool isUserRefreshReason(const QString &reason)
{
    // Whatever refresh reads the store sees the user's edits made since the last one: a pull's own
    // refresh runs while an edit still waits out its debounce. The start-up read alone has nothing
    // to compare with. The echoes of this machine's own writes are told apart by their ids and keys.
    return reason != ActivityText::reasonStartup;
}

QList<ActivityChangeLine> cloudPullChangeLines(const QList<ReminderPayloadRef> &beforeItems,
    const QList<ReminderListDirectoryPayload> &beforeLists, const QList<ReminderPayloadRef> &afterItems,
    const QList<ReminderListDirectoryPayload> &afterLists)
{
    return ActivityChangeDetection::activityChangeLines(
        ActivityChangeDetection::reminderChanges(beforeItems, afterItems),
        ActivityChangeDetection::listChanges(beforeLists, afterLists), beforeItems, afterItems);
}

ActivityEntryOutcome cloudPullActivity(bool fullSnapshot, const QList<ReminderPayloadRef> &beforeItems,
    const QList<ReminderListDirectoryPayload> &beforeLists, const QList<ReminderPayloadRef> &afterItems,
    const QList<ReminderListDirectoryPayload> &afterLists, ActivityEchoKeys &echoKeys, const QDateTime &now)
{
    const auto lines = cloudPullChangeLines(beforeItems, beforeLists, afterItems, afterLists);
    return cloudPullActivity(fullSnapshot, lines, ActivityEchoKeys::cloudActivityOriginKeys(lines), echoKeys, now);
}

ActivityEntryOutcome cloudPullActivity(bool fullSnapshot, const QList<ActivityChangeLine> &lines,
    const QList<QStringList> &lineKeys, ActivityEchoKeys &echoKeys, const QDateTime &now)
{
    ActivityEntryOutcome outcome;
    if (lines.isEmpty()) {
        return outcome;
    }
    echoKeys.rememberCloudActivity(lineKeys, now);
    if (echoKeys.shouldSuppressCloudPullActivity(lineKeys, now)) {
        outcome.diagnosticLine = ActivityText::logCloudPullSuppressed;
        return outcome;
    }
    outcome.category = ActivityText::categorySync;
    outcome.summary = ActivityTexts::cloudPullActivitySummary(fullSnapshot, lines);
    outcome.details = ActivityTexts::activityDetailLines(lines);
    return outcome;
}

ActivityEntryOutcome localRefreshActivity(
    const ReminderRefreshEvent &event, ActivityEchoKeys &echoKeys, const QDateTime &now)
{
    ActivityEntryOutcome outcome;
    if (!isUserRefreshReason(event.reason)) {
        return outcome;
    }
    QList<ReminderPayloadRef> beforeItems;
    QList<ReminderPayloadRef> afterItems;
    for (const auto &change : event.reminderChanges) {
        if (change.before) {
            beforeItems.append(change.before);
        }
        if (change.after) {
            afterItems.append(change.after);
        }
    }
    const auto lines = ActivityChangeDetection::activityChangeLines(
        event.reminderChanges, event.listChanges, beforeItems, afterItems);
    QList<ActivityChangeLine> kept;
    for (const auto &line : lines) {
        if (!echoKeys.isCloudEcho(line, now)) {
            kept.append(line);
        }
    }
    if (kept.isEmpty()) {
        // The engine's own re-reads find nothing of the user's most of the time; only a refresh
        // the store's change notice or the user asked for says so.
        if (event.reason != ActivityText::reasonEventKitChange && event.reason != ActivityText::reasonEventKitSettle
            && event.reason != ActivityText::reasonManual) {
            return outcome;
        }
        outcome.diagnosticLine
            = ActivityText::logLocalSuppressedPrefix + event.reason + ActivityText::logLocalSuppressedSuffix;
        return outcome;
    }
    echoKeys.rememberLocalActivity(kept, now);
    outcome.category = ActivityText::categoryUser;
    outcome.summary = ActivityTexts::localActivitySummary(kept);
    outcome.details = ActivityTexts::activityDetailLines(kept);
    return outcome;
}

} // namespace quorvin::ActivityEntryPoints
