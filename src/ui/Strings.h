#pragma once

#include <QString>
#include <QStringList>

#include <utility>

// Exact texts of the main window's views.
namespace quorvin::UiText {

// Main view frame.
inline const QString loginNavigationTitle = QStringLiteral("登录 Quorvin");
inline const QString appearanceLight = QStringLiteral("浅色");
inline const QString appearanceDark = QStringLiteral("深色");
inline const QString appearanceSystem = QStringLiteral("跟随系统");
// Statuses of the account the main view reacts to.
inline const QString phoneSavedStatus = QStringLiteral("手机号已保存");
inline const QString passwordUpdatedStatus = QStringLiteral("密码已更新");
// A code hint that carries the development code after it.
inline const QString developmentCodePrefix = QStringLiteral("开发验证码：");

// Login view.
inline const QString loginQuit = QStringLiteral("退出 Quorvin");
inline const QString loginWelcome = QStringLiteral("欢迎使用 Quorvin");
inline const QString loginPhonePlaceholder = QStringLiteral("手机号");
inline const QString loginPasswordPlaceholder = QStringLiteral("密码");
inline const QString loginCodePlaceholder = QStringLiteral("6 位验证码");
inline const QString loginCodeSending = QStringLiteral("发送中");
inline const QString loginCodeResend = QStringLiteral("重新发送");
inline const QString loginCodeRequest = QStringLiteral("获取验证码");
inline const QString loginRegisterHint = QStringLiteral("如果未注册，请使用验证码注册");
inline const QString loginUseCode = QStringLiteral("验证码登录");
inline const QString loginUsePassword = QStringLiteral("密码登录");
inline const QString loginConsentAccessibility = QStringLiteral("同意用户协议和隐私政策");
inline const QString loginConsentRead = QStringLiteral("我已阅读并同意");
inline const QString loginUserAgreement = QStringLiteral("《用户协议》");
inline const QString loginConsentAnd = QStringLiteral("和");
inline const QString loginPrivacyPolicy = QStringLiteral("《隐私政策》");
inline const QString loginInProgress = QStringLiteral("登录中…");
inline const QString loginCodeSubmit = QStringLiteral("登录/注册");
inline const QString loginPasswordSubmit = QStringLiteral("登录");
inline const QString loginConsentRequired = QStringLiteral("请先阅读并同意用户协议和隐私政策");
// A status line that contains any of these reads as a failure.
inline const QStringList loginFailureTerms = {
    QStringLiteral("失败"),
    QStringLiteral("不正确"),
    QStringLiteral("无效"),
    QStringLiteral("没有"),
    QStringLiteral("未返回"),
    QStringLiteral("暂未"),
    QStringLiteral("取消"),
    QStringLiteral("请先"),
    QStringLiteral("请输入"),
    QStringLiteral("缺少"),
};

// The product's web pages. Like the cloud address, the host is a placeholder on a reserved domain
// until the product has one of its own.
inline const QString userAgreementURL = QStringLiteral("https://quorvin.invalid/terms.html");
inline const QString privacyPolicyURL = QStringLiteral("https://quorvin.invalid/privacy.html");

// ---- Dashboard, main window dialogs, launch-at-login prompt, about sheet and activity card.

// Toolbar.
inline const QString aboutButton = QStringLiteral("关于 Quorvin");
inline const QString diagnosticUploadButton = QStringLiteral("上传诊断");
inline const QString diagnosticUploadingButton = QStringLiteral("上传中");

// Dialogs. Every confirmation has a cancel button.
inline const QString dialogCancel = QStringLiteral("取消");
inline const QString rebuildCloudTitle = QStringLiteral("确认重建云端？");
inline const QString rebuildCloudConfirm = QStringLiteral("重建云端");
inline const QString rebuildCloudMessage
    = QStringLiteral("这会重置当前账号的云端同步世代，并用这台 Mac 的 Reminders "
                     "重新生成云端数据。鸿蒙端下次同步会先被云端快照覆盖；鸿蒙端上尚未同步到 Mac 的改动会被删除。");
inline const QString cleanupPrecheckTitle = QStringLiteral("完成项清理预检？");
inline const QString cleanupPrecheckStart = QStringLiteral("开始预检");
inline const QString cleanupPrecheckMessage
    = QStringLiteral("这个预检会对比云端完成项和本机 "
                     "Reminders，只找出本机多余的已完成项目。预检不会删除任何内容，结束后会再询问是否清理。");
inline const QString cleanupResultTitle = QStringLiteral("完成项清理预检");
// Between these two: the number of candidates.
inline const QString cleanupDeletePrefix = QStringLiteral("删除 ");
inline const QString cleanupDeleteSuffix = QStringLiteral(" 条本机完成项");
inline const QString cleanupKeep = QStringLiteral("保留");
inline const QString cleanupClose = QStringLiteral("关闭");
inline const QString cleanupNothingToClean = QStringLiteral("没有需要清理的本机完成项。");
// After the number of candidates.
inline const QString cleanupCountSuffix = QStringLiteral(" 条本机完成项可以清理。");
inline const QString diagnosticUploadTitle = QStringLiteral("上传诊断报告？");
inline const QString diagnosticUploadConfirm = QStringLiteral("上传");
inline const QString diagnosticUploadMessage = QStringLiteral(
    "将上传本机同步快照、Reminders "
    "快照、云端游标、映射表和最近日志；服务器会同时保存接收时的云端快照。报告仅用于诊断两端不一致问题。");
inline const QString launchAtLoginPromptTitle = QStringLiteral("是否开机自动启动 Quorvin？");
inline const QString launchAtLoginPromptMessage
    = QStringLiteral("开启后，Mac 开机登录后会自动同步 Reminders 和鸿蒙端数据。你也可以之后在主窗口里关闭。");
inline const QString launchAtLoginPromptEnable = QStringLiteral("开启");
inline const QString launchAtLoginPromptLater = QStringLiteral("暂时不要");

// About sheet.
inline const QString aboutTitle = QStringLiteral("关于 Quorvin");
inline const QString aboutDescription
    = QStringLiteral("Quorvin 是一款个人提醒事项管理与跨设备同步工具，通过 Quorvin 同步服务，在 HarmonyOS 设备和 Mac "
                     "上的 Apple Reminders 之间同步任务。");
inline const QString aboutIndependence = QStringLiteral("Quorvin 为独立开发应用，与 Apple Inc. 无隶属或赞助关系。");
// Around the support address.
inline const QString aboutContactPrefix = QStringLiteral("若有疑问，请联系 ");
inline const QString aboutContactSuffix = QStringLiteral("。");
// Like the web pages, on a reserved domain until the product has one of its own.
inline const QString supportEmail = QStringLiteral("support@quorvin.invalid");
// "版本 1.2（34）"; a missing part shows as "-".
inline const QString aboutVersionPrefix = QStringLiteral("版本 ");
inline const QString aboutBuildOpen = QStringLiteral("（");
inline const QString aboutBuildClose = QStringLiteral("）");
inline const QString aboutGuideHeading = QStringLiteral("同步使用说明");
inline const QString aboutGuideSessions
    = QStringLiteral("1. Mac 端和鸿蒙端使用同一个手机号登录后会自动建立各自设备会话。");
inline const QString aboutGuidePermission
    = QStringLiteral("2. 首次运行会请求 Reminders 权限；如拒绝，请到 系统设置 → 隐私与安全性 → 提醒事项重新允许。");
inline const QString aboutClose = QStringLiteral("关闭");

// Dashboard.
inline const QString emptyValue = QStringLiteral("-");
inline const QString syncCenterTitle = QStringLiteral("同步中心");
inline const QString metricReminders = QStringLiteral("提醒事项");
// After the number of reminders.
inline const QString metricRemindersSuffix = QStringLiteral(" 条");
inline const QString metricLocalCursor = QStringLiteral("本地游标");
inline const QString metricCloudCursor = QStringLiteral("云端游标");
inline const QString statusCloudAddress = QStringLiteral("云端地址");
inline const QString statusSyncResult = QStringLiteral("同步结果");
inline const QString syncOperationsTitle = QStringLiteral("同步操作");
inline const QString macBehaviorTitle = QStringLiteral("Mac 行为");
inline const QString manualRefreshTile = QStringLiteral("手动刷新");
inline const QString rebuildCloudTile = QStringLiteral("重建云端");
inline const QString cleanupTile = QStringLiteral("完成清理");
inline const QString cleanupRunningTile = QStringLiteral("检查中");
inline const QString quitTile = QStringLiteral("退出程序");
inline const QString dockIconSwitch = QStringLiteral("Dock 图标");
inline const QString menuBarIconSwitch = QStringLiteral("菜单栏图标");
inline const QString shortcutSwitch = QStringLiteral("全局快捷键");
inline const QString shortcutHint = QStringLiteral("显示主窗口：⌥⇧L");

// Activity card and rows.
inline const QString activityTitle = QStringLiteral("最近活动");
inline const QString activityClear = QStringLiteral("清除");
inline const QString activityEmpty = QStringLiteral("暂无最近活动");
inline const QString activityBadgeSync = QStringLiteral("同步更新");
inline const QString activityBadgeUser = QStringLiteral("你的操作");
inline const QString activityBadgeOther = QStringLiteral("活动");
inline const QString activityJustNow = QStringLiteral("刚刚");
// After the number of minutes, of hours.
inline const QString activityMinutesAgo = QStringLiteral(" 分钟前");
inline const QString activityHoursAgo = QStringLiteral(" 小时前");
// Detail lines with these labels are never shown.
inline const QStringList activityHiddenLabels = {
    QStringLiteral("排序"),
    QStringLiteral("颜色"),
    QStringLiteral("图标"),
    QStringLiteral("完成状态"),
};
inline const QString activityLabelList = QStringLiteral("列表");
inline const QString activityShownList = QStringLiteral("所在列表：");
inline const QString activityLabelDue = QStringLiteral("截止");
inline const QString activityShownDue = QStringLiteral("截止时间：");
inline const QString activityStoredColon = QStringLiteral(":");
inline const QString activityStoredArrow = QStringLiteral("->");
inline const QString activityChangedFrom = QStringLiteral("从 ");
inline const QString activityChangedTo = QStringLiteral(" 改为 ");
inline const QString activityShownColon = QStringLiteral("：");
inline const QString activityUnset = QStringLiteral("未设置");
inline const QString activityNone = QStringLiteral("无");
inline const QString activityValueOpen = QStringLiteral("「");
inline const QString activityValueClose = QStringLiteral("」");
// A stored detail line names its change first ("更新任务「买菜」") and lists the field changes
// after this mark, each set off by the separator.
inline const QString activitySummaryEnd = QStringLiteral("」：");
inline const QString activityChangeSeparator = QStringLiteral("；");
// The engine's wording and what the rows show instead, applied in this order; each pair works on
// the result of the ones before it.
// What the phrases that tell of a change coming from the cloud begin with; a row of the user's own
// actions never reads as one.
inline const QString activityFromCloud = QStringLiteral("从云端");
inline const QList<std::pair<QString, QString>> activityPhrases = {
    {QStringLiteral("条目"), QStringLiteral("任务")},
    {QStringLiteral("移动任务"), QStringLiteral("移至其他列表")},
    {QStringLiteral("编辑任务"), QStringLiteral("更新任务")},
    {QStringLiteral("编辑列表"), QStringLiteral("更新列表")},
    {QStringLiteral("全量拉取"), QStringLiteral("已同步所有内容")},
    {QStringLiteral("增量拉取"), QStringLiteral("已同步最新变化")},
    {QStringLiteral("应用远端删除任务"), QStringLiteral("从云端删除本机任务")},
    {QStringLiteral("应用远端删除列表"), QStringLiteral("从云端删除本机列表")},
    {QStringLiteral("应用远端删除"), QStringLiteral("从云端删除本机")},
    {QStringLiteral("同步删除任务"), QStringLiteral("从云端删除本机任务")},
    {QStringLiteral("同步删除列表"), QStringLiteral("从云端删除本机列表")},
    {QStringLiteral("拉取远端任务"), QStringLiteral("从云端同步新任务")},
    {QStringLiteral("拉取任务"), QStringLiteral("从云端同步新任务")},
    {QStringLiteral("拉取列表"), QStringLiteral("从云端同步新列表")},
    {QStringLiteral("应用远端更新任务"), QStringLiteral("从云端更新本机任务")},
    {QStringLiteral("更新任务"), QStringLiteral("从云端更新本机任务")},
    {QStringLiteral("更新列表"), QStringLiteral("从云端更新本机列表")},
    {QStringLiteral("上传新增列表"), QStringLiteral("本机新增列表已上传")},
    {QStringLiteral("上传编辑列表"), QStringLiteral("本机编辑列表已上传")},
    {QStringLiteral("上传删除列表"), QStringLiteral("本机删除列表已上传")},
    {QStringLiteral("上传完成状态"), QStringLiteral("本机完成状态已上传")},
    {QStringLiteral("上传删除任务"), QStringLiteral("本机删除任务已上传")},
    {QStringLiteral("上传任务"), QStringLiteral("本机任务已上传")},
    {QStringLiteral("上传智能列表"), QStringLiteral("本机智能列表已上传")},
    {QStringLiteral("上传删除智能列表"), QStringLiteral("本机删除智能列表已上传")},
};

// ==== Account sheet: profile, phone and password editors, device sessions, account deletion ====

// The sheet and its identity header.
inline const QString accountTitleFallback = QStringLiteral("同步账号");
inline const QString accountSheetClose = QStringLiteral("关闭账号页");
inline const QString accountLogout = QStringLiteral("退出");
inline const QString accountAvatarChange = QStringLiteral("更换头像");
inline const QString accountNicknamePlaceholder = QStringLiteral("昵称");
inline const QString accountNicknameSave = QStringLiteral("保存昵称");
inline const QString accountNicknameEdit = QStringLiteral("编辑昵称");
inline const QString accountNicknameEmpty = QStringLiteral("昵称不能为空");
inline const QString accountNicknameTooLong = QStringLiteral("昵称最多 80 个字符");
inline const QString accountAvatarChooserFailedPrefix = QStringLiteral("头像选择失败：");
// The query item that makes a re-uploaded avatar at the same address load afresh.
inline const QString accountAvatarVersionQueryItem = QStringLiteral("_mqv");
inline const QString accountPersonalInfo = QStringLiteral("个人信息");
inline const QString accountPasswordRow = QStringLiteral("密码");
inline const QString accountPasswordSet = QStringLiteral("已设密码");
inline const QString accountPasswordNotSet = QStringLiteral("未设密码");
inline const QString accountEdit = QStringLiteral("编辑");

// Device sessions.
inline const QString devicesHeading = QStringLiteral("连接设备");
inline const QString devicesRefreshing = QStringLiteral("刷新中");
inline const QString devicesRefresh = QStringLiteral("刷新");
inline const QString devicesEmpty = QStringLiteral("暂无连接设备");
inline const QString deviceCurrent = QStringLiteral("当前");
inline const QString deviceRemoving = QStringLiteral("移除中");
inline const QString deviceRemove = QStringLiteral("移除");
inline const QString deviceRemovalTitle = QStringLiteral("移除设备？");
inline const QString deviceRemovalCancel = QStringLiteral("取消");
inline const QString deviceRemovalHarmonyMessage
    = QStringLiteral("移除后，该鸿蒙设备下次访问服务器时会退出 Quorvin 账号，并清空该设备上的 Quorvin 本地数据。");
inline const QString deviceRemovalMacMessage = QStringLiteral(
    "移除后，该 Mac 下次访问服务器时会退出 Quorvin 账号，并停止与服务器同步；不会删除该 Mac 上的 Apple Reminders。");
inline const QString deviceRemovalOtherMessage
    = QStringLiteral("移除后，该设备上的 Quorvin 账号将退出，并停止与服务器同步。");
inline const QString accountDeletionButton = QStringLiteral("注销账号");
inline const QString clientKindMac = QStringLiteral("mqv");
inline const QString clientKindHarmony = QStringLiteral("hqv");
inline const QString clientKindMacLabel = QStringLiteral("Mac");
inline const QString clientKindHarmonyLabel = QStringLiteral("鸿蒙设备");
inline const QString clientKindMissingLabel = QStringLiteral("同步服务");
// Label prefixes that name a device kind, tested in this order.
inline const QStringList deviceLabelKindPrefixes = {
    QStringLiteral("mqv "),
    QStringLiteral("hqv "),
    QStringLiteral("mac 设备 "),
    QStringLiteral("mac "),
    QStringLiteral("鸿蒙设备 "),
};
// Labels that name only the kind, no model.
inline const QStringList deviceLabelBareKinds = {QStringLiteral("mqv"), QStringLiteral("mac")};
inline const QString deviceMacGeneric = QStringLiteral("Mac 设备");
inline const QString deviceHarmonyGeneric = QStringLiteral("鸿蒙设备");
inline const QString deviceLastSeenPrefix = QStringLiteral("上次活动 ");
inline const QString deviceSubtitleSeparator = QStringLiteral(" · ");

// Input rules and display formatting.
inline const QString mainlandCountryCode = QStringLiteral("86");
inline const QString mainlandCountryPrefix = QStringLiteral("+86");
inline const QString phoneMask = QStringLiteral("****");
inline const QStringList weakPasswordTerms = {
    QStringLiteral("password"),
    QStringLiteral("qwerty"),
    QStringLiteral("abc123"),
    QStringLiteral("admin123"),
    QStringLiteral("quorvin"),
    QStringLiteral("iloveyou"),
    QStringLiteral("letmein"),
};
inline const QString passwordTooShort = QStringLiteral("密码至少需要 8 位");
inline const QString passwordTooLong = QStringLiteral("密码不能超过 16 位");
inline const QString passwordNeedsLettersAndDigits = QStringLiteral("密码需要同时包含字母和数字");
inline const QString passwordTooSimple = QStringLiteral("密码过于简单，请换一个更难猜的密码");
inline const QString passwordContainsPhone = QStringLiteral("密码不能包含手机号");
inline const QString passwordHelpEmpty = QStringLiteral("8-16 位，需同时包含字母和数字，支持标点符号。");
inline const QString passwordHelpRepeat = QStringLiteral("请再次输入新密码");
inline const QString passwordHelpMismatch = QStringLiteral("两次输入的新密码不一致");
inline const QString passwordHelpAcceptable = QStringLiteral("密码格式可用");
inline const QString compactDateTimeLocale = QStringLiteral("zh_CN");
inline const QString compactDateTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm");

// Editor chrome, the phone row and the phone editor.
inline const QString phoneRowTitle = QStringLiteral("手机号");
inline const QString phoneHide = QStringLiteral("隐藏手机号");
inline const QString phoneShow = QStringLiteral("显示手机号");
inline const QString phoneLinked = QStringLiteral("已绑定");
inline const QString phoneNotConfirmedHere = QStringLiteral("未在本机确认");
inline const QString editorCancel = QStringLiteral("取消");
inline const QString editorSaving = QStringLiteral("保存中");
inline const QString editorSave = QStringLiteral("保存");
inline const QString phoneEditorTitle = QStringLiteral("修改手机号");
inline const QString phoneEditorNumberTitle = QStringLiteral("新手机号");
inline const QString phoneEditorNumberPlaceholder = QStringLiteral("手机号");
inline const QString phoneEditorCodeTitle = QStringLiteral("验证码");
inline const QString editorCodePlaceholder = QStringLiteral("6 位验证码");
inline const QString editorCodeSending = QStringLiteral("发送中");
inline const QString editorCodeResend = QStringLiteral("重新发送");
inline const QString phoneEditorCodeRequest = QStringLiteral("获取验证码");

// Password editor.
inline const QString passwordEditorTitle = QStringLiteral("修改密码");
inline const QString passwordModeCurrent = QStringLiteral("原密码验证");
inline const QString passwordModeCode = QStringLiteral("验证码验证");
inline const QString passwordCurrentField = QStringLiteral("原密码");
inline const QString passwordNewField = QStringLiteral("新密码");
inline const QString passwordConfirmField = QStringLiteral("确认新密码");
inline const QString passwordCodeRequest = QStringLiteral("发送验证码");

// Account deletion page.
inline const QString deletionTitle = QStringLiteral("注销账号");
inline const QString deletionWarning = QStringLiteral(
    "此操作不可撤销。注销后会退出所有鸿蒙设备和 Mac 设备，永久清空服务器上的提醒、列表、同步记录、设备与账号资料。");
inline const QString deletionCodeSending = QStringLiteral("发送中…");
inline const QString deletionCodeResend = QStringLiteral("重新发送");
inline const QString deletionCodeRequest = QStringLiteral("获取验证码");
inline const QString deletionConfirmationPlaceholder = QStringLiteral("请输入确认语");
inline const QString deletionInstruction = QStringLiteral("请在上方输入框输入：");
inline const QString deletionConfirmationSentence = QStringLiteral("我已阅读以上提示，确定注销");
inline const QString deletionCancel = QStringLiteral("取消");
inline const QString deletionRunning = QStringLiteral("注销中…");
inline const QString deletionConfirm = QStringLiteral("确认注销");
inline const QString deletionSendingCode = QStringLiteral("正在发送验证码");
inline const QString deletionCodeSent = QStringLiteral("验证码已发送，请查收短信");
inline const QString deletionInProgress = QStringLiteral("正在永久注销账号，请勿关闭应用");

// ==== end of the account sheet ====

} // namespace quorvin::UiText
