#pragma once

#include "platform/reminderstore/ReminderStoreState.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <unordered_map>
#include <vector>

namespace quorvin {

// The file form of the reminders database: one JSON object holding every field of every item.
// Reading is strict: a missing required key, a value of the wrong type or an item that refers
// to nothing fails the whole file with a ReminderStoreError (Unreadable) that names the key.
//
// The encoder keeps the text of every reminder it wrote, so rewriting a large database after one
// change encodes only the changed reminders again.
class ReminderStoreJson {
public:
    ReminderStoreJson() = default;
    // The order points into the table: a copy would point into the original's.
    ReminderStoreJson(const ReminderStoreJson &) = delete;
    ReminderStoreJson &operator=(const ReminderStoreJson &) = delete;
    ReminderStoreJson(ReminderStoreJson &&) = default;
    ReminderStoreJson &operator=(ReminderStoreJson &&) = default;

    QByteArray encode(const ReminderStoreState &state);
    // Encodes one reminder ahead of the next encode(), which then only splices its text in: a
    // long run of writes pays for its texts as it goes, not all at once when it commits.
    void prepare(const Reminder &reminder);
    // Room for the texts of `count` more reminders.
    void reserve(std::size_t count) { m_encoded.reserve(m_encoded.size() + count); }
    // `fileName`, when given, is named in the error beside the key.
    static ReminderStoreState decode(const QByteArray &bytes, const QString &fileName = {});

private:
    static ReminderStoreState decodeState(const QByteArray &bytes);

    struct Encoded {
        Reminder reminder;
        QByteArray text;
        // The encode that last wrote it.
        quint64 generation = 0;
    };
    struct IdHash {
        size_t operator()(const QString &id) const noexcept { return qHash(id); }
    };
    // A table whose entries stay where they are while it grows, so that the last encode's order
    // can point at them.
    using Table = std::unordered_map<QString, Encoded, IdHash>;
    using Entry = Table::value_type;
    // The kept entry of `reminder`, its text encoded afresh unless it holds that reminder already.
    // `hint` is that reminder's entry when the caller knows it.
    Entry &keep(const Reminder &reminder, Entry *hint = nullptr);

    Table m_encoded;
    // The entries in the order the last encode wrote them: a rewrite finds most reminders where
    // they were, without a look-up in the table, which for a large database was most of its time.
    std::vector<Entry *> m_order;
    quint64 m_generation = 0;
};

} // namespace quorvin
