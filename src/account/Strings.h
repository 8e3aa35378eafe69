#pragma once

#include <QString>

// Exact texts of the cloud account: user defaults keys, status lines and diagnostic lines. Texts
// that continue with a value end where the value is appended.
namespace quorvin::AccountText {

// User defaults keys.
inline const QString keyAuthToken = QStringLiteral("Quorvin.CloudAuthToken");
inline const QString keyAuthTokenMarker = QStringLiteral("Quorvin.CloudAuthTokenMarker");
inline const QString keyUserID = QStringLiteral("Quorvin.CloudUserID");
inline const QString keySessionID = QStringLiteral("Quorvin.CloudSessionID");
inline const QString keySessionDeviceID = QStringLiteral("Quorvin.CloudSessionDeviceID");
inline const QString keySessionClientKind = QStringLiteral("Quorvin.CloudSessionClientKind");
inline const QString keyProfileNickname = QStringLiteral("Quorvin.CloudProfileNickname");
inline const QString keyProfileAvatarURL = QStringLiteral("Quorvin.CloudProfileAvatarURL");
inline const QString keyProfileAvatarRefreshToken = QStringLiteral("Quorvin.CloudProfileAvatarRefreshToken");
inline const QString keyProfilePasswordSet = QStringLiteral("Quorvin.CloudProfilePasswordSet");
inline const QString keyHuaweiAccountLinked = QStringLiteral("Quorvin.CloudHuaweiAccountLinked");
inline const QString keyHuaweiAccountDisplayLabel = QStringLiteral("Quorvin.CloudHuaweiAccountDisplayLabel");
inline const QString keyPhoneLinked = QStringLiteral("Quorvin.CloudPhoneLinked");
inline const QString keyPhoneDisplayLabel = QStringLiteral("Quorvin.CloudPhoneDisplayLabel");
inline const QString keyPhoneNumber = QStringLiteral("Quorvin.CloudPhoneNumber");
inline const QString keyInstallDeviceID = QStringLiteral("Quorvin.CloudInstallDeviceID");

// The token.
inline const QString tokenPattern = QStringLiteral("qvk_[A-Za-z0-9_-]+");
inline const QString tokenCharacters
    = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_.~-");
inline const QString logTokenNormalized = QStringLiteral("Cloud auth token normalized before startup sync");
inline const QString logTokenNormalizedEmpty
    = QStringLiteral("Cloud auth token normalized to empty value before startup sync");
inline const QString clearTokenIdentityChanged
    = QStringLiteral("Cloud auth token identity changed -> reset cloud cursors and mappings");
inline const QString clearTokenUnavailable
    = QStringLiteral("Cloud auth token unavailable -> reset cloud cursors and mappings");
inline const QString clearTokenChanged = QStringLiteral("Cloud auth token changed -> reset cloud cursors and mappings");
inline const QString clearTokenCleared = QStringLiteral("Cloud auth token cleared -> reset cloud cursors and mappings");
inline const QString logTokenInvalidPrefix = QStringLiteral("Cloud auth token invalid or revoked [");
inline const QString logTokenInvalidSuffix = QStringLiteral("] -> local account and cloud sync state cleared");
inline const QString sessionExpired = QStringLiteral("云账号会话已失效，已清除本机同步状态");

// A change of the signed-in user.
inline const QString userChangedInfix = QStringLiteral(": cloud user changed ");
inline const QString userChangedArrow = QStringLiteral(" -> ");
inline const QString userChangedSuffix = QStringLiteral("; local reminders preserved");
inline const QString userResolvedSuffix = QStringLiteral(
    ": cloud user resolved for existing sync state -> reset cursors and mappings; local reminders preserved");

// Device identity.
inline const QString machineDeviceIDPrefix = QStringLiteral("mqv_machine_");
inline const QString fallbackDeviceIDPrefix = QStringLiteral("mqv_device_");
inline const QString fallbackDeviceIDUnknownUser = QStringLiteral("unknown");
inline const QString machineSeedNamespace = QStringLiteral("Harvelon.Kqz.MachineSeedTag.v4|");
inline const QString hardwareReportModelKey = QStringLiteral("Model Name");
inline const QString hardwareReportChipKey = QStringLiteral("Chip");
inline const QString hardwareReportChipMakerWord = QStringLiteral("Apple ");
inline const QString hardwareModelFamily = QStringLiteral("Mac");
inline const QString deviceLabelFallback = QStringLiteral("Mac");

// Avatar.
inline const QString avatarContentType = QStringLiteral("image/jpeg");
inline const QString avatarNotAnImage = QStringLiteral("请选择图片文件");
inline const QString avatarReadFailed = QStringLiteral("头像图片读取失败");
inline const QString avatarEmpty = QStringLiteral("头像图片为空");
inline const QString avatarProcessingFailed = QStringLiteral("头像图片处理失败");
inline const QString avatarCompressionFailed = QStringLiteral("头像图片压缩失败");
inline const QString avatarTooLarge = QStringLiteral("头像图片太大，请换一张图片");

// Sign-in and the token exchange.
inline const QString clientKind = QStringLiteral("mqv");
inline const QString platform = QStringLiteral("macos");
inline const QString cloudPhoneCodeSmsHint = QStringLiteral("验证码已发送，请查收来自「岚帆验证码」的短信。");
inline const QString missingBaseURL = QStringLiteral("缺少云端地址");
inline const QString statusSendingCode = QStringLiteral("正在发送验证码");
inline const QString devCodeHintPrefix = QStringLiteral("开发验证码：");
inline const QString codeExpiryInfix = QStringLiteral(" 有效期至 ");
inline const QString logCodeRequested = QStringLiteral("Cloud phone code requested for ");
inline const QString logCodeRequestFailed = QStringLiteral("Cloud phone code request failed: ");
inline const QString codeRequestFailed = QStringLiteral("手机号验证码发送失败");
inline const QString statusCodeLoggingIn = QStringLiteral("正在登录云账号");
inline const QString phoneLoggedIn = QStringLiteral("手机号已登录");
inline const QString logCodeLoginSucceeded = QStringLiteral("Cloud phone login succeeded user=");
inline const QString logCodeLoginFailed = QStringLiteral("Cloud phone login failed: ");
inline const QString codeLoginFailed = QStringLiteral("手机号登录失败");
inline const QString statusPasswordLoggingIn = QStringLiteral("正在用密码登录云账号");
inline const QString logPasswordLoginSucceeded = QStringLiteral("Cloud password login succeeded user=");
inline const QString passwordLoggedIn = QStringLiteral("手机号密码已登录");
inline const QString logPasswordLoginFailed = QStringLiteral("Cloud password login failed: ");
inline const QString passwordLoginFailed = QStringLiteral("密码登录失败");
inline const QString exchangeEmptyToken = QStringLiteral("Cloud session exchange returned empty access token");
inline const QString loginEmptyToken = QStringLiteral("Cloud login returned empty access token");
inline const QString logLoginExchanged = QStringLiteral("手机登录会话已换取独立的 Mac 端会话");
inline const QString logLoginExchangeFailed
    = QStringLiteral("Cloud phone login session exchange failed -> using login session: ");
inline const QString triggerPhoneLogin = QStringLiteral("cloud-phone-login");
inline const QString logTokenCleared = QStringLiteral("Cloud auth token cleared");
inline const QString logTokenWithoutBaseURL
    = QStringLiteral("Cloud auth token updated without exchange: cloud base URL is empty");
inline const QString triggerTokenUpdated = QStringLiteral("cloud-auth-token-updated");
inline const QString logTokenExchanged = QStringLiteral("云同步令牌已换取独立的 Mac 端会话");
inline const QString triggerTokenExchanged = QStringLiteral("cloud-auth-token-exchanged");
inline const QString logTokenExchangeFailed
    = QStringLiteral("Cloud auth token exchange failed -> using pasted token: ");
inline const QString triggerTokenFallback = QStringLiteral("cloud-auth-token-fallback");

// The session.
inline const QString sessionRefreshedReason = QStringLiteral("Cloud session refreshed");
inline const QString logSessionRefreshedPrefix = QStringLiteral("Cloud session refreshed [");
inline const QString logSessionRefreshedUser = QStringLiteral("] user=");
inline const QString triggerSessionSuffix = QStringLiteral("-session");
inline const QString logSessionRefreshFailedPrefix = QStringLiteral("Cloud session refresh failed [");
inline const QString logFailureSeparator = QStringLiteral("]: ");
inline const QString sessionCheckFailed = QStringLiteral("云账号校验失败");

// Logout.
inline const QString logLogoutRevoked = QStringLiteral("Cloud session revoked on server");
inline const QString logLogoutFailed = QStringLiteral("Cloud logout request failed, clearing local token anyway: ");
inline const QString logLogoutSuperseded
    = QStringLiteral("Cloud logout finished after another account signed in -> current account kept");
inline const QString loggedOut = QStringLiteral("已退出云账号，本地提醒保留");
inline const QString activityLoggedOut = QStringLiteral("已退出同步账号");
inline const QString activityLoggedOutDetail = QStringLiteral("本机任务已保留");

// Devices.
inline const QString triggerManualRefreshDevices = QStringLiteral("manual-refresh-devices");
inline const QString triggerManualRefresh = QStringLiteral("manual-refresh");
inline const QString logDeviceContextUpdatedPrefix = QStringLiteral("Cloud device context updated [");
inline const QString logDeviceContextUpdatedLabel = QStringLiteral("] label=");
inline const QString logDeviceContextFailedPrefix = QStringLiteral("Cloud device context update failed [");
inline const QString logDevicesSkippedPrefix = QStringLiteral("Cloud devices refresh skipped [");
inline const QString logDevicesSkippedSuffix = QStringLiteral("]: cloud base URL or auth token missing");
inline const QString missingSyncToken = QStringLiteral("缺少云同步令牌");
inline const QString logDevicesRefreshedPrefix = QStringLiteral("Cloud devices refreshed [");
inline const QString logDevicesRefreshedCount = QStringLiteral("] count=");
inline const QString devicesRefreshed = QStringLiteral("云端设备已刷新");
inline const QString logDevicesFailedPrefix = QStringLiteral("Cloud devices refresh failed [");
inline const QString devicesRefreshFailed = QStringLiteral("云端设备刷新失败");
inline const QString logRevokeOwnSession
    = QStringLiteral("云端设备会话撤销已跳过：当前 Mac 端会话不能从设备列表中移除");
inline const QString cannotRemoveCurrentDevice = QStringLiteral("不能移除当前设备");
inline const QString logRevokeSkipped
    = QStringLiteral("Cloud device revoke skipped: cloud base URL or auth token missing");
inline const QString logDeviceRevoked = QStringLiteral("Cloud device session revoked: ");
inline const QString deviceRemoved = QStringLiteral("已移除云端设备");
inline const QString activityDeviceRemoved = QStringLiteral("已移除一台云端设备");
inline const QString triggerDeviceRevoked = QStringLiteral("device-revoked");
inline const QString triggerDeviceRevoke = QStringLiteral("device-revoke");
inline const QString logDeviceRevokeFailed = QStringLiteral("Cloud device revoke failed: ");
inline const QString deviceRemoveFailed = QStringLiteral("移除云端设备失败");

// Profile and linked identities.
inline const QString providerHuaweiAccount = QStringLiteral("huawei_account");
inline const QString providerPhone = QStringLiteral("phone");
inline const QString avatarVersionQueryItem = QStringLiteral("v");
inline const QString triggerAccountPopover = QStringLiteral("account-popover");
inline const QString logProfileRefreshedPrefix = QStringLiteral("Cloud profile refreshed [");
inline const QString logProfileRefreshedSuffix = QStringLiteral("]");
inline const QString profileRefreshed = QStringLiteral("个人资料已刷新");
inline const QString logProfileRefreshFailedPrefix = QStringLiteral("Cloud profile refresh failed [");
inline const QString profileRefreshFailed = QStringLiteral("个人资料刷新失败");
inline const QString statusProfileSavedUploading = QStringLiteral("个人资料已本地保存，正在上传服务器");
inline const QString profileSavedLocally = QStringLiteral("个人资料已本地保存");
inline const QString statusProfileUploadFailedPrefix = QStringLiteral("个人资料已本地保存，上传服务器失败：");
inline const QString profileUploadFailed = QStringLiteral("个人资料上传失败");
inline const QString profileSavedAndUploaded = QStringLiteral("个人资料已保存并上传服务器");
inline const QString logProfileUpdated = QStringLiteral("Cloud profile updated");
inline const QString triggerProfileUpdate = QStringLiteral("cloud-profile-update");
inline const QString statusSessionExpiredSignInAgain = QStringLiteral("服务器会话已失效，请重新登录");
inline const QString logProfileUpdateFailed = QStringLiteral("Cloud profile update failed: ");

// Avatar upload.
inline const QString avatarUploadFailed = QStringLiteral("头像上传失败");
inline const QString statusAvatarUploading = QStringLiteral("正在上传头像");
inline const QString avatarSaved = QStringLiteral("头像已保存");
inline const QString logAvatarUploaded = QStringLiteral("Cloud avatar uploaded");
inline const QString triggerAvatarUpload = QStringLiteral("cloud-avatar-upload");
inline const QString statusAvatarUploadFailedPrefix = QStringLiteral("头像上传失败：");
inline const QString logAvatarUploadFailed = QStringLiteral("Cloud avatar upload failed: ");

// Password change and phone linking.
inline const QString passwordTooShort = QStringLiteral("密码至少 8 位");
inline const QString enterCurrentPassword = QStringLiteral("请先输入原密码");
inline const QString statusUpdatingPassword = QStringLiteral("正在更新密码");
inline const QString statusVerifyingPhone = QStringLiteral("正在验证手机号");
inline const QString verifyByPhoneCodeFirst = QStringLiteral("请先用手机号验证码验证");
inline const QString statusPhoneVerifiedUpdatingPassword = QStringLiteral("手机号验证已通过，正在更新密码");
inline const QString passwordUpdated = QStringLiteral("密码已更新");
inline const QString logPasswordUpdated = QStringLiteral("Cloud profile password updated");
inline const QString logPasswordUpdateFailed = QStringLiteral("Cloud profile password update failed: ");
inline const QString passwordUpdateFailed = QStringLiteral("密码更新失败");
inline const QString enterPhoneAndCodeFirst = QStringLiteral("请先输入手机号并获取验证码");
inline const QString phoneSaved = QStringLiteral("手机号已保存");
inline const QString logPhoneLinked = QStringLiteral("Cloud phone identity linked");
inline const QString logPhoneLinkFailed = QStringLiteral("Cloud phone link failed: ");
inline const QString phoneSaveFailed = QStringLiteral("手机号保存失败");

// Account deletion.
inline const QString missingBaseURLOrToken = QStringLiteral("缺少云端地址或账号令牌");
inline const QString noLinkedPhone = QStringLiteral("当前账号未绑定手机号");
inline const QString logAccountDeleted = QStringLiteral("Cloud account permanently deleted");
inline const QString logAccountDeletedSuperseded
    = QStringLiteral("Cloud account deleted after another account signed in -> current account kept");
inline const QString accountDeleted = QStringLiteral("账号已注销，服务器数据和所有设备登录已删除；本机提醒保留");
inline const QString activityAccountDeleted = QStringLiteral("同步账号已永久注销");
inline const QString activityAccountDeletedServerDetail = QStringLiteral("服务器数据与所有设备会话已删除");
inline const QString activityAccountDeletedLocalDetail = QStringLiteral("本机 Reminders 数据已保留");
inline const QString deletionNotConfirmed = QStringLiteral("服务器未确认账号注销");

// Task labels (for a failure that escapes a task).
inline const QString taskAccount = QStringLiteral("cloud account");

} // namespace quorvin::AccountText
