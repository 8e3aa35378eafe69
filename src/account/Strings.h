#pragma once

#include <QString>

// Exact texts of the cloud account: user defaults keys, status lines and diagnostic lines. Texts
// that continue with a value end where the value is appended.
namespace quorvin::AccountText {

// User defaults keys.
inline const QString keyInstallDeviceID = QStringLiteral("Quorvin.CloudInstallDeviceID");

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
