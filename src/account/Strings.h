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

} // namespace quorvin::AccountText
