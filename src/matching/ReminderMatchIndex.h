#pragma once

#include "matching/ReminderMatchIndexMetrics.h"
#include "matching/ReminderMatchRecord.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

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
    void upsert(const ReminderMatchRecord &record);
    // Forgets one local id; nothing happens for an id the index does not hold.
    void remove(const QString &localID);

    std::optional<ReminderMatchRecord> exactCandidate(const QString &localID);
    // Ids are looked up as given; the caller trims them.
    QList<ReminderMatchRecord> externalCandidates(const QSet<QString> &externalIDs);
    // The query record's own id, list, external ids and timestamp play no part.
    QList<ReminderMatchRecord> stableCandidates(const ReminderMatchRecord &matching);
    QList<ReminderMatchRecord> completionAgnosticCandidates(const ReminderMatchRecord &matching);
    QList<ReminderMatchRecord> completedOccurrenceCandidates(const ReminderMatchRecord &matching);

    const ReminderMatchIndexMetrics &metrics() const { return m_metrics; }
    qsizetype size() const { return m_recordsByLocalID.size(); }
    bool contains(const QString &localID) const { return m_recordsByLocalID.contains(localID); }

    struct StableBucketKey {
        QString title, notes, dueDate;
        bool hasDueTime;
        QString url, repeatType, repeatSummary;
        std::optional<qint64> priority;
        bool isCompleted;
        QString completionDate;
        friend bool operator==(const StableBucketKey &, const StableBucketKey &) = default;
    };
    struct CompletionAgnosticBucketKey {
        QString title, notes, dueDate;
        bool hasDueTime;
        QString url, repeatType, repeatSummary;
        std::optional<qint64> priority;
        friend bool operator==(const CompletionAgnosticBucketKey &, const CompletionAgnosticBucketKey &) = default;
    };
    struct CompletedOccurrenceBucketKey {
        QString title, notes, dueDate;
        bool hasDueTime;
        QString url;
        std::optional<qint64> priority;
        bool isCompleted;
        friend bool operator==(const CompletedOccurrenceBucketKey &, const CompletedOccurrenceBucketKey &) = default;
    };

private:
    QList<ReminderMatchRecord> records(const QSet<QString> &localIDs);

    QHash<QString, ReminderMatchRecord> m_recordsByLocalID;
    QHash<QString, QSet<QString>> m_localIDsByExternalID;
    QHash<StableBucketKey, QSet<QString>> m_localIDsByStableKey;
    QHash<CompletionAgnosticBucketKey, QSet<QString>> m_localIDsByCompletionAgnosticKey;
    QHash<CompletedOccurrenceBucketKey, QSet<QString>> m_localIDsByCompletedOccurrenceKey;
    ReminderMatchIndexMetrics m_metrics;
};

size_t qHash(const ReminderMatchIndex::StableBucketKey &key, size_t seed = 0) noexcept;
size_t qHash(const ReminderMatchIndex::CompletionAgnosticBucketKey &key, size_t seed = 0) noexcept;
size_t qHash(const ReminderMatchIndex::CompletedOccurrenceBucketKey &key, size_t seed = 0) noexcept;

} // namespace quorvin
