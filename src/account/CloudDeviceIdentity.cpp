#include "account/CloudDeviceIdentity.h"

#include "account/Fnv1aHash.h"
#include "account/Strings.h"
#include "model/Digest.h"
#include "platform/core/UnicodeText.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/device/DeviceIdentitySource.h"

#include <QUuid>

namespace quorvin {

CloudDeviceIdentity::CloudDeviceIdentity(UserDefaults &defaults, const DeviceIdentitySource &source)
    : m_defaults(defaults)
    , m_source(source)
    , m_cloudInstallDeviceID(defaults.string(AccountText::keyInstallDeviceID).value_or(QString()))
{
}

QString CloudDeviceIdentity::mqvCloudDeviceID(const QString &userID)
{
    const QString trimmed = userID.trimmed();
    if (const auto machine = mqvCloudMachineDeviceID(trimmed)) {
        return AccountText::machineDeviceIDPrefix + *machine;
    }
    return AccountText::fallbackDeviceIDPrefix + mqvCloudInstallDeviceID() + u'_'
        + (trimmed.isEmpty() ? AccountText::fallbackDeviceIDUnknownUser : fnv1aHashString(trimmed));
}

std::optional<QString> CloudDeviceIdentity::mqvCloudMachineDeviceID(const QString &userID) const
{
    if (userID.isEmpty()) {
        return std::nullopt;
    }
    const auto platformUUID = macPlatformUUID();
    if (!platformUUID) {
        return std::nullopt;
    }
    return sha256Hex(AccountText::machineSeedNamespace + *platformUUID + u'|' + userID);
}

std::optional<QString> CloudDeviceIdentity::macPlatformUUID() const
{
    const auto value = m_source.platformUUID();
    if (!value) {
        return std::nullopt;
    }
    const QString trimmed = value->trimmed();
    return trimmed.isEmpty() ? std::nullopt : std::optional<QString>(trimmed);
}

QString CloudDeviceIdentity::mqvCloudInstallDeviceID()
{
    if (QString trimmed = m_cloudInstallDeviceID.trimmed(); !trimmed.isEmpty()) {
        return trimmed;
    }
    QString created = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower().remove(u'-');
    m_cloudInstallDeviceID = created;
    m_defaults.setString(AccountText::keyInstallDeviceID, created);
    return created;
}

QString CloudDeviceIdentity::currentMacDeviceDisplayName()
{
    if (m_cachedMacDeviceDisplayName) {
        return *m_cachedMacDeviceDisplayName;
    }
    const QString profilerName = macSystemProfilerDisplayName();
    const QString modelName = readableMacHardwareModelIdentifier(macHardwareModelIdentifier());
    QString result = AccountText::deviceLabelFallback;
    if (!profilerName.isEmpty()) {
        result = profilerName;
    } else if (!modelName.isEmpty()) {
        result = modelName;
    }
    m_cachedMacDeviceDisplayName = result;
    return result;
}

QString CloudDeviceIdentity::macSystemProfilerDisplayName() const
{
    const QString report = m_source.hardwareOverviewReport();
    const QString model = hardwareOverviewValue(AccountText::hardwareReportModelKey, report);
    const QString chip = hardwareOverviewValue(AccountText::hardwareReportChipKey, report)
                             .remove(AccountText::hardwareReportChipMakerWord)
                             .trimmed();
    if (model.isEmpty()) {
        return {};
    }
    return chip.isEmpty() ? model : model + u' ' + chip;
}

QString CloudDeviceIdentity::macHardwareModelIdentifier() const
{
    return m_source.hardwareModelIdentifier().trimmed();
}

QString CloudDeviceIdentity::hardwareOverviewValue(const QString &key, const QString &report)
{
    const QString prefix = key + u':';
    for (const QString &line : report.split(u'\n', Qt::SkipEmptyParts)) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(prefix)) {
            return trimmed.mid(prefix.size()).trimmed();
        }
    }
    return {};
}

QString CloudDeviceIdentity::readableMacHardwareModelIdentifier(const QString &identifier)
{
    QString trimmed = identifier.trimmed();
    const QString &family = AccountText::hardwareModelFamily;
    const QStringList characters = UnicodeText::characters(trimmed);
    const qsizetype familyLength = UnicodeText::characterCount(family);
    if (trimmed.startsWith(family) && characters.size() > familyLength
        && UnicodeText::isNumeric(characters.at(familyLength))) {
        return family + u' ' + UnicodeText::droppingFirstCharacters(trimmed, familyLength);
    }
    return trimmed;
}

} // namespace quorvin
