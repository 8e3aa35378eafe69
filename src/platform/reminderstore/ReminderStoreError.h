#pragma once

#include "platform/core/Error.h"

namespace quorvin {

// Every failure of the reminder store: a refused access, an id that names nothing, an item the
// store cannot hold, a database file that cannot be read or written.
class ReminderStoreError : public Error {
public:
    enum Code {
        AccessDenied = 1,
        NotFound = 2,
        InvalidItem = 3,
        Unreadable = 4,
        WriteFailed = 5,
        Injected = 6,
    };

    ReminderStoreError(Code code, QString description);

    static QString errorDomain();
};

} // namespace quorvin
