#pragma once

#include <QString>

// Exact texts of the activity and diagnostic logs: the stored key, categories, summaries and lines.
namespace quorvin::ActivityText {

inline const QString storageKey = QStringLiteral("Quorvin.ActivityLogs.v1");
inline const QString categorySync = QStringLiteral("同步");
inline const QString categoryUser = QStringLiteral("用户操作");
inline const QString summarySyncFailed = QStringLiteral("云同步失败");
inline const QString logClearedActivity = QStringLiteral("Cleared activity lines");

} // namespace quorvin::ActivityText
