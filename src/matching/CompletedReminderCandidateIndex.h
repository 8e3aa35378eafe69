#pragma once

#include "model/ReminderPayload.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace quorvin {

// Finds the completed reminders that may be the same completed occurrence as a given one. It
// tolerates completion times in neighbouring two-minute buckets and, for date-only due dates,
// different texts of the same UTC day; callers apply their own full test to every candidate.
// Built once, then only queried.
class CompletedReminderCandidateIndex {
public:
    explicit CompletedReminderCandidateIndex(const QList<ReminderPayload> &items);

    // Indexed items that share a key with `item`, each local id once, in input order.
    QList<ReminderPayload> candidates(const ReminderPayload &item) const;

    struct Key {
        QString listKey;
        QString title;
        QString notes;
        QString url;
        QString location;
        bool hasDueTime = false;
        std::optional<qint64> priority;
        QString dueToken;
        QString completionToken;
        friend bool operator==(const Key &, const Key &) = default;
    };

    static QStringList listKeys(const ReminderPayload &item);
    static QStringList dueTokens(const ReminderPayload &item);
    static QStringList completionInsertionTokens(const ReminderPayload &item);
    static QStringList completionLookupTokens(const ReminderPayload &item);

private:
    static QList<Key> keys(const ReminderPayload &item, const QStringList &completionTokens);

    QHash<Key, QList<ReminderPayload>> m_itemsByKey;
    QHash<QString, qsizetype> m_insertionOrderByLocalID;
};

size_t qHash(const CompletedReminderCandidateIndex::Key &key, size_t seed = 0) noexcept;

} // namespace quorvin
