#pragma once

#include "platform/device/DeviceIdentitySource.h"

#include <QString>

#include <mutex>
#include <optional>

namespace quorvin {

// The Linux source: the machine id of /etc/machine-id, the firmware's vendor and product names
// under /sys/class/dmi/id/ and the processor's "model name" of /proc/cpuinfo. Every file is read
// once, on the first question; an unreadable or empty file (or a firmware placeholder such as
// "To Be Filled By O.E.M.") counts as unknown.
//
// `root` prefixes every path, so that tests can hand in a directory laid out like "/".
class LinuxDeviceIdentitySource final : public DeviceIdentitySource {
public:
    explicit LinuxDeviceIdentitySource(QString root = QStringLiteral("/"));

    std::optional<QString> platformUUID() const override;
    QString hardwareOverviewReport() const override;
    QString hardwareModelIdentifier() const override;

private:
    struct Facts {
        std::optional<QString> machineID;
        QString productName;
        QString vendor;
        QString processorName;
    };

    const Facts &facts() const;
    Facts readFacts() const;

    QString m_root;
    mutable std::once_flag m_readOnce;
    mutable Facts m_facts;
};

} // namespace quorvin
