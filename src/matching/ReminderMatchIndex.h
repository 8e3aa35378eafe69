#pragma once

#include "matching/ReminderMatchIndexMetrics.h"
#include "matching/ReminderMatchRecord.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVarLengthArray>

#include <optional>

namespace quorvin {

// Answers which local reminders a cloud item could be without comparing it with every local
// reminder: one record per local reminder and lookup tables by external id and by three bucket
// keys of decreasing strictness. Every list lookup returns records oldest first (creation time,
// then local id), so no result depends on hash order.
class ReminderMatchIndex {
public:
    ReminderMatchIndex() = default;
    explicit ReminderMatchIndex(const QList<ReminderMatchRecord> &records);

    // Replaces whatever is indexed under the record's local id.
    void upsert(ReminderMatchRecord record);
    // Forgets one local id; nothing happens for an id the index does not hold.
    void remove(const QString &localID);

    std::optional<ReminderMatchRecord> exactCandidate(const QString &localID);
    // Ids are looked up as given; the caller trims them.
    QList<ReminderMatchRecord> externalCandidates(const QSet<QString> &externalIDs);
    // The query record's own id, list, external ids and timestamp play no part.
    QList<ReminderMatchRecord> stableCandidates(const ReminderMatchRecord &matching);
    QList<ReminderMatchRecord> completionAgnosticCandidates(const ReminderMatchRecord &matching);
    QList<ReminderMatchRecord> completedOccurrenceCandidates(const ReminderMatchRecord &matching);

    // Makes room for `count` records before a bulk load.
    void reserve(qsizetype count);

    const ReminderMatchIndexMetrics &metrics() const { return m_metrics; }
    qsizetype size() const { return m_recordsByLocalID.size(); }
    bool contains(const QString &localID) const { return m_recordsByLocalID.contains(localID); }

private:
    enum class Bucket { Stable, CompletionAgnostic, CompletedOccurrence };
    // The local ids of one bucket hash: small, unordered, without repeats. Records whose keys merely
    // share a hash are told apart on lookup by their fields.
    using IDList = QVarLengthArray<QString, 1>;
    using BucketTable = QHash<size_t, IDList>;

    static size_t bucketHash(const ReminderMatchRecord &record, Bucket bucket);
    // Counts itself in the metrics: every lookup compares records through it.
    bool sameBucket(const ReminderMatchRecord &a, const ReminderMatchRecord &b, Bucket bucket);
    BucketTable &table(Bucket bucket);
    QList<ReminderMatchRecord> bucketRecords(const ReminderMatchRecord &matching, Bucket bucket);
    QList<ReminderMatchRecord> records(QList<ReminderMatchRecord> found);

    QHash<QString, ReminderMatchRecord> m_recordsByLocalID;
    QHash<QString, IDList> m_localIDsByExternalID;
    BucketTable m_localIDsByStableKey;
    BucketTable m_localIDsByCompletionAgnosticKey;
    BucketTable m_localIDsByCompletedOccurrenceKey;
    ReminderMatchIndexMetrics m_metrics;
};

} // namespace quorvin
