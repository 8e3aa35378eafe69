#include "matching/RecurringReminderPairCandidateIndex.h"

#include "matching/MatchText.h"
#include "model/DateFormatters.h"

#include <QHashFunctions>

#include <algorithm>
#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

using MatchText::normalized;
using MatchText::trimmed;

namespace {

std::optional<qint64> dueInstant(const ReminderPayload &p)
{
    if (!p.due_date) {
        return std::nullopt;
    }
    const auto instant = DateFormatters::parseISO8601(*p.due_date);
    if (!instant) {
        return std::nullopt;
    }
    return instant->toMSecsSinceEpoch();
}

RecurringReminderPairCandidateIndex::Key baseKey(const ReminderPayload &item, const QString &title, QString listKey)
{
    return {std::move(listKey), title, normalized(item.notes), normalized(item.url), item.priority, item.has_due_time};
}

} // namespace

size_t qHash(const RecurringReminderPairCandidateIndex::Key &k, size_t seed) noexcept
{
    return qHashMulti(
        seed, k.listKey, k.title, k.notes, k.url, k.priority.has_value(), k.priority.value_or(0), k.hasDueTime);
}

QList<RecurringReminderPairCandidateIndex::Key> RecurringReminderPairCandidateIndex::activeKeys(
    const ReminderPayload &item)
{
    const QString title = normalized(item.title);
    if (title.isEmpty()) {
        return {};
    }
    QList<Key> keys {baseKey(item, title, u"any"_s)};
    const QString listID = trimmed(item.list_id);
    if (!listID.isEmpty()) {
        keys.append(baseKey(item, title, u"id:"_s + listID));
    }
    const QString listName = normalized(item.list_name);
    if (!listName.isEmpty()) {
        keys.append(baseKey(item, title, u"name:"_s + listName));
    }
    return keys;
}

std::optional<RecurringReminderPairCandidateIndex::Key> RecurringReminderPairCandidateIndex::completedKey(
    const ReminderPayload &item)
{
    const QString title = normalized(item.title);
    if (title.isEmpty()) {
        return std::nullopt;
    }
    const QString listID = trimmed(item.list_id);
    if (!listID.isEmpty()) {
        return baseKey(item, title, u"id:"_s + listID);
    }
    const QString listName = normalized(item.list_name);
    if (!listName.isEmpty()) {
        return baseKey(item, title, u"name:"_s + listName);
    }
    return baseKey(item, title, u"any"_s);
}

bool RecurringReminderPairCandidateIndex::activeSort(const ReminderPayload &a, const ReminderPayload &b)
{
    const qint64 future = std::numeric_limits<qint64>::max();
    const qint64 da = dueInstant(a).value_or(future);
    const qint64 db = dueInstant(b).value_or(future);
    if (da != db) {
        return da < db;
    }
    return MatchText::raw(a.last_modified) > MatchText::raw(b.last_modified);
}

bool RecurringReminderPairCandidateIndex::completedSort(const ReminderPayload &a, const ReminderPayload &b)
{
    const qint64 past = std::numeric_limits<qint64>::min();
    const qint64 da = dueInstant(a).value_or(past);
    const qint64 db = dueInstant(b).value_or(past);
    if (da != db) {
        return da > db;
    }
    return MatchText::raw(a.completion_date) > MatchText::raw(b.completion_date);
}

RecurringReminderPairCandidateIndex::RecurringReminderPairCandidateIndex(
    const QList<ReminderPayload> &activeItems, const QList<ReminderPayload> &completedItems)
{
    for (const auto &item : activeItems) {
        for (const auto &key : activeKeys(item)) {
            m_activeByKey[key].append(item);
        }
    }
    for (const auto &item : completedItems) {
        if (const auto key = completedKey(item)) {
            m_completedByKey[*key].append(item);
        }
    }
    for (auto &bucket : m_activeByKey) {
        std::stable_sort(bucket.begin(), bucket.end(), activeSort);
    }
    for (auto &bucket : m_completedByKey) {
        std::stable_sort(bucket.begin(), bucket.end(), completedSort);
    }
}

QList<ReminderPayload> RecurringReminderPairCandidateIndex::activeCandidates(const ReminderPayload &completedCopy) const
{
    const auto key = completedKey(completedCopy);
    if (!key) {
        return {};
    }
    return m_activeByKey.value(*key);
}

QList<ReminderPayload> RecurringReminderPairCandidateIndex::completedCandidates(const ReminderPayload &activeItem) const
{
    QList<ReminderPayload> result;
    QHash<QString, qsizetype> positionByID;
    for (const auto &key : activeKeys(activeItem)) {
        const auto found = m_completedByKey.constFind(key);
        if (found == m_completedByKey.cend()) {
            continue;
        }
        for (const auto &item : *found) {
            const auto seen = positionByID.constFind(item.local_id);
            if (seen != positionByID.cend()) {
                result[*seen] = item;
            } else {
                positionByID.insert(item.local_id, result.size());
                result.append(item);
            }
        }
    }
    // Copies equal in due instant and completion text come by local id, never by lookup order.
    std::sort(result.begin(), result.end(), [](const ReminderPayload &a, const ReminderPayload &b) {
        if (completedSort(a, b)) {
            return true;
        }
        if (completedSort(b, a)) {
            return false;
        }
        return a.local_id < b.local_id;
    });
    return result;
}

} // namespace quorvin
