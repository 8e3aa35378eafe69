#include "matching/CompletedReminderCandidateIndex.h"

#include "matching/MatchText.h"
#include "model/DateFormatters.h"

#include <QHashFunctions>
#include <QSet>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

using MatchText::normalized;
using MatchText::trimmed;

namespace {

constexpr qint64 bucketMs = 120000;

qint64 floorDiv(qint64 value, qint64 divisor)
{
    const qint64 q = value / divisor;
    return (value % divisor != 0 && value < 0) ? q - 1 : q;
}

std::optional<qint64> completionBucket(const QString &trimmedText)
{
    const auto instant = DateFormatters::parseISO8601(trimmedText);
    if (!instant) {
        return std::nullopt;
    }
    return floorDiv(instant->toMSecsSinceEpoch(), bucketMs);
}

QString bucketToken(qint64 bucket)
{
    return u"bucket:"_s + QString::number(bucket);
}

} // namespace

size_t qHash(const CompletedReminderCandidateIndex::Key &k, size_t seed) noexcept
{
    return qHashMulti(seed, k.listKey, k.title, k.notes, k.url, k.location, k.hasDueTime, k.priority.has_value(),
        k.priority.value_or(0), k.dueToken, k.completionToken);
}

QStringList CompletedReminderCandidateIndex::listKeys(const ReminderPayload &item)
{
    QStringList keys {u"id:"_s + trimmed(item.list_id)};
    const QString name = normalized(item.list_name);
    if (!name.isEmpty()) {
        keys.append(u"name:"_s + name);
    }
    return keys;
}

QStringList CompletedReminderCandidateIndex::dueTokens(const ReminderPayload &item)
{
    const QString due = trimmed(item.due_date);
    if (due.isEmpty()) {
        return {};
    }
    QStringList tokens {u"exact:"_s + due};
    if (!item.has_due_time) {
        if (const auto instant = DateFormatters::parseISO8601(due)) {
            const QDate day = instant->toUTC().date();
            tokens.append(u"day:%1-%2-%3"_s.arg(day.year()).arg(day.month()).arg(day.day()));
        }
    }
    return tokens;
}

QStringList CompletedReminderCandidateIndex::completionInsertionTokens(const ReminderPayload &item)
{
    const QString completion = trimmed(item.completion_date);
    if (completion.isEmpty()) {
        return {};
    }
    QStringList tokens {u"exact:"_s + completion};
    if (const auto bucket = completionBucket(completion)) {
        tokens.append(bucketToken(*bucket));
    }
    return tokens;
}

QStringList CompletedReminderCandidateIndex::completionLookupTokens(const ReminderPayload &item)
{
    const QString completion = trimmed(item.completion_date);
    if (completion.isEmpty()) {
        return {};
    }
    QStringList tokens {u"exact:"_s + completion};
    if (const auto bucket = completionBucket(completion)) {
        tokens.append(bucketToken(*bucket - 1));
        tokens.append(bucketToken(*bucket));
        tokens.append(bucketToken(*bucket + 1));
    }
    return tokens;
}

QList<CompletedReminderCandidateIndex::Key> CompletedReminderCandidateIndex::keys(
    const ReminderPayload &item, const QStringList &completionTokens)
{
    const QStringList dues = dueTokens(item);
    if (dues.isEmpty() || completionTokens.isEmpty()) {
        return {};
    }
    const QString title = normalized(item.title);
    const QString notes = normalized(item.notes);
    const QString url = normalized(item.url);
    const QString location = normalized(item.location_text);
    QList<Key> result;
    QSet<QString> seenLists;
    for (const auto &listKey : listKeys(item)) {
        if (seenLists.contains(listKey)) {
            continue;
        }
        seenLists.insert(listKey);
        for (const auto &due : dues) {
            for (const auto &completion : completionTokens) {
                result.append(
                    {listKey, title, notes, url, location, item.has_due_time, item.priority, due, completion});
            }
        }
    }
    return result;
}

CompletedReminderCandidateIndex::CompletedReminderCandidateIndex(const QList<ReminderPayload> &items)
{
    for (qsizetype i = 0; i < items.size(); ++i) {
        const auto &item = items[i];
        m_insertionOrderByLocalID.insert(item.local_id, i);
        for (const auto &key : keys(item, completionInsertionTokens(item))) {
            m_itemsByKey[key].append(item);
        }
    }
}

QList<ReminderPayload> CompletedReminderCandidateIndex::candidates(const ReminderPayload &item) const
{
    QHash<QString, ReminderPayload> byID;
    for (const auto &key : keys(item, completionLookupTokens(item))) {
        const auto found = m_itemsByKey.constFind(key);
        if (found == m_itemsByKey.cend()) {
            continue;
        }
        for (const auto &entry : *found) {
            byID.insert(entry.local_id, entry);
        }
    }
    QList<ReminderPayload> result(byID.cbegin(), byID.cend());
    std::sort(result.begin(), result.end(), [this](const ReminderPayload &a, const ReminderPayload &b) {
        return m_insertionOrderByLocalID.value(a.local_id) < m_insertionOrderByLocalID.value(b.local_id);
    });
    return result;
}

} // namespace quorvin
