#pragma once

#include <QString>

// Exact texts of the activity and diagnostic logs: the stored key, categories, summaries and lines.
namespace quorvin::ActivityText {

inline const QString storageKey = QStringLiteral("Quorvin.ActivityLogs.v1");
inline const QString categorySync = QStringLiteral("同步");
inline const QString categoryUser = QStringLiteral("用户操作");
inline const QString summarySyncFailed = QStringLiteral("云同步失败");
inline const QString logClearedActivity = QStringLiteral("Cleared activity lines");
inline const QString untitled = QStringLiteral("未命名");

// ---- Change detection, activity texts, echo keys and the completed-reminder cleanup.

// The activity actions, in the order batch summaries count them.
inline const QString actionAdvanceRecurring = QStringLiteral("推进重复任务");
inline const QString actionComplete = QStringLiteral("完成任务");
inline const QString actionRestore = QStringLiteral("恢复任务");
inline const QString actionAddReminder = QStringLiteral("新增任务");
inline const QString actionDeleteReminder = QStringLiteral("删除任务");
inline const QString actionChangeDate = QStringLiteral("修改日期");
inline const QString actionSetDate = QStringLiteral("设置日期");
inline const QString actionRemoveDate = QStringLiteral("删除日期");
inline const QString actionMoveList = QStringLiteral("移至其他列表");
inline const QString actionUpdateReminder = QStringLiteral("更新任务");
inline const QString actionAddList = QStringLiteral("新增列表");
inline const QString actionDeleteList = QStringLiteral("删除列表");
inline const QString actionUpdateList = QStringLiteral("更新列表");

inline const QString entityReminder = QStringLiteral("任务");
inline const QString entityList = QStringLiteral("列表");

inline const QString emptyValue = QStringLiteral("空");
inline const QString titleOpen = QStringLiteral("「");
inline const QString titleClose = QStringLiteral("」");
inline const QString arrow = QStringLiteral(" -> ");
// Qt date formats of activity dates, shown on the China calendar day.
inline const QString dateWithTimeFormat = QStringLiteral("yyyy'年'M'月'd'日' HH:mm");
inline const QString dateOnlyFormat = QStringLiteral("yyyy'年'M'月'd'日'");

inline const QString labelList = QStringLiteral("列表: ");
inline const QString labelDate = QStringLiteral("日期: ");
inline const QString labelRepeat = QStringLiteral("重复: ");
inline const QString labelTitle = QStringLiteral("标题: ");
inline const QString labelNotes = QStringLiteral("备注: ");
inline const QString labelURL = QStringLiteral("链接: ");
inline const QString labelPriority = QStringLiteral("优先级: ");
inline const QString labelStartDate = QStringLiteral("开始日期: ");
inline const QString labelDueDate = QStringLiteral("截止日期: ");
inline const QString labelThisDate = QStringLiteral("本次日期: ");
inline const QString labelNextDate = QStringLiteral("下一次日期: ");
inline const QString labelCompletedAt = QStringLiteral("完成时间: ");
inline const QString labelColor = QStringLiteral("颜色: ");
inline const QString labelSortOrder = QStringLiteral("排序: ");
inline const QString labelName = QStringLiteral("名称: ");
inline const QString labelIcon = QStringLiteral("图标: ");

inline const QString summaryPartSuffix = QStringLiteral(" 项");
inline const QString localSummaryPrefix = QStringLiteral("已记录操作：");
inline const QString localSummaryFallback = QStringLiteral("本机任务已更新");
inline const QString cloudSummaryFullSnapshot = QStringLiteral("全量刷新");
inline const QString cloudSummaryChanges = QStringLiteral("已同步最新变化");
inline const QString fullWidthColon = QStringLiteral("：");
inline const QString fullWidthComma = QStringLiteral("，");
inline const QString fullWidthSemicolon = QStringLiteral("；");

// Refresh reasons.
inline const QString reasonStartup = QStringLiteral("startup");
inline const QString reasonEventKitChange = QStringLiteral("eventkit-change");
inline const QString reasonEventKitSettle = QStringLiteral("eventkit-settle");
inline const QString reasonManual = QStringLiteral("manual");

inline const QString echoTitleKeyPrefix = QStringLiteral("title|");
inline const QString logCloudPullSuppressed = QStringLiteral("Cloud pull activity suppressed as local echo");
inline const QString logLocalSuppressedPrefix
    = QStringLiteral("Local activity log suppressed as cloud-originated EventKit echo [");
inline const QString logLocalSuppressedSuffix = QStringLiteral("]");

inline const QString cleanupSummaryPrefix = QStringLiteral("完成项清理预检：云端完成 ");
inline const QString cleanupSummaryPreserved = QStringLiteral("，保留本机 ID ");
inline const QString cleanupSummaryCandidates = QStringLiteral("，候选删除 ");
inline const QString cleanupSummaryWarningPrefix = QStringLiteral("；注意：");
inline const QString cleanupSummaryWarningSuffix = QStringLiteral(" 条云端完成项缺少 source/mapping");
inline const QString cleanupNoList = QStringLiteral("<无列表>");
inline const QString cleanupDetailList = QStringLiteral("Completed cleanup candidate list=");
inline const QString cleanupDetailTitle = QStringLiteral(" title=");
inline const QString cleanupDetailDue = QStringLiteral(" due=");
inline const QString cleanupDetailCompleted = QStringLiteral(" completed=");
inline const QString cleanupDetailLocalID = QStringLiteral(" local_id=");
inline const QString cleanupDetailAbsent = QStringLiteral("-");

} // namespace quorvin::ActivityText
