#include "matching/ReminderMatchIndex.h"

#include <QHashFunctions>

#include <algorithm>

namespace quorvin {

namespace {

template <typename Table> void insertInto(Table &table, const QString &key, const QString &localID)
{
    auto &ids = table[key];
    if (!ids.contains(localID)) {
        ids.append(localID);
    }
}

template <typename Table, typename Key> void removeFrom(Table &table, const Key &key, const QString &localID)
{
    const auto found = table.find(key);
    if (found == table.end()) {
        return;
    }
    const qsizetype at = found->indexOf(localID);
    if (at < 0) {
        return;
    }
    // Buckets are unordered: the last id takes the removed one's place.
    if (at != found->size() - 1) {
        (*found)[at] = found->last();
    }
    found->removeLast();
    if (found->isEmpty()) {
        table.erase(found);
    }
}

} // namespace

size_t ReminderMatchIndex::bucketHash(const ReminderMatchRecord &r, Bucket bucket)
{
    const size_t priority = r.priority ? qHashMulti(0, true, *r.priority) : 0;
    const size_t base = qHashMulti(0, r.title, r.notes, r.dueDate, r.hasDueTime, r.url, priority);
    switch (bucket) {
    case Bucket::Stable:
        return qHashMulti(base, r.repeatType, r.repeatSummary, r.isCompleted, r.completionDate);
    case Bucket::CompletionAgnostic:
        return qHashMulti(base, r.repeatType, r.repeatSummary);
    case Bucket::CompletedOccurrence:
        return qHashMulti(base, r.isCompleted);
    }
    return base;
}

bool ReminderMatchIndex::sameBucket(const ReminderMatchRecord &a, const ReminderMatchRecord &b, Bucket bucket)
{
    ++m_metrics.comparedRecordCount;
    if (a.title != b.title || a.notes != b.notes || a.dueDate != b.dueDate || a.hasDueTime != b.hasDueTime
        || a.url != b.url || a.priority != b.priority) {
        return false;
    }
    switch (bucket) {
    case Bucket::Stable:
        return a.repeatType == b.repeatType && a.repeatSummary == b.repeatSummary && a.isCompleted == b.isCompleted
            && a.completionDate == b.completionDate;
    case Bucket::CompletionAgnostic:
        return a.repeatType == b.repeatType && a.repeatSummary == b.repeatSummary;
    case Bucket::CompletedOccurrence:
        return a.isCompleted == b.isCompleted;
    }
    return false;
}

ReminderMatchIndex::BucketTable &ReminderMatchIndex::table(Bucket bucket)
{
    switch (bucket) {
    case Bucket::Stable:
        return m_localIDsByStableKey;
    case Bucket::CompletionAgnostic:
        return m_localIDsByCompletionAgnosticKey;
    case Bucket::CompletedOccurrence:
        break;
    }
    return m_localIDsByCompletedOccurrenceKey;
}

ReminderMatchIndex::ReminderMatchIndex(const QList<ReminderMatchRecord> &records)
{
    reserve(records.size());
    for (const auto &record : records) {
        upsert(record);
    }
}

void ReminderMatchIndex::reserve(qsizetype count)
{
    m_recordsByLocalID.reserve(count);
    for (const auto bucket : {Bucket::Stable, Bucket::CompletionAgnostic, Bucket::CompletedOccurrence}) {
        table(bucket).reserve(count);
    }
}

void ReminderMatchIndex::upsert(ReminderMatchRecord record)
{
    remove(record.localID);
    for (const auto &id : record.externalIDs) {
        if (!id.isEmpty()) {
            insertInto(m_localIDsByExternalID, id, record.localID);
        }
    }
    // A local id enters a bucket only here, right after it left every bucket, so it is never
    // listed twice.
    for (const auto bucket : {Bucket::Stable, Bucket::CompletionAgnostic, Bucket::CompletedOccurrence}) {
        table(bucket)[bucketHash(record, bucket)].append(record.localID);
    }
    const QString localID = record.localID;
    m_recordsByLocalID.emplace(localID, std::move(record));
}

void ReminderMatchIndex::remove(const QString &localID)
{
    const auto found = m_recordsByLocalID.find(localID);
    if (found == m_recordsByLocalID.end()) {
        return;
    }
    const ReminderMatchRecord record = std::move(*found);
    m_recordsByLocalID.erase(found);
    for (const auto &id : record.externalIDs) {
        removeFrom(m_localIDsByExternalID, id, localID);
    }
    for (const auto bucket : {Bucket::Stable, Bucket::CompletionAgnostic, Bucket::CompletedOccurrence}) {
        removeFrom(table(bucket), bucketHash(record, bucket), localID);
    }
}

std::optional<ReminderMatchRecord> ReminderMatchIndex::exactCandidate(const QString &localID)
{
    ++m_metrics.exactLookupCount;
    const auto found = m_recordsByLocalID.constFind(localID);
    if (found == m_recordsByLocalID.cend()) {
        return std::nullopt;
    }
    ++m_metrics.returnedCandidateCount;
    return *found;
}

QList<ReminderMatchRecord> ReminderMatchIndex::externalCandidates(const QSet<QString> &externalIDs)
{
    ++m_metrics.externalLookupCount;
    IDList localIDs;
    for (const auto &id : externalIDs) {
        for (const auto &localID : m_localIDsByExternalID.value(id)) {
            if (!localIDs.contains(localID)) {
                localIDs.append(localID);
            }
        }
    }
    QList<ReminderMatchRecord> found;
    for (const auto &id : std::as_const(localIDs)) {
        const auto record = m_recordsByLocalID.constFind(id);
        if (record != m_recordsByLocalID.cend()) {
            found.append(*record);
        }
    }
    return records(std::move(found));
}

QList<ReminderMatchRecord> ReminderMatchIndex::bucketRecords(const ReminderMatchRecord &matching, Bucket bucket)
{
    const BucketTable &ids = table(bucket);
    const auto bucketIDs = ids.constFind(bucketHash(matching, bucket));
    QList<ReminderMatchRecord> found;
    if (bucketIDs != ids.cend()) {
        for (const auto &id : *bucketIDs) {
            const auto record = m_recordsByLocalID.constFind(id);
            if (record != m_recordsByLocalID.cend() && sameBucket(*record, matching, bucket)) {
                found.append(*record);
            }
        }
    }
    return records(std::move(found));
}

QList<ReminderMatchRecord> ReminderMatchIndex::stableCandidates(const ReminderMatchRecord &matching)
{
    ++m_metrics.stableLookupCount;
    return bucketRecords(matching, Bucket::Stable);
}

QList<ReminderMatchRecord> ReminderMatchIndex::completionAgnosticCandidates(const ReminderMatchRecord &matching)
{
    ++m_metrics.completionAgnosticLookupCount;
    return bucketRecords(matching, Bucket::CompletionAgnostic);
}

QList<ReminderMatchRecord> ReminderMatchIndex::completedOccurrenceCandidates(const ReminderMatchRecord &matching)
{
    ++m_metrics.completedOccurrenceLookupCount;
    return bucketRecords(matching, Bucket::CompletedOccurrence);
}

QList<ReminderMatchRecord> ReminderMatchIndex::records(QList<ReminderMatchRecord> found)
{
    std::sort(found.begin(), found.end(), [](const ReminderMatchRecord &a, const ReminderMatchRecord &b) {
        if (a.creationSortTimestamp != b.creationSortTimestamp) {
            return a.creationSortTimestamp < b.creationSortTimestamp;
        }
        return a.localID < b.localID;
    });
    m_metrics.returnedCandidateCount += found.size();
    return found;
}

} // namespace quorvin
