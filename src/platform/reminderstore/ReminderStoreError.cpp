#include "platform/reminderstore/ReminderStoreError.h"

namespace quorvin {

ReminderStoreError::ReminderStoreError(Code code, QString description)
    : Error(errorDomain(), code, std::move(description))
{
}

QString ReminderStoreError::errorDomain()
{
    return QStringLiteral("Quorvin.ReminderStore");
}

} // namespace quorvin
