#include "matching/SyncStateStore.h"

#include "matching/PayloadEquality.h"
#include "model/DateFormatters.h"
#include "platform/concurrency/Clock.h"

#include <QCollator>
#include <QSet>

#include <algorithm>
#include <limits>

namespace quorvin {

namespace {

// Only the fields a user can see or set count; a new stamp or source alone is no change.
bool listDirectoryItemsMatch(const ReminderListDirectoryPayload &a, const ReminderListDirectoryPayload &b)
{
    return a.list_id == b.list_id && a.list_name == b.list_name && a.icon_kind == b.icon_kind
        && a.icon_value == b.icon_value && a.theme_color == b.theme_color && a.sort_order == b.sort_order;
}

// Directory order: by name as a person would sort it, ignoring case; equal names by id.
void sortListDirectory(QList<ReminderListDirectoryPayload> &lists)
{
    QCollator collator {QLocale::system()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(lists.begin(), lists.end(), [&collator](const auto &a, const auto &b) {
        const int byName = collator.compare(a.list_name, b.list_name);
        if (byName != 0) {
            return byName < 0;
        }
        return a.list_id < b.list_id;
    });
}

// The first four UTF-16 units of a text packed so that the numbers sort as the texts do; a text
// shorter than four units is padded with zeros, so equal keys only say "compare the texts".
quint64 sortPrefix(const QString &text)
{
    quint64 key = 0;
    for (qsizetype i = 0; i < 4; ++i) {
        key = (key << 16) | (i < text.size() ? text[i].unicode() : 0);
    }
    return key;
}

// In the order of their local ids. Sorted through the records themselves, every comparison of a
// large store fetched two records and their texts from all over memory: at tens of thousands that
// was tens of milliseconds on the window's thread, at every look at the journal.
void sortByLocalID(std::vector<ReminderPayloadRef> &payloads)
{
    struct Keyed {
        quint64 prefix;
        std::size_t position;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(payloads.size());
    for (std::size_t i = 0; i < payloads.size(); ++i) {
        keyed.push_back({sortPrefix(payloads[i]->local_id), i});
    }
    std::sort(keyed.begin(), keyed.end(), [&payloads](const Keyed &a, const Keyed &b) {
        if (a.prefix != b.prefix) {
            return a.prefix < b.prefix;
        }
        return payloads[a.position]->local_id < payloads[b.position]->local_id;
    });
    std::vector<ReminderPayloadRef> result;
    result.reserve(payloads.size());
    for (const auto &entry : keyed) {
        result.push_back(std::move(payloads[entry.position]));
    }
    payloads = std::move(result);
}

QList<QString> sorted(const QSet<QString> &ids)
{
    QList<QString> result(ids.cbegin(), ids.cend());
    std::sort(result.begin(), result.end());
    return result;
}

} // namespace

SyncStateStore::SyncStateStore(Clock &clock)
    : m_clock(clock)
{
}

SyncStateStore::SyncStateStore()
    : SyncStateStore(Clock::system())
{
}

QString SyncStateStore::nowText() const
{
    return DateFormatters::fractionalISO8601(m_clock.now());
}

void SyncStateStore::appendBatch(ChangeBatch batch)
{
    ++m_currentSequence;
    batch.sequence = m_currentSequence;
    m_batches.push_back(std::move(batch));
    while (m_batches.size() > std::size_t(maxBatches)) {
        m_batches.pop_front();
    }
}

QList<ReminderRefreshListChange> SyncStateStore::replaceListDirectory(QList<ReminderListDirectoryPayload> lists)
{
    QHash<QString, qsizetype> storedIndex;
    storedIndex.reserve(m_listDirectory.size());
    for (qsizetype i = 0; i < m_listDirectory.size(); ++i) {
        storedIndex.insert(m_listDirectory[i].list_id, i);
    }

    const QString now = nowText();
    QHash<QString, ReminderListDirectoryPayload> incoming;
    incoming.reserve(lists.size());
    for (auto &list : lists) {
        const QString trimmedStamp = list.last_modified.value_or(QString()).trimmed();
        if (!trimmedStamp.isEmpty()) {
            list.last_modified = trimmedStamp;
        } else {
            const auto found = storedIndex.constFind(list.list_id);
            if (found != storedIndex.cend() && listDirectoryItemsMatch(m_listDirectory[*found], list)) {
                list.last_modified = m_listDirectory[*found].last_modified;
            } else {
                list.last_modified = now;
            }
        }
        incoming.emplace(list.list_id, std::move(list));
    }

    QList<ReminderListDirectoryPayload> next;
    next.reserve(incoming.size());
    for (auto it = incoming.cbegin(); it != incoming.cend(); ++it) {
        next.append(it.value());
    }
    sortListDirectory(next);

    QList<ReminderRefreshListChange> changes;
    QList<QString> changedIDs;
    for (const auto &entry : std::as_const(next)) {
        const auto found = storedIndex.constFind(entry.list_id);
        if (found == storedIndex.cend()) {
            changedIDs.append(entry.list_id);
            changes.append({std::nullopt, entry});
        } else if (!listDirectoryItemsMatch(m_listDirectory[*found], entry)) {
            changedIDs.append(entry.list_id);
            changes.append({m_listDirectory[*found], entry});
        }
    }

    QList<QString> deletedIDs;
    for (const auto &stored : std::as_const(m_listDirectory)) {
        if (!incoming.contains(stored.list_id)) {
            deletedIDs.append(stored.list_id);
        }
    }
    std::sort(deletedIDs.begin(), deletedIDs.end());
    for (const auto &id : std::as_const(deletedIDs)) {
        changes.append({m_listDirectory[storedIndex.value(id)], std::nullopt});
    }

    m_listDirectory = std::move(next);

    if (!changedIDs.isEmpty() || !deletedIDs.isEmpty()) {
        std::sort(changedIDs.begin(), changedIDs.end());
        ChangeBatch batch;
        batch.changedListIDs = std::move(changedIDs);
        batch.deletedListIDs = std::move(deletedIDs);
        appendBatch(std::move(batch));
    }
    return changes;
}

ReminderRefreshEvent SyncStateStore::unchangedRefresh() const
{
    ReminderRefreshEvent event;
    event.reason = QStringLiteral("refresh");
    event.totalCount = int(m_snapshotById.size());
    event.cursor = QString::number(m_currentSequence);
    return event;
}

ReminderRefreshEvent SyncStateStore::applySnapshot(const QList<ReminderPayload> &reminders)
{
    // Unchanged reminders become the stored records themselves, which the shared form below
    // recognises as the usual refresh.
    std::vector<ReminderPayloadRef> refs;
    refs.reserve(std::size_t(reminders.size()));
    for (const auto &payload : reminders) {
        refs.push_back(share(payload));
    }
    return applySnapshot(refs);
}

ReminderPayloadRef SyncStateStore::share(ReminderPayload payload) const
{
    const auto stored = m_snapshotById.constFind(payload.local_id);
    if (stored != m_snapshotById.cend() && (*stored)->content_hash == payload.content_hash
        && PayloadEquality::same(**stored, payload)) {
        return *stored;
    }
    return std::make_shared<const ReminderPayload>(std::move(payload));
}

ReminderRefreshEvent SyncStateStore::applySnapshot(const std::vector<ReminderPayloadRef> &reminders)
{
    // The usual refresh: the monitor hands back the very records it handed in before, each one
    // once. Nothing to journal and no table to rebuild.
    if (reminders.size() == std::size_t(m_snapshotById.size())) {
        std::vector<const ReminderPayload *> kept;
        kept.reserve(reminders.size());
        for (const auto &payload : reminders) {
            const auto stored = m_snapshotById.constFind(payload->local_id);
            if (stored == m_snapshotById.cend() || *stored != payload) {
                break;
            }
            kept.push_back(payload.get());
        }
        if (kept.size() == reminders.size()) {
            std::sort(kept.begin(), kept.end());
            if (std::adjacent_find(kept.cbegin(), kept.cend()) == kept.cend()) {
                return unchangedRefresh();
            }
        }
    }
    QHash<QString, ReminderPayloadRef> next;
    next.reserve(qsizetype(reminders.size()));
    for (const auto &payload : reminders) {
        next.insert(payload->local_id, payload);
    }

    // An id handed in twice counts once, with the payload the snapshot keeps (the later one), so
    // an event never names one reminder twice.
    const bool hasDuplicateIDs = std::size_t(next.size()) != reminders.size();
    QHash<QString, std::size_t> lastPosition;
    if (hasDuplicateIDs) {
        for (std::size_t i = 0; i < reminders.size(); ++i) {
            lastPosition.insert(reminders[i]->local_id, i);
        }
    }

    ChangeBatch batch;
    ReminderRefreshEvent event;
    event.reason = QStringLiteral("refresh");
    for (std::size_t i = 0; i < reminders.size(); ++i) {
        const auto &payload = reminders[i];
        if (hasDuplicateIDs && lastPosition.value(payload->local_id) != i) {
            continue;
        }
        const auto stored = m_snapshotById.constFind(payload->local_id);
        if (stored != m_snapshotById.cend() && (*stored)->content_hash == payload->content_hash) {
            continue;
        }
        batch.upserts.push_back(payload);
        event.reminderChanges.append({stored != m_snapshotById.cend() ? *stored : nullptr, payload});
    }

    for (auto it = m_snapshotById.cbegin(); it != m_snapshotById.cend(); ++it) {
        if (!next.contains(it.key())) {
            batch.deletedIDs.append(it.key());
        }
    }
    std::sort(batch.deletedIDs.begin(), batch.deletedIDs.end());
    for (const auto &id : std::as_const(batch.deletedIDs)) {
        event.reminderChanges.append({m_snapshotById.value(id), nullptr});
    }

    m_snapshotById = std::move(next);

    event.upserts = int(batch.upserts.size());
    event.deletions = int(batch.deletedIDs.size());
    event.totalCount = int(m_snapshotById.size());
    if (!batch.upserts.empty() || !batch.deletedIDs.isEmpty()) {
        appendBatch(std::move(batch));
    }
    event.cursor = QString::number(m_currentSequence);
    return event;
}

std::optional<qint64> SyncStateStore::parseCursor(const QString &text)
{
    qsizetype position = 0;
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-')) {
        negative = text.front() == u'-';
        position = 1;
    }
    if (position == text.size()) {
        return std::nullopt;
    }
    // Accumulated as a negative number so that the most negative value fits.
    qint64 value = 0;
    for (; position < text.size(); ++position) {
        const char16_t c = text[position].unicode();
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        if (__builtin_mul_overflow(value, qint64(10), &value)
            || __builtin_sub_overflow(value, qint64(c - u'0'), &value)) {
            return std::nullopt;
        }
    }
    if (negative) {
        return value;
    }
    if (value == std::numeric_limits<qint64>::min()) {
        return std::nullopt;
    }
    return -value;
}

SyncResponseEnvelope SyncStateStore::syncResponse(const std::optional<QString> &cursor) const
{
    return envelopeOf(journalAnswer(cursor));
}

SyncResponseEnvelope SyncStateStore::envelopeOf(JournalAnswer answer)
{
    sortByLocalID(answer.items);
    answer.envelope.items.reserve(qsizetype(answer.items.size()));
    for (const auto &payload : answer.items) {
        answer.envelope.items.append(*payload);
    }
    return std::move(answer.envelope);
}

SyncStateStore::JournalAnswer SyncStateStore::journalAnswer(const std::optional<QString> &cursor) const
{
    JournalAnswer answer;
    auto &envelope = answer.envelope;
    envelope.next_cursor = QString::number(m_currentSequence);
    envelope.generated_at = nowText();

    const std::optional<qint64> requested = cursor ? parseCursor(*cursor) : std::nullopt;
    const bool full = !requested || *requested > m_currentSequence
        || (*requested < m_currentSequence && !m_batches.empty() && m_batches.front().sequence - 1 > *requested);
    if (full) {
        answer.items.assign(m_snapshotById.cbegin(), m_snapshotById.cend());
        envelope.lists = m_listDirectory;
        envelope.full_snapshot = true;
        return answer;
    }
    if (*requested == m_currentSequence) {
        return answer;
    }

    QHash<QString, ReminderPayloadRef> items;
    QSet<QString> deleted;
    QSet<QString> changedLists;
    QSet<QString> deletedLists;
    const auto first = std::upper_bound(m_batches.cbegin(), m_batches.cend(), *requested,
        [](qint64 value, const ChangeBatch &batch) { return value < batch.sequence; });
    // Sized once: the changes after a first pull name every reminder.
    qsizetype upserts = 0;
    for (auto batch = first; batch != m_batches.cend(); ++batch) {
        upserts += qsizetype(batch->upserts.size());
    }
    items.reserve(upserts);
    for (auto batch = first; batch != m_batches.cend(); ++batch) {
        for (const auto &payload : batch->upserts) {
            deleted.remove(payload->local_id);
            items.insert(payload->local_id, payload);
        }
        for (const auto &id : batch->deletedIDs) {
            items.remove(id);
            deleted.insert(id);
        }
        for (const auto &id : batch->changedListIDs) {
            deletedLists.remove(id);
            changedLists.insert(id);
        }
        for (const auto &id : batch->deletedListIDs) {
            changedLists.remove(id);
            deletedLists.insert(id);
        }
    }

    answer.items.assign(items.cbegin(), items.cend());
    envelope.deleted_ids = sorted(deleted);
    envelope.deleted_list_ids = sorted(deletedLists);
    for (const auto &list : m_listDirectory) {
        if (changedLists.contains(list.list_id)) {
            envelope.lists.append(list);
        }
    }
    return answer;
}

std::vector<ReminderPayloadRef> SyncStateStore::snapshotPayloads() const
{
    std::vector<ReminderPayloadRef> result(m_snapshotById.cbegin(), m_snapshotById.cend());
    sortByLocalID(result);
    return result;
}

SyncStateSnapshot SyncStateStore::currentSnapshot() const
{
    SyncStateSnapshot snapshot;
    const auto items = snapshotPayloads();
    snapshot.items.reserve(qsizetype(items.size()));
    for (const auto &payload : items) {
        snapshot.items.append(*payload);
    }
    snapshot.lists = m_listDirectory;
    return snapshot;
}

} // namespace quorvin
