#pragma once

#include <QString>

// Exact texts of the sync engine: status lines, activity entries, triggers and diagnostic lines.
// Texts that continue with a value end where the value is appended; the " name=" fields of the
// key=value diagnostic lines are shared by every line that has them.
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

// Activity entries (the categories and the failure summary are the activity log's).
inline const QString activityRebuildStarted = QStringLiteral("已开始重建云端");
inline const QString activityRebuildDetailPrefix = QStringLiteral("将用这台 Mac 的 ");
inline const QString activityRebuildDetailSuffix = QStringLiteral(" 条任务重新生成云端数据");
inline const QString activityRebuildFailed = QStringLiteral("重建云端失败");

// Count verification.
inline const QString countStateMatched = QStringLiteral("matched");
inline const QString countStateMismatched = QStringLiteral("mismatched");
inline const QString countMismatchPrefix = QStringLiteral("条数不一致：云端 ");
inline const QString countMismatchMiddle = QStringLiteral("；Reminders ");
inline const QString logCountMismatchPrefix = QStringLiteral("云同步条数验证失败 [");

// ---- Diagnostics report and completed-reminder cleanup.
inline const QString missingBaseURL = QStringLiteral("缺少云端地址");
inline const QString logDiagnosticNoBaseURL = QStringLiteral("Diagnostic upload skipped: cloud base URL is empty");
inline const QString logDiagnosticNoToken = QStringLiteral("Diagnostic upload skipped: cloud auth token missing");
inline const QString diagnosticClientKind = QStringLiteral("mqv");
inline const QString diagnosticPlatform = QStringLiteral("macos");
inline const QString diagnosticMonitorUnavailable = QStringLiteral("Reminder monitor unavailable");
// Stands in the report wherever the session token appeared.
inline const QString diagnosticRedacted = QStringLiteral("<redacted>");
inline const QString logDiagnosticUploadedPrefix = QStringLiteral("Diagnostic report uploaded id=");
inline const QString logDiagnosticUploadedCursor = QStringLiteral(" server_cursor=");
inline const QString activityDiagnosticUploaded = QStringLiteral("已上传诊断报告");
inline const QString activityDiagnosticUploadedDetail
    = QStringLiteral("上传内容：本机应用快照、Reminders 快照、映射表、云端游标、最近日志");
inline const QString logDiagnosticFailedPrefix = QStringLiteral("Diagnostic report upload failed: ");
inline const QString diagnosticUploadFailed = QStringLiteral("诊断上传失败");
inline const QString activityDiagnosticFailed = QStringLiteral("诊断报告上传失败");

inline const QString logCleanupDryRunNoMonitor
    = QStringLiteral("Completed cleanup dry-run skipped: reminder monitor unavailable");
inline const QString logCleanupDryRunNoBaseURL
    = QStringLiteral("Completed cleanup dry-run skipped: cloud base URL is empty");
inline const QString logCleanupDryRunNoToken
    = QStringLiteral("Completed cleanup dry-run skipped: cloud auth token missing");
inline const QString cleanupChecking = QStringLiteral("正在检查 Reminders 本地完成项...");
inline const QString logCleanupWarningPrefix
    = QStringLiteral("Completed cleanup warning: remote completed reminders without source/mapping count=");
inline const QString cleanupDryRunFailed = QStringLiteral("完成项清理预检失败");
inline const QString cleanupDryRunFailedPrefix = QStringLiteral("完成项清理预检失败：");
inline const QString logCleanupDryRunFailedPrefix = QStringLiteral("Completed cleanup dry-run failed: ");
inline const QString logCleanupDeleteNoMonitor
    = QStringLiteral("Completed cleanup delete skipped: reminder monitor unavailable");
inline const QString logCleanupDeleteNoCandidates
    = QStringLiteral("Completed cleanup delete skipped: no dry-run candidates");
inline const QString cleanupDeletingPrefix = QStringLiteral("正在删除 ");
inline const QString cleanupDeletingSuffix = QStringLiteral(" 条本机多余完成项...");
inline const QString cleanupDeletedPrefix = QStringLiteral("已删除 ");
inline const QString cleanupDeletedSuffix = QStringLiteral(" 条本机多余完成项。");
inline const QString logCleanupDeletedPrefix
    = QStringLiteral("Completed cleanup deleted local completed reminders count=");
inline const QString cleanupDone = QStringLiteral("完成项清理完成");
inline const QString cleanupDeleteFailed = QStringLiteral("完成项清理删除失败");
inline const QString cleanupDeleteFailedPrefix = QStringLiteral("完成项清理删除失败：");
inline const QString logCleanupDeleteFailedPrefix = QStringLiteral("Completed cleanup delete failed: ");
inline const QString triggerCompletedCleanup = QStringLiteral("completed-cleanup");
inline const QString taskDiagnosticsUpload = QStringLiteral("diagnostics upload");
inline const QString taskCleanupDryRun = QStringLiteral("completed cleanup dry run");
inline const QString taskCleanupDelete = QStringLiteral("completed cleanup delete");

// Triggers.
inline const QString triggerStartup = QStringLiteral("startup");
inline const QString triggerStartupBootstrap = QStringLiteral("startup-bootstrap");
// Appended to a pass's trigger for the profile refresh at its end.
inline const QString triggerProfileSuffix = QStringLiteral("-sync");
inline const QString triggerHealthFallback = QStringLiteral("realtime-health-fallback");
inline const QString triggerRealtimeWait = QStringLiteral("realtime-wait");
inline const QString triggerCountVerification = QStringLiteral("count-verification-request");
inline const QString triggerPullFollowUp = QStringLiteral("cloud-pull-local-followup");
inline const QString triggerLocalChangesDuringSync = QStringLiteral("local-changes-during-sync");
inline const QString triggerManualBootstrap = QStringLiteral("manual-bootstrap");
inline const QString triggerRetry = QStringLiteral("cloud-sync-retry");

// Names of the engine's background tasks, in the line that reports an error they let escape.
inline const QString taskRunner = QStringLiteral("cloud sync runner");
inline const QString taskStart = QStringLiteral("service start");
inline const QString taskHealthPoll = QStringLiteral("cloud health poll");
inline const QString taskRealtimeWait = QStringLiteral("cloud realtime wait");
inline const QString taskManualRefresh = QStringLiteral("manual refresh");
inline const QString taskRebuild = QStringLiteral("cloud rebuild");
inline const QString taskStop = QStringLiteral("service stop");
inline const QString taskRetry = QStringLiteral("cloud sync retry");

// Fields of the diagnostic lines.
inline const QString fieldServerID = QStringLiteral(" server_id=");
inline const QString fieldLocalID = QStringLiteral(" local_id=");
inline const QString fieldMappedServerID = QStringLiteral(" mapped_server_id=");
inline const QString fieldMappedLocalID = QStringLiteral(" mapped_local_id=");
inline const QString fieldCompletedServerID = QStringLiteral(" completed_server_id=");
inline const QString fieldCompletedLocalID = QStringLiteral(" completed_local_id=");
inline const QString fieldOldLocalID = QStringLiteral(" old_local_id=");
inline const QString fieldNextLocalID = QStringLiteral(" next_local_id=");
inline const QString fieldKept = QStringLiteral(" kept=");
inline const QString fieldRemoved = QStringLiteral(" removed=");
inline const QString fieldDuplicateCopy = QStringLiteral(" duplicate_copy=");
inline const QString fieldRemoteLastModified = QStringLiteral(" remote_last_modified=");
// Before the error description that ends a line.
inline const QString reasonSeparator = QStringLiteral(": ");
// Values written for what is absent.
inline const QString valueNil = QStringLiteral("<nil>");
inline const QString valueNone = QStringLiteral("<none>");
inline const QString valueEmpty = QStringLiteral("<empty>");

// Refresh events.
inline const QString refreshSummaryUpserts = QStringLiteral(": +");
inline const QString refreshSummaryDeletions = QStringLiteral(" / -");
inline const QString logRefreshPrefix = QStringLiteral("Refresh [");
inline const QString logRefreshUpserts = QStringLiteral("] upserts=");
inline const QString logRefreshDeletions = QStringLiteral(" deletions=");
inline const QString logRefreshTotal = QStringLiteral(" total=");
inline const QString logRefreshCursor = QStringLiteral(" cursor=");

// Diagnostic lines of the pass.
inline const QString logPassStartPrefix = QStringLiteral("云同步开始 [");
inline const QString logPassStartBaseURL = QStringLiteral("] -> ");
inline const QString logPassDonePrefix = QStringLiteral("云同步完成 [");
inline const QString logPassDonePushCursor = QStringLiteral("] push_cursor=");
inline const QString logPassDonePullCursor = QStringLiteral(" pull_cursor=");
inline const QString logPassFailedPrefix = QStringLiteral("云同步失败 [");
inline const QString logPassFailedDescription = QStringLiteral("]：");
inline const QString logCountMismatchText = QStringLiteral("] ");
inline const QString logPassFencedPrefix = QStringLiteral("Cloud sync pass ended after sync state reset [");
inline const QString logPassFencedSuffix = QStringLiteral("]");
inline const QString logPassStoppedPrefix = QStringLiteral("Cloud sync pass stopped at a safe point for quit [");
inline const QString logPassStoppedSuffix = QStringLiteral("]");
inline const QString clearEmptyServer = QStringLiteral(
    "Cloud server is empty for current user -> clearing stale cursors and mappings before bootstrap upload");
inline const QString logBootstrapPrefix = QStringLiteral("Cloud bootstrap detected -> uploading ");
inline const QString logBootstrapSuffix = QStringLiteral(" local reminders to empty server");
inline const QString logRestartApply
    = QStringLiteral("Process restarted -> applying full cloud snapshot before rebasing local push cursor");
inline const QString logRestartDeletionsPrefix
    = QStringLiteral("Process restarted -> applying cloud deletions since the last run reminders=");
inline const QString logRestartDeletionsLists = QStringLiteral(" lists=");
inline const QString logDeletedWhileClosedPrefix
    = QStringLiteral("Process restarted -> deleting cloud copies of reminders deleted here while closed count=");
inline const QString logSplitWhileClosedPrefix
    = QStringLiteral("Process restarted -> splitting repeating reminders completed here while closed count=");
inline const QString logLostAppWritesPrefix = QStringLiteral(
    "Process restarted -> reminders the last apply created are missing locally, restoring from the cloud count=");
inline const QString logLostByDatabasePrefix
    = QStringLiteral("Task database lost reminders it had taken -> restoring them from the cloud count=");
inline const QString logAllMappedMissingPrefix
    = QStringLiteral("Process restarted -> every mapped reminder is missing locally, restoring from the cloud count=");
inline const QString logRestartFullUpload
    = QStringLiteral("Process restarted -> uploading full local snapshot after cloud rebase");
inline const QString logRestartUploadPrefix = QStringLiteral("Process restarted -> uploading ");
inline const QString logRestartUploadSuffix = QStringLiteral(" reconciled local reminders");
inline const QString logAlignedPrefix = QStringLiteral("Cloud recurring active due dates aligned locally count=");
inline const QString logRetryScheduledPrefix = QStringLiteral("Cloud sync retry scheduled in ");
inline const QString logRetryScheduledSuffix = QStringLiteral("s");
inline const QString logLocalChangesDuringSync
    = QStringLiteral("Local changes arrived during cloud sync; continuing upload from cursor ");

// The push.
inline const QString logDeleteReminderAbsentPrefix = QStringLiteral("Cloud delete reminder already absent local_id=");
inline const QString logDeleteListAbsentPrefix = QStringLiteral("Cloud delete list already absent local_id=");
inline const QString logListMappingStalePrefix = QStringLiteral("Cloud list mapping stale local_id=");
inline const QString logLocalCompletionUploadPrefix
    = QStringLiteral("Cloud recurring local completion upload active_server_id=");
inline const QString logIdentityMismatchPrefix = QStringLiteral("Cloud mapping identity mismatch local_id=");
inline const QString logIdentityMismatchSuffix = QStringLiteral("; creating separate server copy");
inline const QString logIdentityMissingPrefix = QStringLiteral("Cloud source identity missing remotely local_id=");
inline const QString logIdentityMissingSuffix = QStringLiteral("; creating server copy");
inline const QString logKnownRemotelyPrefix
    = QStringLiteral("Cloud upload found server item by source identity local_id=");
inline const QString logKnownRemotelySuffix = QStringLiteral("; updating it instead of creating a copy");
inline const QString logUpsertTargetMissingPrefix = QStringLiteral("Cloud upsert target missing remotely local_id=");
inline const QString logUpsertTargetMissingSuffix = QStringLiteral("; uploading as new server item");

// The apply.
inline const QString logReminderRefusedPrefix = QStringLiteral("Cloud reminder apply refused by the store server_id=");
inline const QString logReminderRefusedSuffix = QStringLiteral("; retried at the next pass");
inline const QString logReminderDeleteSkippedPrefix = QStringLiteral("Cloud reminder delete apply skipped server_id=");
inline const QString logListDeleteSkippedPrefix = QStringLiteral("Cloud list delete apply skipped server_id=");
inline const QString reasonListKeptByStore
    = QStringLiteral("the reminder store cannot remove this list; it keeps the list and its reminders");
inline const QString logCompletedCopyRedundantPrefix
    = QStringLiteral("Cloud recurring completed copy redundant server_id=");
inline const QString logCompletedCopyDeleteRefusedPrefix
    = QStringLiteral("Cloud recurring completed copy delete refused, kept for the next pass server_id=");
inline const QString logCompletedOccurrenceDedupedPrefix
    = QStringLiteral("Cloud recurring completed occurrence deduped server_id=");
inline const QString logCompletedOccurrenceConsumedPrefix
    = QStringLiteral("Cloud recurring completed occurrence consumed server_id=");
inline const QString logMatchIndexPrefix = QStringLiteral("Cloud match index items=");
inline const QString logMatchIndexCandidates = QStringLiteral(" candidates=");
inline const QString logMatchIndexFullComparisons = QStringLiteral(" full_comparisons=");
inline const QString logPullPreservedPrefix
    = QStringLiteral("Cloud pull preserved pending local changes/identities at push cursor ");
inline const QString logPullPreservedSuffix = QStringLiteral(" for follow-up upload");

// Recurring completions.
inline const QString logCompletionCommandNoTargetPrefix
    = QStringLiteral("Cloud recurring completion command had no active local target server_id=");
inline const QString logCompletionCommandAppliedPrefix
    = QStringLiteral("Cloud recurring completion command applied server_id=");

// The local upsert.
inline const QString logDuplicateDetectedPrefix = QStringLiteral("Cloud duplicate detected server_id=");
inline const QString logActiveDuplicateRemovedPrefix
    = QStringLiteral("Cloud recurring active duplicate removed server_id=");
inline const QString logMatchedExistingPrefix
    = QStringLiteral("Cloud reminder matched existing local reminder server_id=");
inline const QString logMappingCompletionChangedPrefix
    = QStringLiteral("Cloud reminder mapping completion changed server_id=");
inline const QString logMappingCompletionMismatchPrefix
    = QStringLiteral("Cloud reminder mapping completion mismatch server_id=");
inline const QString logUpdatingOriginalSuffix = QStringLiteral("; updating original local reminder");
inline const QString logCreatingFreshSuffix = QStringLiteral("; creating a fresh local reminder");
inline const QString logSkippedStaleMappedPrefix
    = QStringLiteral("Cloud reminder skipped stale mapped remote server_id=");
inline const QString logLocalIDCompletionChangedPrefix
    = QStringLiteral("Cloud reminder local-id completion changed server_id=");
inline const QString logSkippedStalePrefix = QStringLiteral("Cloud reminder skipped stale remote server_id=");
inline const QString logCompletionAppliedPrefix = QStringLiteral("Cloud recurring completion applied server_id=");
inline const QString logCompletedRemovedDuplicatesPrefix
    = QStringLiteral("Cloud completed reminder removed stale active duplicates server_id=");

// Restart reconciliation.
inline const QString logRestartPlanPrefix = QStringLiteral("Cloud restart reconciliation inspected=");
inline const QString logRestartPlanIdentityLookups = QStringLiteral(" identity_lookups=");
inline const QString logRestartPlanSemanticLookups = QStringLiteral(" semantic_lookups=");
inline const QString logRestartPlanMappingRepairs = QStringLiteral(" mapping_repairs=");
inline const QString logRestartPlanDuplicates = QStringLiteral(" duplicates=");
inline const QString logRestartPlanUploads = QStringLiteral(" uploads=");
inline const QString logRestartPlanAmbiguous = QStringLiteral(" ambiguous=");
inline const QString restartAmbiguousPrefix = QStringLiteral("重启对账发现 ");
inline const QString restartAmbiguousSuffix
    = QStringLiteral(" 条无法安全判定的本地提醒，已停止自动修改，请上传诊断报告");
inline const QString logRestartDuplicatesRemovedPrefix = QStringLiteral("Cloud restart reconciliation removed ");
inline const QString logRestartDuplicatesRemovedSuffix = QStringLiteral(" strict recurring completion duplicates");

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
