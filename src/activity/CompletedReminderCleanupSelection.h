#pragma once

#include "activity/CompletedReminderCleanupCandidate.h"
#include "activity/CompletedReminderCleanupPlan.h"
#include "activity/LocalCompletedRecord.h"
#include "model/ReminderPayload.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// Which local completed reminders the cloud no longer accounts for. The cloud's completed items
// are the reference: a local completed reminder that one of them names stays, then for each
// content signature as many more as the cloud holds completed items with it; the rest are
// candidates. A local reminder that any cloud item names, open or completed, never is one: its
// completion may not have reached the cloud yet, and deleting it would spread as a delete.
namespace quorvin::CompletedReminderCleanupSelection {

// `serverToLocalReminderIDs` is the reminder id mapping; `localCompleted` the local completed
// reminders in store order.
CompletedReminderCleanupPlan completedReminderCleanupPlan(const QList<ReminderPayload> &remoteItems,
    const QHash<QString, QString> &serverToLocalReminderIDs, const QList<LocalCompletedRecord> &localCompleted);

// The counting match. Ids in `preservingLocalIDs` stay and each consumes one count of its recorded
// signature (its own when none is recorded); ids in `namedLocalIDs` stay and consume nothing.
// Sorted by list name, newest completion, title, local id.
QList<CompletedReminderCleanupCandidate> completedCleanupCandidates(const QList<LocalCompletedRecord> &localCompleted,
    const QSet<QString> &preservingLocalIDs, const QHash<QString, QString> &preservingLocalSignaturesByID,
    const QHash<QString, int> &preservingSignatureCounts, const QSet<QString> &namedLocalIDs);

QString completedReminderCleanupSummary(const CompletedReminderCleanupPlan &plan);
QString completedReminderCleanupByListText(const QList<CompletedReminderCleanupCandidate> &candidates);
// One line for each of the first twelve candidates.
QStringList completedReminderCleanupDetailLines(const CompletedReminderCleanupPlan &plan);

} // namespace quorvin::CompletedReminderCleanupSelection
