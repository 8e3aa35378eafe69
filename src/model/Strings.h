#pragma once

#include <QString>

// Exact texts of the model layer.
namespace quorvin::ModelText {

inline const QString permissionDenied = QStringLiteral("Reminders permission denied");
inline const QString notFound = QStringLiteral("Reminder not found");
inline const QString serviceUnavailable = QStringLiteral("Service unavailable");
inline const QString unsupportedJsonValue = QStringLiteral("Unsupported JSON value");

} // namespace quorvin::ModelText
