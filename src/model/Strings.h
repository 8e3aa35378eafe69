#pragma once

#include <QString>

// Exact texts of the model layer, kept in one place.
namespace quorvin::strings {

inline QString permissionDenied()
{
    return QStringLiteral("Reminders permission denied");
}
inline QString notFound()
{
    return QStringLiteral("Reminder not found");
}
inline QString serviceUnavailable()
{
    return QStringLiteral("Service unavailable");
}
inline QString unsupportedJsonValue()
{
    return QStringLiteral("Unsupported JSON value");
}

} // namespace quorvin::strings
