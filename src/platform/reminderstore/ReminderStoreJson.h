#pragma once

#include "platform/reminderstore/ReminderStoreState.h"

#include <QByteArray>
#include <QHash>
#include <QString>

namespace quorvin {

// The file form of the reminders database: one JSON object holding every field of every item.
// Reading is strict: a missing required key, a value of the wrong type or an item that refers
// to nothing fails the whole file with a ReminderStoreError (Unreadable) that names the key.
//
// The encoder keeps the text of every reminder it wrote, so rewriting a large database after one
// change encodes only the changed reminders again.
class ReminderStoreJson {
public:
    QByteArray encode(const ReminderStoreState &state);
    // Encodes one reminder ahead of the next encode(), which then only splices its text in: a
    // long run of writes pays for its texts as it goes, not all at once when it commits.
    void prepare(const Reminder &reminder);
    // Room for the texts of `count` more reminders.
    void reserve(std::size_t count) { m_encoded.reserve(m_encoded.size() + qsizetype(count)); }
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
    // The kept entry of `reminder`, its text encoded afresh unless it holds that reminder already.
    QHash<QString, Encoded>::iterator keep(const Reminder &reminder);

    QHash<QString, Encoded> m_encoded;
    quint64 m_generation = 0;
};

} // namespace quorvin
