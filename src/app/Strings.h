#pragma once

#include <QString>

// Exact texts and stored-setting keys of the application shell.
namespace quorvin::AppText {

inline const QString appName = QStringLiteral("Quorvin");
// The desktop entry the windows belong to (its icon and name in the taskbar).
inline const QString desktopFileName = QStringLiteral("com.velmarc.Quorvin");
// The base of the single-instance lock and socket names.
inline const QString singleInstanceName = QStringLiteral("com.velmarc.quorvin.single-instance");

// Stored settings.
inline const QString showDockIconKey = QStringLiteral("showDockIcon");
inline const QString showMenuBarIconKey = QStringLiteral("showMenuBarIcon");
inline const QString mainWindowShortcutEnabledKey = QStringLiteral("mainWindowShortcutEnabled");
inline const QString appearanceModeKey = QStringLiteral("quorvinAppearanceMode");
inline const QString systemAppearanceRevisionKey = QStringLiteral("quorvinSystemAppearanceRevision");
inline const QString launchAtLoginEnabledKey = QStringLiteral("launchAtLoginEnabled");
inline const QString launchAtLoginPromptHandledKey = QStringLiteral("Quorvin.LaunchAtLoginPromptHandled.v1");
inline const QString updateNoticeLatestKey = QStringLiteral("Quorvin.UpdateNotice.Latest.v1");
inline const QString updateNoticeAnnouncedKey = QStringLiteral("Quorvin.UpdateNotice.AnnouncedBuilds.v1");

// Status menu.
inline const QString menuOpen = QStringLiteral("打开 Quorvin");
inline const QString menuCheckForUpdates = QStringLiteral("检查更新…");
inline const QString menuQuit = QStringLiteral("退出 Quorvin");

// Quit confirmation.
inline const QString quitMessage = QStringLiteral("退出 Quorvin？");
inline const QString quitInformative
    = QStringLiteral("退出程序后，Quorvin 会停止同步 Mac Reminders 和鸿蒙端数据。重新打开 Quorvin 后会继续同步。");
inline const QString quitConfirm = QStringLiteral("退出程序");
inline const QString quitCancel = QStringLiteral("取消");

// Launch at login.
inline const QString launchAtLoginLabel = QStringLiteral("开机自启动");
inline const QString launchAtLoginRequiresApproval
    = QStringLiteral("已请求开机自启动，可能还需要在系统设置的登录项中批准");
inline const QString launchAtLoginNotFound = QStringLiteral("当前构建未注册为登录项");
inline const QString launchAtLoginFailedTitle = QStringLiteral("开机自启动设置失败");
inline const QString launchAtLoginFailedClose = QStringLiteral("关闭");

// Update notices.
inline const QString updateAnnouncementMessage = QStringLiteral("Quorvin 有新版本");
// Between these two: the version.
inline const QString updateAnnouncementInformativePrefix = QStringLiteral("版本 ");
inline const QString updateAnnouncementInformativeSuffix
    = QStringLiteral(" 已发布。你可以现在更新，也可以稍后点击窗口顶部的“更新”按钮。");
inline const QString updateNow = QStringLiteral("立即更新");
inline const QString updateLater = QStringLiteral("稍后");
inline const QString updateTitleButton = QStringLiteral("更新");
// Followed by the version.
inline const QString updateTitleButtonHelp = QStringLiteral("更新至 ");
inline const QString updateTitleButtonAccessibility = QStringLiteral("更新 Quorvin 至 ");
// The outcome of a check the user asked for when there is nothing to announce; the reason of a
// failure follows its prefix.
inline const QString updateUpToDateMessage = QStringLiteral("Quorvin 已是最新版本");
inline const QString updateCheckFailedMessage = QStringLiteral("无法检查更新");
inline const QString updateOk = QStringLiteral("好");

} // namespace quorvin::AppText
