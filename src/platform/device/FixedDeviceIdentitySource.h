#pragma once

#include "platform/device/DeviceIdentitySource.h"

namespace quorvin {

// A source that answers what it was given (tests, and machines whose identity is configured).
class FixedDeviceIdentitySource final : public DeviceIdentitySource {
public:
    FixedDeviceIdentitySource() = default;
    FixedDeviceIdentitySource(
        std::optional<QString> platformUUID, QString hardwareOverviewReport, QString hardwareModelIdentifier)
        : m_platformUUID(std::move(platformUUID))
        , m_report(std::move(hardwareOverviewReport))
        , m_modelIdentifier(std::move(hardwareModelIdentifier))
    {
    }

    std::optional<QString> platformUUID() const override { return m_platformUUID; }
    QString hardwareOverviewReport() const override { return m_report; }
    QString hardwareModelIdentifier() const override { return m_modelIdentifier; }

    void setPlatformUUID(std::optional<QString> value) { m_platformUUID = std::move(value); }
    void setHardwareOverviewReport(QString value) { m_report = std::move(value); }
    void setHardwareModelIdentifier(QString value) { m_modelIdentifier = std::move(value); }

private:
    std::optional<QString> m_platformUUID;
    QString m_report;
    QString m_modelIdentifier;
};

} // namespace quorvin
