#pragma once

#include <QString>

namespace quorvin::EdsText {

// The setting that picks the reminder store: "eds" (the desktop's task database) or "json" (the
// JSON file); anything else, or nothing, lets the session decide.
inline const QString storeKey = QStringLiteral("Quorvin.ReminderStore");
inline const QString storeTaskDatabase = QStringLiteral("eds");
inline const QString storeJsonFile = QStringLiteral("json");

// The bus name of the task database's registry of lists and accounts.
inline const QString registryBusName = QStringLiteral("org.gnome.evolution.dataserver.Sources5");

// The built-in source of lists kept on this computer.
inline const QString localSourceId = QStringLiteral("local-stub");

} // namespace quorvin::EdsText
