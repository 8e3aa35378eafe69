#include "matching/CloudRestartReconciliationPlanner.h"

#include "matching/MatchText.h"
#include "matching/RecurringCompletionPredicates.h"

#include <QHashFunctions>
#include <QVarLengthArray>

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
    if (title.isEmpty()) {
        return std::nullopt;
    }
    const QString listID = trimmed(p.list_id);
    const QString list = listID.isEmpty() ? u"name:"_s + normalized(p.list_name) : u"id:"_s + listID;
    if (list == u"name:"_s) {
        return std::nullopt;
    }
    return SeriesKey {list, title, normalized(p.notes), p.has_due_time, normalized(p.url), p.priority};
}

// The identities of one item, without repeats; at most four, so a list beats a hash set.
using IdentityList = QVarLengthArray<QString, 4>;

IdentityList identityList(const ReminderPayload &item)
{
    IdentityList result;
    const auto add = [&result](QString value) {
        if (!value.isEmpty() && !result.contains(value)) {
            result.append(std::move(value));
        }
    };
    add(trimmed(item.source_item_id));
    add(trimmed(item.source_external_id));
    add(trimmed(item.external_id));
    add(item.local_id.trimmed());
    return result;
}

void sortIfNeeded(QStringList &ids)
{
    // Local items usually come sorted by id already, and the lists keep their order.
    if (!std::is_sorted(ids.cbegin(), ids.cend())) {
        std::sort(ids.begin(), ids.end());
    }
}

CloudRestartReconciliationPlan plan(const std::vector<const ReminderPayload *> &localItems,
    const QList<ReminderPayload> &remoteItems, const QHash<QString, QString> &serverToLocal)
{
    CloudRestartReconciliationPlan result;

    QHash<QString, IdentityMatch> identityIndex;
    identityIndex.reserve(remoteItems.size() * 2);
    for (const auto &remote : remoteItems) {
        if (serverToLocal.contains(remote.local_id)) {
            continue;
        }
        const QString serverID = remote.local_id.trimmed();
        if (serverID.isEmpty()) {
            continue;
        }
        for (const auto &identity : identityList(remote)) {
            auto found = identityIndex.find(identity);
            if (found == identityIndex.end()) {
                identityIndex.insert(identity, {serverID, false});
            } else if (!found->ambiguous && found->serverID != serverID) {
                found->ambiguous = true;
            }
        }
    }

    QSet<QString> mappedLocalIDs;
    mappedLocalIDs.reserve(serverToLocal.size() + qsizetype(localItems.size()));
    for (const auto &localID : serverToLocal) {
        const QString id = localID.trimmed();
        if (!id.isEmpty()) {
            mappedLocalIDs.insert(id);
        }
    }

    for (const ReminderPayload *local : localItems) {
        if (mappedLocalIDs.contains(local->local_id)) {
            continue;
        }
        QVarLengthArray<QString, 4> candidates;
        bool sawAmbiguous = false;
        for (const auto &identity : identityList(*local)) {
            ++result.identityLookupCount;
            const auto found = identityIndex.constFind(identity);
            if (found == identityIndex.cend()) {
                continue;
            }
            if (found->ambiguous) {
                sawAmbiguous = true;
            } else if (!candidates.contains(found->serverID)) {
                candidates.append(found->serverID);
            }
        }
        if (candidates.size() == 1 && !sawAmbiguous) {
            result.mappingRepairs.append({candidates.front(), local->local_id});
            mappedLocalIDs.insert(local->local_id);
        }
    }

    QHash<SeriesKey, int> seriesCounts;
    QHash<OccurrenceKey, int> occurrenceCounts;
    for (const ReminderPayload *local : localItems) {
        if (!mappedLocalIDs.contains(local->local_id)) {
            continue;
        }
        const bool recurring = RecurringCompletionPredicates::remoteReminderHasRecurrence(*local);
        const QString due = trimmed(local->due_date);
        if (due.isEmpty()) {
            continue;
        }
        if (!local->is_completed && recurring) {
            if (const auto key = seriesKey(*local)) {
                ++seriesCounts[*key];
            }
        } else if (local->is_completed && !recurring && !trimmed(local->completion_date).isEmpty()) {
            if (const auto key = seriesKey(*local)) {
                ++occurrenceCounts[OccurrenceKey {*key, due}];
            }
        }
    }

    for (const ReminderPayload *local : localItems) {
        if (mappedLocalIDs.contains(local->local_id)) {
            continue;
        }
        const QString due = trimmed(local->due_date);
        std::optional<SeriesKey> key;
        if (local->is_completed && !RecurringCompletionPredicates::remoteReminderHasRecurrence(*local)
            && !trimmed(local->completion_date).isEmpty() && !due.isEmpty()) {
            key = seriesKey(*local);
        }
        if (!key) {
            result.uploadLocalIDs.append(local->local_id);
            continue;
        }
        result.semanticLookupCount += 2;
        const int occurrences = occurrenceCounts.value(OccurrenceKey {*key, due});
        const int series = seriesCounts.value(*key);
        if (occurrences == 1 && series == 1) {
            result.duplicateLocalIDs.append(local->local_id);
        } else if (occurrences == 0) {
            result.uploadLocalIDs.append(local->local_id);
        } else {
            result.ambiguousLocalIDs.append(local->local_id);
        }
    }

    const auto byLocalID
        = [](const CloudRestartMappingRepair &a, const CloudRestartMappingRepair &b) { return a.localID < b.localID; };
    if (!std::is_sorted(result.mappingRepairs.cbegin(), result.mappingRepairs.cend(), byLocalID)) {
        std::stable_sort(result.mappingRepairs.begin(), result.mappingRepairs.end(), byLocalID);
    }
    sortIfNeeded(result.duplicateLocalIDs);
    sortIfNeeded(result.uploadLocalIDs);
    sortIfNeeded(result.ambiguousLocalIDs);
    result.inspectedLocalCount = int(localItems.size());
    return result;
}

} // namespace

QSet<QString> CloudRestartReconciliationPlanner::identities(const ReminderPayload &item, bool includeLocalID)
{
    QSet<QString> result;
    for (const auto &identity : identityList(item)) {
        if (includeLocalID || identity != item.local_id.trimmed()) {
            result.insert(identity);
        }
    }
    return result;
}

CloudRestartReconciliationPlan CloudRestartReconciliationPlanner::makePlan(const QList<ReminderPayload> &localItems,
    const QList<ReminderPayload> &remoteItems, const QHash<QString, QString> &serverToLocalReminderIDs)
{
    std::vector<const ReminderPayload *> locals;
    locals.reserve(std::size_t(localItems.size()));
    for (const auto &item : localItems) {
        locals.push_back(&item);
    }
    return plan(locals, remoteItems, serverToLocalReminderIDs);
}

CloudRestartReconciliationPlan CloudRestartReconciliationPlanner::makePlan(
    const std::vector<ReminderPayloadRef> &localItems, const QList<ReminderPayload> &remoteItems,
    const QHash<QString, QString> &serverToLocalReminderIDs)
{
    std::vector<const ReminderPayload *> locals;
    locals.reserve(localItems.size());
    for (const auto &item : localItems) {
        locals.push_back(item.get());
    }
    return plan(locals, remoteItems, serverToLocalReminderIDs);
}

} // namespace quorvin
