#pragma once

#include "platform/reminderstore/ReminderStoreState.h"

#include <QByteArray>

namespace quorvin {

// The file form of the reminders database: one JSON object holding every field of every item.
// Reading is strict: a missing required key, a value of the wrong type or an item that refers
// to nothing fails the whole file with a ReminderStoreError (Unreadable) that names the key.
class ReminderStoreJson {
public:
    static QByteArray encode(const ReminderStoreState &state);
    static ReminderStoreState decode(const QByteArray &bytes);
};

} // namespace quorvin
