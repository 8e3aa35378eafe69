#pragma once

#include <QString>

// Every fixed text of the reminders bridge: record constants, Chinese summaries, error messages
// and diagnostic line parts.
namespace quorvin::strings {

inline const QString kSource = QStringLiteral("apple_reminders");
inline const QString kUnnamedList = QStringLiteral("未命名列表");
inline const QString kAlarmIdPrefix = QStringLiteral("alarm-");
inline const QString kTagPattern = QStringLiteral("(?:^|\\s)#([\\p{L}\\p{N}_-]+)");
inline const QString kChinaTimeZone = QStringLiteral("Asia/Shanghai");
inline const QString kDefaultLocationTitle = QStringLiteral("提醒事项");

inline const QString kStructuredSummaryPrefix = QStringLiteral("custom:");
inline const QString kNever = QStringLiteral("永不");
inline const QString kSummaryWorkingDays = QStringLiteral("工作日");
inline const QString kSummaryWeekend = QStringLiteral("周末");
inline const QString kSummaryDaily = QStringLiteral("每天");
inline const QString kSummaryWeekly = QStringLiteral("每周");
inline const QString kSummaryMonthly = QStringLiteral("每月");
inline const QString kSummaryYearly = QStringLiteral("每年");
inline const QString kSummaryCustom = QStringLiteral("自定义重复");
inline const QString kSummaryEvery = QStringLiteral("每");
inline const QString kUnitDay = QStringLiteral("天");
inline const QString kUnitWeek = QStringLiteral("周");
inline const QString kUnitMonth = QStringLiteral("月");
inline const QString kUnitYear = QStringLiteral("年");

// Refresh reasons.
inline const QString kReasonStartup = QStringLiteral("startup");
inline const QString kReasonEventKitChange = QStringLiteral("eventkit-change");
inline const QString kReasonEventKitSettle = QStringLiteral("eventkit-settle");
inline const QString kReasonAndroidWrite = QStringLiteral("android-write");
inline const QString kReasonCompletedCleanup = QStringLiteral("completed-cleanup");
inline const QString kReasonManual = QStringLiteral("manual");
inline const QString kReasonCloudPull = QStringLiteral("cloud-pull");

// Error messages.
inline const QString kErrInvalidStartDate = QStringLiteral("Invalid start_date");
inline const QString kErrInvalidDueDate = QStringLiteral("Invalid due_date");
inline const QString kErrInvalidPriority = QStringLiteral("Invalid priority");
inline const QString kErrInvalidAbsoluteAlarm = QStringLiteral("Invalid absolute alarm");
inline const QString kErrNoReminderList = QStringLiteral("No reminder list available");
inline const QString kErrTargetListNotFound = QStringLiteral("Target list not found");
inline const QString kErrListNameRequired = QStringLiteral("List name is required");
inline const QString kErrNoCalendarSource = QStringLiteral("No calendar source available");
inline const QString kErrRepeatTypeRequired = QStringLiteral("repeat_type required when repeat_summary is set");
inline const QString kErrHourly = QStringLiteral("repeat_type hourly is not supported by EventKit reminders");
inline const QString kErrUnsupportedRepeatType = QStringLiteral("Unsupported repeat_type: ");
inline const QString kErrUnsupportedFrequency = QStringLiteral("Unsupported recurrence frequency");

// Diagnostic lines.
inline const QString kDiagStoreChanged = QStringLiteral("EventKit changed -> scheduling refresh");
inline const QString kRepeatPrefix = QStringLiteral("[QuorvinRepeat] ");
inline const QString kNil = QStringLiteral("<nil>");
inline const QString kNew = QStringLiteral("<new>");

// The attachment export directory.
inline const QString kAttachmentBookmarkKey = QStringLiteral("Quorvin.AttachmentExportDirectoryBookmark");
inline const QString kAttachmentNotAuthorized = QStringLiteral("Not authorized (using fallback path only)");

} // namespace quorvin::strings
