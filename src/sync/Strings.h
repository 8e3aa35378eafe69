#pragma once

#include <QString>

// Exact texts of the sync engine: status lines, diagnostic and activity lines.
// Texts that continue with a value end where the value is appended.
namespace quorvin::SyncText {

// Status lines.
inline const QString statusNotYet = QStringLiteral("未发生");
inline const QString statusSyncing = QStringLiteral("同步中");
inline const QString statusSuccessPrefix = QStringLiteral("成功（");
inline const QString statusFailurePrefix = QStringLiteral("失败（");
inline const QString statusSuffix = QStringLiteral("）");
inline const QString startupFailed = QStringLiteral("启动失败");
inline const QString logStartupFailedPrefix = QStringLiteral("启动失败：");
inline const QString attachmentSyncOff = QStringLiteral("图片同步已关闭");
inline const QString syncDone = QStringLiteral("云端同步完成");
inline const QString syncDoneCountsMatched = QStringLiteral("云端同步完成，条数一致");
inline const QString syncDoneCountsRetry = QStringLiteral("云端同步完成，条数验证待重试");
inline const QString syncFailed = QStringLiteral("云端同步失败");
inline const QString missingToken = QStringLiteral("缺少云同步令牌");
inline const QString manualRefreshFailed = QStringLiteral("手动刷新失败");
inline const QString logManualRefreshFailedPrefix = QStringLiteral("手动刷新失败：");
inline const QString rebuildFailed = QStringLiteral("重建云端失败");

// Pause.
inline const QString pauseMissingTokenReason = QStringLiteral("missing-token");
inline const QString pauseMissingTokenLog = QStringLiteral("云同步已暂停：缺少登录令牌，本地提醒事项已保留");
inline const QString pauseSummary = QStringLiteral("云同步已暂停");
inline const QString pauseDetailKept = QStringLiteral("本机任务已保留");

// Activity entries.
inline const QString categorySync = QStringLiteral("同步");
inline const QString categoryUser = QStringLiteral("用户操作");
inline const QString activitySyncFailed = QStringLiteral("云同步失败");
inline const QString activityRebuildStarted = QStringLiteral("已开始重建云端");
inline const QString activityRebuildDetailPrefix = QStringLiteral("将用这台 Mac 的 ");
inline const QString activityRebuildDetailSuffix = QStringLiteral(" 条任务重新生成云端数据");
inline const QString activityRebuildFailed = QStringLiteral("重建云端失败");

// Count verification.
inline const QString countMismatchPrefix = QStringLiteral("条数不一致：云端 ");
inline const QString countMismatchMiddle = QStringLiteral("；Reminders ");
inline const QString logCountMismatchPrefix = QStringLiteral("云同步条数验证失败 [");

// Triggers.
inline const QString triggerStartupBootstrap = QStringLiteral("startup-bootstrap");
inline const QString triggerHealthFallback = QStringLiteral("realtime-health-fallback");
inline const QString triggerRealtimeWait = QStringLiteral("realtime-wait");
inline const QString triggerCountVerification = QStringLiteral("count-verification-request");
inline const QString triggerPullFollowUp = QStringLiteral("cloud-pull-local-followup");
inline const QString triggerLocalChangesDuringSync = QStringLiteral("local-changes-during-sync");
inline const QString triggerManualBootstrap = QStringLiteral("manual-bootstrap");

// Refresh reasons.
inline const QString reasonStartup = QStringLiteral("startup");
inline const QString reasonCloudPull = QStringLiteral("cloud-pull");
inline const QString reasonManual = QStringLiteral("manual");

// Diagnostic lines of the pass.
inline const QString logPassStartPrefix = QStringLiteral("云同步开始 [");
inline const QString logPassDonePrefix = QStringLiteral("云同步完成 [");
inline const QString logPassFailedPrefix = QStringLiteral("云同步失败 [");
inline const QString clearEmptyServer = QStringLiteral(
    "Cloud server is empty for current user -> clearing stale cursors and mappings before bootstrap upload");
inline const QString logBootstrapPrefix = QStringLiteral("Cloud bootstrap detected -> uploading ");
inline const QString logBootstrapSuffix = QStringLiteral(" local reminders to empty server");
inline const QString logRestartApply
    = QStringLiteral("Process restarted -> applying full cloud snapshot before rebasing local push cursor");
inline const QString logRestartFullUpload
    = QStringLiteral("Process restarted -> uploading full local snapshot after cloud rebase");
inline const QString logRestartUploadPrefix = QStringLiteral("Process restarted -> uploading ");
inline const QString logRestartUploadSuffix = QStringLiteral(" reconciled local reminders");
inline const QString logAlignedPrefix = QStringLiteral("Cloud recurring active due dates aligned locally count=");
inline const QString logLocalChangesDuringSync
    = QStringLiteral("Local changes arrived during cloud sync; continuing upload from cursor ");

// Loops.
inline const QString logRealtimeStarted = QStringLiteral("Cloud realtime wait started (25s long-poll)");

// Maintenance.
inline const QString logRebuildNoMonitor = QStringLiteral("Manual cloud rebuild skipped: reminder monitor unavailable");
inline const QString logRebuildNoBaseURL = QStringLiteral("Manual cloud rebuild skipped: cloud base URL is empty");
inline const QString logRebuildRequested
    = QStringLiteral("Manual cloud rebuild requested -> refreshing Reminder snapshot first");
inline const QString logRebuildNoToken = QStringLiteral("Manual cloud rebuild skipped: cloud auth token missing");
inline const QString clearRebuild = QStringLiteral("Cloud rebuild generation reset before manual bootstrap upload");
inline const QString logRebuildResetPrefix = QStringLiteral("Cloud rebuild generation reset -> rebuilding from ");
inline const QString logRebuildResetSuffix = QStringLiteral(" local reminders");
inline const QString logRebuildFailedPrefix = QStringLiteral("Manual cloud rebuild failed: ");

} // namespace quorvin::SyncText
