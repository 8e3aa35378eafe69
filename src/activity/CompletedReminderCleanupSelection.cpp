#include "activity/CompletedReminderCleanupSelection.h"

#include "activity/Strings.h"
#include "matching/MatchText.h"

#include <QCollator>
#include <QMap>

#include <algorithm>

namespace quorvin::CompletedReminderCleanupSelection {

using MatchText::trimmed;

namespace {

constexpr int maxDetailLines = 12;

// The local id a cloud item names through its mapping: its server id looked up, trimmed.
QString mappedLocalID(const ReminderPayload &item, const QHash<QString, QString> &serverToLocal)
{
    const QString serverID = item.local_id.trimmed();
    if (serverID.isEmpty()) {
        return {};
    }
    return serverToLocal.value(serverID).trimmed();
}

void sortCandidates(QList<CompletedReminderCleanupCandidate> &candidates)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    // Texts that differ only where the collation does not look fall through to the next key, so
    // the order stays strict and weak.
    std::sort(candidates.begin(), candidates.end(),
        [&collator](const CompletedReminderCleanupCandidate &a, const CompletedReminderCleanupCandidate &b) {
            if (a.listName != b.listName) {
                if (const int order = collator.compare(a.listName, b.listName); order != 0) {
                    return order < 0;
                }
            }
            const QString completionA = a.completionDate.value_or(QString());
            const QString completionB = b.completionDate.value_or(QString());
            if (completionA != completionB) {
                return completionA > completionB;
            }
            if (a.title != b.title) {
                if (const int order = collator.compare(a.title, b.title); order != 0) {
                    return order < 0;
                }
            }
            return a.localID < b.localID;
        });
}

} // namespace

CompletedReminderCleanupPlan completedReminderCleanupPlan(const QList<ReminderPayload> &remoteItems,
    const QHash<QString, QString> &serverToLocalReminderIDs, const QList<LocalCompletedRecord> &localCompleted)
{
    CompletedReminderCleanupPlan plan;
    QSet<QString> preservedIDs;
    QHash<QString, QString> signaturesByID;
    QHash<QString, int> signatureCounts;
    QSet<QString> namedIDs;
    for (const auto &item : remoteItems) {
        const QString sourceID = trimmed(item.source_item_id);
        const QString mappedID = mappedLocalID(item, serverToLocalReminderIDs);
        // Every id any cloud item names is kept out of the cleanup, whatever its completion state.
        for (const auto &id : {sourceID, mappedID}) {
            if (!id.isEmpty()) {
                namedIDs.insert(id);
            }
        }
        if (!item.is_completed) {
            continue;
        }
        ++plan.remoteCompletedCount;
        const QString signature = CompletedReminderCleanupCandidate::signatureOf(
            item.list_name, item.title, item.due_date, item.completion_date);
        ++signatureCounts[signature];
        const QString localID = sourceID.isEmpty() ? mappedID : sourceID;
        if (localID.isEmpty()) {
            ++plan.remoteWithoutSourceOrMappingCount;
            continue;
        }
        preservedIDs.insert(localID);
        signaturesByID.insert(localID, signature);
    }
    plan.preservedLocalIDCount = int(preservedIDs.size());
    plan.candidates
        = completedCleanupCandidates(localCompleted, preservedIDs, signaturesByID, signatureCounts, namedIDs);
    return plan;
}

QList<CompletedReminderCleanupCandidate> completedCleanupCandidates(const QList<LocalCompletedRecord> &localCompleted,
    const QSet<QString> &preservingLocalIDs, const QHash<QString, QString> &preservingLocalSignaturesByID,
    const QHash<QString, int> &preservingSignatureCounts, const QSet<QString> &namedLocalIDs)
{
    QSet<QString> preserved;
    for (const auto &id : preservingLocalIDs) {
        if (const QString value = id.trimmed(); !value.isEmpty()) {
            preserved.insert(value);
        }
    }
    QHash<QString, QString> signaturesByID;
    for (auto it = preservingLocalSignaturesByID.cbegin(); it != preservingLocalSignaturesByID.cend(); ++it) {
        const QString key = it.key().trimmed();
        if (!key.isEmpty() && !it.value().trimmed().isEmpty()) {
            signaturesByID.insert(key, it.value());
        }
    }
    QHash<QString, int> counts = preservingSignatureCounts;

    QSet<QString> kept;
    if (!preserved.isEmpty()) {
        for (const auto &record : localCompleted) {
            if (!preserved.contains(record.localID)) {
                continue;
            }
            const QString signature = signaturesByID.value(record.localID, record.signature);
            counts[signature] = std::max(0, counts.value(signature) - 1);
            kept.insert(record.localID);
        }
    }
    for (const auto &id : namedLocalIDs) {
        kept.insert(id.trimmed());
    }

    QList<CompletedReminderCleanupCandidate> candidates;
    for (const auto &record : localCompleted) {
        if (kept.contains(record.localID)) {
            continue;
        }
        if (auto count = counts.find(record.signature); count != counts.end() && *count > 0) {
            --*count;
            kept.insert(record.localID);
            continue;
        }
        candidates.append({record.localID, record.localID, record.listName, record.title, record.dueDateString,
            record.completionDateString, record.signature});
    }
    sortCandidates(candidates);
    return candidates;
}

QString completedReminderCleanupByListText(const QList<CompletedReminderCleanupCandidate> &candidates)
{
    // QMap orders the names as plain text, so the unnamed list comes first.
    QMap<QString, int> countsByList;
    for (const auto &candidate : candidates) {
        ++countsByList[candidate.listName];
    }
    QStringList groups;
    for (auto it = countsByList.cbegin(); it != countsByList.cend(); ++it) {
        groups.append(
            (it.key().isEmpty() ? ActivityText::cleanupNoList : it.key()) + u'=' + QString::number(it.value()));
    }
    return groups.join(ActivityText::fullWidthComma);
}

QString completedReminderCleanupSummary(const CompletedReminderCleanupPlan &plan)
{
    QString summary = ActivityText::cleanupSummaryPrefix + QString::number(plan.remoteCompletedCount)
        + ActivityText::cleanupSummaryPreserved + QString::number(plan.preservedLocalIDCount)
        + ActivityText::cleanupSummaryCandidates + QString::number(plan.candidates.size());
    if (const QString byList = completedReminderCleanupByListText(plan.candidates); !byList.isEmpty()) {
        summary += ActivityText::fullWidthSemicolon + byList;
    }
    if (plan.remoteWithoutSourceOrMappingCount >= 1) {
        summary += ActivityText::cleanupSummaryWarningPrefix + QString::number(plan.remoteWithoutSourceOrMappingCount)
            + ActivityText::cleanupSummaryWarningSuffix;
    }
    return summary;
}

QStringList completedReminderCleanupDetailLines(const CompletedReminderCleanupPlan &plan)
{
    QStringList lines;
    for (const auto &candidate : plan.candidates.first(std::min<qsizetype>(plan.candidates.size(), maxDetailLines))) {
        lines.append(ActivityText::cleanupDetailList
            + (candidate.listName.isEmpty() ? ActivityText::cleanupNoList : candidate.listName)
            + ActivityText::cleanupDetailTitle + candidate.title + ActivityText::cleanupDetailDue
            + candidate.dueDate.value_or(ActivityText::cleanupDetailAbsent) + ActivityText::cleanupDetailCompleted
            + candidate.completionDate.value_or(ActivityText::cleanupDetailAbsent) + ActivityText::cleanupDetailLocalID
            + candidate.localID);
    }
    return lines;
}

} // namespace quorvin::CompletedReminderCleanupSelection
