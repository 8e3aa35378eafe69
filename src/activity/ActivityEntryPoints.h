#pragma once

#include "activity/ActivityChangeLine.h"
#include "activity/ActivityEchoKeys.h"
#include "activity/ActivityEntryOutcome.h"
#include "matching/ReminderPayloadRef.h"
#include "matching/ReminderRefreshEvent.h"
#include "model/ReminderListDirectoryPayload.h"

#include <QDateTime>
#include <QList>

// The two ways changes reach the activity log, each keeping the echoes of the other out: a cloud
// pull applied to Reminders, logged as "同步", and a refresh after the user's own edits, logged as
// "用户操作". Both update the echo keys they are given.
namespace quorvin::ActivityEntryPoints {

// "eventkit-change", "eventkit-settle" and "manual": the refreshes that follow the user's edits.
bool isUserRefreshReason(const QString &reason);

// What an applied envelope changed, from the reminders and lists before and after the apply. Pure,
// and proportional to the whole store, so the engine may run it away from the main thread.
QList<ActivityChangeLine> cloudPullChangeLines(const QList<ReminderPayloadRef> &beforeItems,
    const QList<ReminderListDirectoryPayload> &beforeLists, const QList<ReminderPayloadRef> &afterItems,
    const QList<ReminderListDirectoryPayload> &afterLists);

// The entry of those lines; `lineKeys` holds the ActivityEchoKeys::cloudActivityOriginKeys of each
// line. The keys of every line are remembered before the echo check, so a suppressed pull still
// marks its writes.
ActivityEntryOutcome cloudPullActivity(bool fullSnapshot, const QList<ActivityChangeLine> &lines,
    const QList<QStringList> &lineKeys, ActivityEchoKeys &echoKeys, const QDateTime &now);

// Both steps at once.
ActivityEntryOutcome cloudPullActivity(bool fullSnapshot, const QList<ReminderPayloadRef> &beforeItems,
    const QList<ReminderListDirectoryPayload> &beforeLists, const QList<ReminderPayloadRef> &afterItems,
    const QList<ReminderListDirectoryPayload> &afterLists, ActivityEchoKeys &echoKeys, const QDateTime &now);

// For every refresh event; only the user's refreshes are logged, without the cloud's echoes.
ActivityEntryOutcome localRefreshActivity(
    const ReminderRefreshEvent &event, ActivityEchoKeys &echoKeys, const QDateTime &now);

} // namespace quorvin::ActivityEntryPoints
