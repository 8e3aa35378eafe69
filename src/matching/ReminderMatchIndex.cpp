#include "matching/ReminderMatchIndex.h"

#include <QHashFunctions>

#include <algorithm>

namespace quorvin {

namespace {

size_t hashPriority(const std::optional<qint64> &priority, size_t seed)
{
    return priority ? qHashMulti(seed, true, *priority) : qHashMulti(seed, false);
}

ReminderMatchIndex::StableBucketKey stableKey(const ReminderMatchRecord &r)
{
    return {r.title, r.notes, r.dueDate, r.hasDueTime, r.url, r.repeatType, r.repeatSummary, r.priority, r.isCompleted,
        r.completionDate};
}

ReminderMatchIndex::CompletionAgnosticBucketKey completionAgnosticKey(const ReminderMatchRecord &r)
{
    return {r.title, r.notes, r.dueDate, r.hasDueTime, r.url, r.repeatType, r.repeatSummary, r.priority};
}

ReminderMatchIndex::CompletedOccurrenceBucketKey completedOccurrenceKey(const ReminderMatchRecord &r)
{
    return {r.title, r.notes, r.dueDate, r.hasDueTime, r.url, r.priority, r.isCompleted};
}

template <typename Key> void insertInto(QHash<Key, QSet<QString>> &table, const Key &key, const QString &localID)
{
    table[key].insert(localID);
}

template <typename Key> void removeFrom(QHash<Key, QSet<QString>> &table, const Key &key, const QString &localID)
{
    const auto found = table.find(key);
    if (found == table.end())
        return;
    found->remove(localID);
    if (found->isEmpty())
        table.erase(found);
}

} // namespace

size_t qHash(const ReminderMatchIndex::StableBucketKey &k, size_t seed) noexcept
{
    return hashPriority(k.priority,
        qHashMulti(seed, k.title, k.notes, k.dueDate, k.hasDueTime, k.url, k.repeatType, k.repeatSummary, k.isCompleted,
            k.completionDate));
}

size_t qHash(const ReminderMatchIndex::CompletionAgnosticBucketKey &k, size_t seed) noexcept
{
    return hashPriority(
        k.priority, qHashMulti(seed, k.title, k.notes, k.dueDate, k.hasDueTime, k.url, k.repeatType, k.repeatSummary));
}

size_t qHash(const ReminderMatchIndex::CompletedOccurrenceBucketKey &k, size_t seed) noexcept
{
    return hashPriority(k.priority, qHashMulti(seed, k.title, k.notes, k.dueDate, k.hasDueTime, k.url, k.isCompleted));
}

ReminderMatchIndex::ReminderMatchIndex(const QList<ReminderMatchRecord> &records)
{
    m_recordsByLocalID.reserve(records.size());
    for (const auto &record : records)
        upsert(record);
}

void ReminderMatchIndex::upsert(const ReminderMatchRecord &record)
{
    remove(record.localID);
    m_recordsByLocalID.insert(record.localID, record);
    for (const auto &id : record.externalIDs) {
        if (!id.isEmpty())
            insertInto(m_localIDsByExternalID, id, record.localID);
    }
    insertInto(m_localIDsByStableKey, stableKey(record), record.localID);
    insertInto(m_localIDsByCompletionAgnosticKey, completionAgnosticKey(record), record.localID);
    insertInto(m_localIDsByCompletedOccurrenceKey, completedOccurrenceKey(record), record.localID);
}

void ReminderMatchIndex::remove(const QString &localID)
{
    const auto found = m_recordsByLocalID.find(localID);
    if (found == m_recordsByLocalID.end())
        return;
    const ReminderMatchRecord record = std::move(*found);
    m_recordsByLocalID.erase(found);
    for (const auto &id : record.externalIDs)
        removeFrom(m_localIDsByExternalID, id, localID);
    removeFrom(m_localIDsByStableKey, stableKey(record), localID);
    removeFrom(m_localIDsByCompletionAgnosticKey, completionAgnosticKey(record), localID);
    removeFrom(m_localIDsByCompletedOccurrenceKey, completedOccurrenceKey(record), localID);
}

std::optional<ReminderMatchRecord> ReminderMatchIndex::exactCandidate(const QString &localID)
{
    ++m_metrics.exactLookupCount;
    const auto found = m_recordsByLocalID.constFind(localID);
    if (found == m_recordsByLocalID.cend())
        return std::nullopt;
    ++m_metrics.returnedCandidateCount;
    return *found;
}

QList<ReminderMatchRecord> ReminderMatchIndex::externalCandidates(const QSet<QString> &externalIDs)
{
    ++m_metrics.externalLookupCount;
    QSet<QString> localIDs;
    for (const auto &id : externalIDs)
        localIDs.unite(m_localIDsByExternalID.value(id));
    return records(localIDs);
}

QList<ReminderMatchRecord> ReminderMatchIndex::stableCandidates(const ReminderMatchRecord &matching)
{
    ++m_metrics.stableLookupCount;
    return records(m_localIDsByStableKey.value(stableKey(matching)));
}

QList<ReminderMatchRecord> ReminderMatchIndex::completionAgnosticCandidates(const ReminderMatchRecord &matching)
{
    ++m_metrics.completionAgnosticLookupCount;
    return records(m_localIDsByCompletionAgnosticKey.value(completionAgnosticKey(matching)));
}

QList<ReminderMatchRecord> ReminderMatchIndex::completedOccurrenceCandidates(const ReminderMatchRecord &matching)
{
    ++m_metrics.completedOccurrenceLookupCount;
    return records(m_localIDsByCompletedOccurrenceKey.value(completedOccurrenceKey(matching)));
}

QList<ReminderMatchRecord> ReminderMatchIndex::records(const QSet<QString> &localIDs)
{
    QList<ReminderMatchRecord> result;
    result.reserve(localIDs.size());
    for (const auto &id : localIDs) {
        const auto found = m_recordsByLocalID.constFind(id);
        if (found != m_recordsByLocalID.cend())
            result.append(*found);
    }
    std::sort(result.begin(), result.end(), [](const ReminderMatchRecord &a, const ReminderMatchRecord &b) {
        if (a.creationSortTimestamp != b.creationSortTimestamp)
            return a.creationSortTimestamp < b.creationSortTimestamp;
        return a.localID < b.localID;
    });
    m_metrics.returnedCandidateCount += result.size();
    return result;
}

} // namespace quorvin
