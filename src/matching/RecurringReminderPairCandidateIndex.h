#pragma once

#include "model/ReminderPayload.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// Shortlists active recurring reminders and completed copies of the same series so that the
// callers' pairwise checks run over a bucket instead of every item. Callers decide which items
// are active and which are completed copies, and check every candidate themselves; the index only
// narrows and orders. Built once, then only queried.
class RecurringReminderPairCandidateIndex {
public:
    RecurringReminderPairCandidateIndex(
        const QList<ReminderPayload> &activeItems, const QList<ReminderPayload> &completedItems);

    // The actives a completed copy may belong to: earliest due first, then most recently modified.
    QList<ReminderPayload> activeCandidates(const ReminderPayload &completedCopy) const;
    // The completed copies an active item may own: latest due first, then latest completion, then
    // local id; each local id once.
    QList<ReminderPayload> completedCandidates(const ReminderPayload &activeItem) const;

    struct Key {
        QString listKey;
        QString title;
        QString notes;
        QString url;
        std::optional<qint64> priority;
        bool hasDueTime = false;
        friend bool operator==(const Key &, const Key &) = default;
    };

    // The keys an active item is filed under ("any", its list id, its list name); none when its
    // normalised title is empty.
    static QList<Key> activeKeys(const ReminderPayload &item);
    // The one key a completed copy is looked up under: its most specific list key.
    static std::optional<Key> completedKey(const ReminderPayload &item);

    static bool activeSort(const ReminderPayload &a, const ReminderPayload &b);
    static bool completedSort(const ReminderPayload &a, const ReminderPayload &b);

private:
    QHash<Key, QList<ReminderPayload>> m_activeByKey;
    QHash<Key, QList<ReminderPayload>> m_completedByKey;
};

size_t qHash(const RecurringReminderPairCandidateIndex::Key &key, size_t seed = 0) noexcept;

} // namespace quorvin
