#pragma once

#include <QString>

// Every fixed text of the reminders bridge: record constants, Chinese summaries, error messages
// and diagnostic line parts.
namespace quorvin::RemindersText {

inline const QString source = QStringLiteral("apple_reminders");
inline const QString unnamedList = QStringLiteral("未命名列表");
inline const QString alarmIdPrefix = QStringLiteral("alarm-");
inline const QString tagPattern = QStringLiteral("(?:^|\\s)#([\\p{L}\\p{N}_-]+)");
inline const QString defaultLocationTitle = QStringLiteral("提醒事项");

inline const QString structuredSummaryPrefix = QStringLiteral("custom:");
inline const QString never = QStringLiteral("永不");
inline const QString summaryWorkingDays = QStringLiteral("工作日");
inline const QString summaryWeekend = QStringLiteral("周末");
inline const QString summaryDaily = QStringLiteral("每天");
inline const QString summaryWeekly = QStringLiteral("每周");
inline const QString summaryMonthly = QStringLiteral("每月");
inline const QString summaryYearly = QStringLiteral("每年");
inline const QString summaryCustom = QStringLiteral("自定义重复");
inline const QString summaryEvery = QStringLiteral("每");
inline const QString unitDay = QStringLiteral("天");
inline const QString unitWeek = QStringLiteral("周");
inline const QString unitMonth = QStringLiteral("月");
inline const QString unitYear = QStringLiteral("年");

// Refresh reasons.
inline const QString reasonStartup = QStringLiteral("startup");
inline const QString reasonEventKitChange = QStringLiteral("eventkit-change");
inline const QString reasonEventKitSettle = QStringLiteral("eventkit-settle");
inline const QString reasonAndroidWrite = QStringLiteral("android-write");
inline const QString reasonManual = QStringLiteral("manual");
inline const QString reasonCloudPull = QStringLiteral("cloud-pull");
inline const QString reasonCompletedCleanup = QStringLiteral("completed-cleanup");

// Error messages.
inline const QString errInvalidStartDate = QStringLiteral("Invalid start_date");
inline const QString errInvalidDueDate = QStringLiteral("Invalid due_date");
inline const QString errInvalidPriority = QStringLiteral("Invalid priority");
inline const QString errInvalidAbsoluteAlarm = QStringLiteral("Invalid absolute alarm");
inline const QString errNoReminderList = QStringLiteral("No reminder list available");
inline const QString errTargetListNotFound = QStringLiteral("Target list not found");
inline const QString errListNameRequired = QStringLiteral("List name is required");
inline const QString errNoCalendarSource = QStringLiteral("No calendar source available");
inline const QString errRepeatTypeRequired = QStringLiteral("repeat_type required when repeat_summary is set");
inline const QString errHourly = QStringLiteral("repeat_type hourly is not supported by EventKit reminders");
inline const QString errUnsupportedRepeatType = QStringLiteral("Unsupported repeat_type: ");
inline const QString errUnsupportedFrequency = QStringLiteral("Unsupported recurrence frequency");

// Diagnostic lines.
inline const QString diagStoreChanged = QStringLiteral("EventKit changed -> scheduling refresh");
inline const QString repeatPrefix = QStringLiteral("[QuorvinRepeat] ");
inline const QString repeatLocalCompletionSplit = QStringLiteral("local-completion-split local_id=");
inline const QString repeatNextLocalID = QStringLiteral(" next_local_id=");
inline const QString valueNil = QStringLiteral("<nil>");
inline const QString valueNew = QStringLiteral("<new>");
inline const QString diagCleanupSkippedPrefix
    = QStringLiteral("Completed cleanup skipped missing/non-completed reminders count=");

// The attachment export directory.
inline const QString attachmentBookmarkKey = QStringLiteral("Quorvin.AttachmentExportDirectoryBookmark");
inline const QString attachmentNotAuthorized = QStringLiteral("Not authorized (using fallback path only)");

} // namespace quorvin::RemindersText
