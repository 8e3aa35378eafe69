#pragma once

#include <QString>

// Exact texts of the matching layer: the user defaults keys of the cloud-side sync state.
namespace quorvin::MatchingText {

inline const QString keyPullCursor = QStringLiteral("Quorvin.CloudPullCursor");
inline const QString keyPushCursor = QStringLiteral("Quorvin.CloudPushCursor");
inline const QString keyReminderMap = QStringLiteral("Quorvin.CloudReminderMap");
inline const QString keyListMap = QStringLiteral("Quorvin.CloudListMap");
inline const QString keyRemoteSourceIdentityMap = QStringLiteral("Quorvin.RemoteSourceIdentityMap");
inline const QString keyRemoteServerIDs = QStringLiteral("Quorvin.RemoteServerIDs");
inline const QString keyRemoteListMap = QStringLiteral("Quorvin.RemoteListMap");
inline const QString keyRemoteIdentityCacheVersion = QStringLiteral("Quorvin.RemoteIdentityCacheVersion");
inline const QString keyRemindersCreatedByLastApply = QStringLiteral("Quorvin.RemindersCreatedByLastApply");
inline const QString keyRemindersLostByDatabase = QStringLiteral("Quorvin.RemindersLostByDatabase");

// How an empty cursor shows in the cursor summary.
inline const QString noCursor = QStringLiteral("-");

} // namespace quorvin::MatchingText
