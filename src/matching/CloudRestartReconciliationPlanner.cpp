#include "matching/CloudRestartReconciliationPlanner.h"

#include "matching/MatchText.h"
#include "matching/RecurringCompletionPredicates.h"

#include <QHashFunctions>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

using MatchText::normalized;
using MatchText::trimmed;

namespace {

struct IdentityMatch {
    QString serverID;
    bool ambiguous = false;
};

struct SeriesKey {
    QString list;
    QString title;
    QString notes;
    bool hasDueTime = false;
    QString url;
    std::optional<qint64> priority;
    friend bool operator==(const SeriesKey &, const SeriesKey &) = default;
};

size_t qHash(const SeriesKey &k, size_t seed = 0) noexcept
{
    return qHashMulti(
        seed, k.list, k.title, k.notes, k.hasDueTime, k.url, k.priority.has_value(), k.priority.value_or(0));
}

struct OccurrenceKey {
    SeriesKey series;
    QString dueDate;
    friend bool operator==(const OccurrenceKey &, const OccurrenceKey &) = default;
};

size_t qHash(const OccurrenceKey &k, size_t seed = 0) noexcept
{
    return qHashMulti(seed, k.series, k.dueDate);
}

std::optional<SeriesKey> seriesKey(const ReminderPayload &p)
{
    const QString title = normalized(p.title);
    if (title.isEmpty())
        return std::nullopt;
    const QString listID = trimmed(p.list_id);
    const QString list = listID.isEmpty() ? u"name:"_s + normalized(p.list_name) : u"id:"_s + listID;
    if (list == u"name:"_s)
        return std::nullopt;
    return SeriesKey {list, title, normalized(p.notes), p.has_due_time, normalized(p.url), p.priority};
}

CloudRestartReconciliationPlan plan(const std::vector<const ReminderPayload *> &localItems,
    const QList<ReminderPayload> &remoteItems, const QHash<QString, QString> &serverToLocal)
{
    CloudRestartReconciliationPlan result;

    QHash<QString, IdentityMatch> identityIndex;
    for (const auto &remote : remoteItems) {
        if (serverToLocal.contains(remote.local_id))
            continue;
        const QString serverID = remote.local_id.trimmed();
        if (serverID.isEmpty())
            continue;
        for (const auto &identity : CloudRestartReconciliationPlanner::identities(remote, true)) {
            auto found = identityIndex.find(identity);
            if (found == identityIndex.end())
                identityIndex.insert(identity, {serverID, false});
            else if (!found->ambiguous && found->serverID != serverID)
                found->ambiguous = true;
        }
    }

    QSet<QString> mappedLocalIDs;
    for (const auto &localID : serverToLocal) {
        const QString id = localID.trimmed();
        if (!id.isEmpty())
            mappedLocalIDs.insert(id);
    }

    for (const ReminderPayload *local : localItems) {
        if (mappedLocalIDs.contains(local->local_id))
            continue;
        QSet<QString> candidates;
        bool sawAmbiguous = false;
        for (const auto &identity : CloudRestartReconciliationPlanner::identities(*local, true)) {
            ++result.identityLookupCount;
            const auto found = identityIndex.constFind(identity);
            if (found == identityIndex.cend())
                continue;
            if (found->ambiguous)
                sawAmbiguous = true;
            else
                candidates.insert(found->serverID);
        }
        if (candidates.size() == 1 && !sawAmbiguous) {
            result.mappingRepairs.append({*candidates.cbegin(), local->local_id});
            mappedLocalIDs.insert(local->local_id);
        }
    }

    QHash<SeriesKey, int> seriesCounts;
    QHash<OccurrenceKey, int> occurrenceCounts;
    for (const ReminderPayload *local : localItems) {
        if (!mappedLocalIDs.contains(local->local_id))
            continue;
        const bool recurring = RecurringCompletionPredicates::remoteReminderHasRecurrence(*local);
        const QString due = trimmed(local->due_date);
        if (due.isEmpty())
            continue;
        if (!local->is_completed && recurring) {
            if (const auto key = seriesKey(*local))
                ++seriesCounts[*key];
        } else if (local->is_completed && !recurring && !trimmed(local->completion_date).isEmpty()) {
            if (const auto key = seriesKey(*local))
                ++occurrenceCounts[OccurrenceKey {*key, due}];
        }
    }

    for (const ReminderPayload *local : localItems) {
        if (mappedLocalIDs.contains(local->local_id))
            continue;
        const QString due = trimmed(local->due_date);
        std::optional<SeriesKey> key;
        if (local->is_completed && !RecurringCompletionPredicates::remoteReminderHasRecurrence(*local)
            && !trimmed(local->completion_date).isEmpty() && !due.isEmpty())
            key = seriesKey(*local);
        if (!key) {
            result.uploadLocalIDs.append(local->local_id);
            continue;
        }
        result.semanticLookupCount += 2;
        const int occurrences = occurrenceCounts.value(OccurrenceKey {*key, due});
        const int series = seriesCounts.value(*key);
        if (occurrences == 1 && series == 1)
            result.duplicateLocalIDs.append(local->local_id);
        else if (occurrences == 0)
            result.uploadLocalIDs.append(local->local_id);
        else
            result.ambiguousLocalIDs.append(local->local_id);
    }

    std::stable_sort(result.mappingRepairs.begin(), result.mappingRepairs.end(),
        [](const auto &a, const auto &b) { return a.localID < b.localID; });
    std::sort(result.duplicateLocalIDs.begin(), result.duplicateLocalIDs.end());
    std::sort(result.uploadLocalIDs.begin(), result.uploadLocalIDs.end());
    std::sort(result.ambiguousLocalIDs.begin(), result.ambiguousLocalIDs.end());
    result.inspectedLocalCount = int(localItems.size());
    return result;
}

} // namespace

QSet<QString> CloudRestartReconciliationPlanner::identities(const ReminderPayload &item, bool includeLocalID)
{
    QSet<QString> result;
    for (const auto *field : {&item.source_item_id, &item.source_external_id, &item.external_id}) {
        const QString value = trimmed(*field);
        if (!value.isEmpty())
            result.insert(value);
    }
    if (includeLocalID) {
        const QString value = item.local_id.trimmed();
        if (!value.isEmpty())
            result.insert(value);
    }
    return result;
}

CloudRestartReconciliationPlan CloudRestartReconciliationPlanner::makePlan(const QList<ReminderPayload> &localItems,
    const QList<ReminderPayload> &remoteItems, const QHash<QString, QString> &serverToLocalReminderIDs)
{
    std::vector<const ReminderPayload *> locals;
    locals.reserve(std::size_t(localItems.size()));
    for (const auto &item : localItems)
        locals.push_back(&item);
    return plan(locals, remoteItems, serverToLocalReminderIDs);
}

CloudRestartReconciliationPlan CloudRestartReconciliationPlanner::makePlan(
    const std::vector<ReminderPayloadRef> &localItems, const QList<ReminderPayload> &remoteItems,
    const QHash<QString, QString> &serverToLocalReminderIDs)
{
    std::vector<const ReminderPayload *> locals;
    locals.reserve(localItems.size());
    for (const auto &item : localItems)
        locals.push_back(item.get());
    return plan(locals, remoteItems, serverToLocalReminderIDs);
}

} // namespace quorvin
