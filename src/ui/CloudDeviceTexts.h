#pragma once

#include "model/CloudDeviceSessionPayload.h"

#include <QString>
#include <QTimeZone>

#include <optional>

// How the account's device list names and describes a device session. Client kinds are compared
// trimmed and lower-cased: "mqv" is a computer of this system ("Mac"), "hqv" a HarmonyOS device
// ("鸿蒙设备"), none at all the sync service ("同步服务"), and any other kind shows as itself.
namespace quorvin::CloudDeviceTexts {

QString cloudClientKindLabel(const std::optional<QString> &kind);
// The part of a label after a known kind prefix ("mqv ", "hqv ", "mac 设备 ", "mac ", "鸿蒙设备 "),
// trimmed; empty without one.
QString cloudDeviceLabelSuffix(const QString &label);
// What is left of a label once its suffix is taken off its end; empty when only a kind is left.
QString cloudDeviceModelName(const QString &label, const QString &suffix);
// "Mac" followed directly by a numeral gains a space after "Mac"; anything else is only trimmed.
QString readableMacDeviceName(const QString &name);
// A service time stamp as "yyyy-MM-dd HH:mm" in `zone`; a text the parser cannot read shows with a
// blank for "T" and without "Z".
QString formattedCloudDateTime(const std::optional<QString> &text, const QTimeZone &zone = QTimeZone::systemTimeZone());

// The row's title. `isCurrent` marks this computer's own session, whose title is always its own
// locally worked-out name, `currentMacDeviceName`.
QString cloudDeviceTitle(const CloudDeviceSessionPayload &session, bool isCurrent, const QString &currentMacDeviceName);
// The kind, then "上次活动 " and the last-seen time when there is one, joined by " · ".
QString cloudDeviceSubtitle(
    const CloudDeviceSessionPayload &session, const QTimeZone &zone = QTimeZone::systemTimeZone());
// What removing a session of this kind does, for the confirmation.
QString cloudDeviceRemovalConfirmationMessage(const std::optional<QString> &kind);

} // namespace quorvin::CloudDeviceTexts
