#pragma once

#include <QString>

#include <optional>

namespace quorvin {

class DeviceIdentitySource;
class UserDefaults;

// How this computer presents itself to the cloud service: the device id sent with the session
// exchange and the device-context update (and compared with the last editor of cloud items), and
// the readable label shown in the account's device list.
//
// The id has two forms: "mqv_machine_" + SHA-256 of the machine's own id and the user (stable for
// one machine and one user, and never revealing the machine id), or, without a machine id or a
// user, "mqv_device_" + a random per-installation id + "_" + the user's FNV-1a marker ("unknown"
// without a user). The installation id is created once and kept under
// "Quorvin.CloudInstallDeviceID"; signing out never clears it.
//
// Main thread only. The label is worked out once per object; the owner keeps one for the process.
class CloudDeviceIdentity {
public:
    // Loads the installation id from `defaults` (empty when absent). Both must outlive this.
    CloudDeviceIdentity(UserDefaults &defaults, const DeviceIdentitySource &source);

    // The device id for the user (trimmed here); the machine form when possible.
    QString mqvCloudDeviceID(const QString &userID);
    // The 64 hexadecimal characters of the machine form for an already trimmed user id; none for
    // an empty user id or without a machine id.
    std::optional<QString> mqvCloudMachineDeviceID(const QString &userID) const;
    std::optional<QString> macPlatformUUID() const;
    // The installation id, created and stored on first use (32 lowercase hexadecimal characters).
    QString mqvCloudInstallDeviceID();
    const QString &cloudInstallDeviceID() const { return m_cloudInstallDeviceID; }

    // The label of this computer, never empty: the hardware overview's model (with its chip), else
    // the readable model identifier, else "Mac". Worked out on the first call only.
    QString currentMacDeviceDisplayName();
    // The hardware overview's "Model Name", one space and its "Chip" (the model alone without a
    // chip); empty without a model.
    QString macSystemProfilerDisplayName() const;
    QString macHardwareModelIdentifier() const;

    // The value of the first "key: value" line of a report, trimmed; empty when there is none.
    static QString hardwareOverviewValue(const QString &key, const QString &report);
    // "Mac" followed directly by a numeral gains a space after "Mac"; anything else is only trimmed.
    static QString readableMacHardwareModelIdentifier(const QString &identifier);

private:
    UserDefaults &m_defaults;
    const DeviceIdentitySource &m_source;
    QString m_cloudInstallDeviceID;
    std::optional<QString> m_cachedMacDeviceDisplayName;
};

} // namespace quorvin
