#pragma once

#include <QString>

// Exact texts of the desktop shell services.
namespace quorvin::ShellText {

inline const QString lockUnavailable
    = QStringLiteral("Quorvin single-instance lock could not be opened; continuing without the lock");
// Followed by the process id, " path=" and the program's path.
inline const QString terminatingDuplicate = QStringLiteral("Quorvin single-instance guard terminating duplicate pid=");
inline const QString terminatingDuplicatePath = QStringLiteral(" path=");

// Followed by the bus's reason, the retry text and the delay in milliseconds.
inline const QString appearanceSubscriptionFailed
    = QStringLiteral("Quorvin could not subscribe to the desktop's colour-scheme changes:");
inline const QString appearanceRetryIn = QStringLiteral("; trying again in");
inline const QString appearanceSubscribed = QStringLiteral("Quorvin now follows the desktop's colour-scheme changes");

inline const QString loginItemNoExecutable = QStringLiteral("找不到 Quorvin 程序文件，无法设置开机自启动");
// Followed by the reason.
inline const QString loginItemWriteFailed = QStringLiteral("无法写入开机自启动项：");
inline const QString loginItemRemoveFailed = QStringLiteral("无法删除开机自启动项：");

// Why an update check failed; the HTTP status follows the first.
inline const QString updateFeedHttpStatus = QStringLiteral("更新源返回了 HTTP ");
inline const QString updateFeedUnreadable = QStringLiteral("更新源的内容无法识别");

} // namespace quorvin::ShellText
