#include "platform/device/LinuxDeviceIdentitySource.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

namespace quorvin {

namespace {

std::optional<QString> readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return QString::fromUtf8(file.readAll());
}

// Values that boards ship with when the maker never filled the field in; they name nothing.
bool isFirmwarePlaceholder(const QString &value)
{
    static const QStringList placeholders {QStringLiteral("To Be Filled By O.E.M."),
        QStringLiteral("To be filled by O.E.M."), QStringLiteral("System Product Name"),
        QStringLiteral("System manufacturer"), QStringLiteral("System Manufacturer"), QStringLiteral("Default string"),
        QStringLiteral("Not Specified"), QStringLiteral("Not Applicable"), QStringLiteral("None"),
        QStringLiteral("O.E.M."), QStringLiteral("OEM")};
    return placeholders.contains(value, Qt::CaseInsensitive);
}

QString firmwareName(const QString &path)
{
    const QString value = readText(path).value_or(QString()).simplified();
    return isFirmwarePlaceholder(value) ? QString() : value;
}

QString processorName(const QString &cpuinfo)
{
    for (const QString &line : cpuinfo.split(u'\n')) {
        const qsizetype colon = line.indexOf(u':');
        if (colon < 0 || line.left(colon).trimmed() != QLatin1String("model name")) {
            continue;
        }
        // Trademark marks only lengthen the label the device list shows.
        static const QRegularExpression marks(
            QStringLiteral("\\((R|TM)\\)"), QRegularExpression::CaseInsensitiveOption);
        return line.mid(colon + 1).remove(marks).simplified();
    }
    return {};
}

} // namespace

const DeviceIdentitySource &DeviceIdentitySource::system()
{
    static const LinuxDeviceIdentitySource source;
    return source;
}

LinuxDeviceIdentitySource::LinuxDeviceIdentitySource(QString root)
    : m_root(std::move(root))
{
    while (m_root.endsWith(u'/')) {
        m_root.chop(1);
    }
}

const LinuxDeviceIdentitySource::Facts &LinuxDeviceIdentitySource::facts() const
{
    std::call_once(m_readOnce, [this] { m_facts = readFacts(); });
    return m_facts;
}

LinuxDeviceIdentitySource::Facts LinuxDeviceIdentitySource::readFacts() const
{
    Facts facts;
    if (const auto machineID = readText(m_root + QStringLiteral("/etc/machine-id"))) {
        if (const QString trimmed = machineID->trimmed(); !trimmed.isEmpty()) {
            facts.machineID = trimmed;
        }
    }
    const QString dmi = m_root + QStringLiteral("/sys/class/dmi/id/");
    facts.productName = firmwareName(dmi + QStringLiteral("product_name"));
    facts.vendor = firmwareName(dmi + QStringLiteral("sys_vendor"));
    facts.processorName = processorName(readText(m_root + QStringLiteral("/proc/cpuinfo")).value_or(QString()));
    return facts;
}

std::optional<QString> LinuxDeviceIdentitySource::platformUUID() const
{
    return facts().machineID;
}

QString LinuxDeviceIdentitySource::hardwareOverviewReport() const
{
    const Facts &known = facts();
    if (known.productName.isEmpty()) {
        return {};
    }
    // Many makers leave their name out of the product name ("XPS 13 9310"); some repeat it.
    QString model = known.productName;
    if (!known.vendor.isEmpty() && !model.startsWith(known.vendor, Qt::CaseInsensitive)) {
        model = known.vendor + u' ' + model;
    }
    QString report = QStringLiteral("Model Name: ") + model + u'\n';
    if (!known.processorName.isEmpty()) {
        report += QStringLiteral("Chip: ") + known.processorName + u'\n';
    }
    return report;
}

QString LinuxDeviceIdentitySource::hardwareModelIdentifier() const
{
    return facts().processorName;
}

} // namespace quorvin
