#include "platform/device/LinuxDeviceIdentitySource.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

namespace {

// A directory laid out like "/" with the files the source reads; an absent value leaves the file
// out.
class FakeRoot {
public:
    void write(const QString &relativePath, const QByteArray &content)
    {
        const QString path = m_dir.filePath(relativePath);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

const QByteArray cpuinfo = "processor\t: 0\n"
                           "vendor_id\t: GenuineIntel\n"
                           "model name\t: 11th Gen Intel(R) Core(TM) i7-1185G7   @ 3.00GHz\n"
                           "\n"
                           "processor\t: 1\n"
                           "model name\t: another\n";

TEST(LinuxDeviceIdentitySourceTest, ReadsMachineIdFirmwareAndProcessorOnceOnFirstUse)
{
    FakeRoot root;
    root.write(u"etc/machine-id"_s, "  4c4c4544004d3510 \n");
    root.write(u"sys/class/dmi/id/product_name"_s, "XPS 13 9310\n");
    root.write(u"sys/class/dmi/id/sys_vendor"_s, "Dell Inc.\n");
    root.write(u"proc/cpuinfo"_s, cpuinfo);

    const LinuxDeviceIdentitySource source(root.path() + u"/"_s);
    EXPECT_EQ(source.platformUUID(), u"4c4c4544004d3510"_s);
    EXPECT_EQ(source.hardwareOverviewReport(),
        u"Model Name: Dell Inc. XPS 13 9310\nChip: 11th Gen Intel Core i7-1185G7 @ 3.00GHz\n"_s);
    EXPECT_EQ(source.hardwareModelIdentifier(), u"11th Gen Intel Core i7-1185G7 @ 3.00GHz"_s);

    // A hardware change shows only after a restart.
    root.write(u"etc/machine-id"_s, "changed\n");
    root.write(u"sys/class/dmi/id/product_name"_s, "Other\n");
    EXPECT_EQ(source.platformUUID(), u"4c4c4544004d3510"_s);
    EXPECT_TRUE(source.hardwareOverviewReport().contains(u"XPS 13 9310"_s));
}

TEST(LinuxDeviceIdentitySourceTest, UnreadableEmptyOrPlaceholderValuesCountAsUnknown)
{
    struct Case {
        const char *name;
        std::optional<QByteArray> machineID, product, vendor, cpu;
        std::optional<QString> platformUUID;
        QString report;
        QString identifier;
    };
    const QString cpu = u"11th Gen Intel Core i7-1185G7 @ 3.00GHz"_s;
    const Case cases[] = {
        {"nothing readable", {}, {}, {}, {}, {}, u""_s, u""_s},
        {"blank machine id", QByteArray(" \n"), {}, {}, {}, {}, u""_s, u""_s},
        {"placeholder product", {}, QByteArray("To Be Filled By O.E.M.\n"), QByteArray("ASRock\n"), cpuinfo, {}, u""_s,
            cpu},
        {"vendor in product", {}, QByteArray("HP EliteBook 840 G8\n"), QByteArray("HP\n"), {}, {},
            u"Model Name: HP EliteBook 840 G8\n"_s, u""_s},
        {"placeholder vendor", {}, QByteArray("B550M\n"), QByteArray("System manufacturer\n"), {}, {},
            u"Model Name: B550M\n"_s, u""_s},
        {"cpuinfo without model name", QByteArray("id"), QByteArray("VirtualBox"), QByteArray(""),
            QByteArray("processor\t: 0\nHardware\t: BCM2835\n"), u"id"_s, u"Model Name: VirtualBox\n"_s, u""_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FakeRoot root;
        const auto write = [&](const QString &path, const std::optional<QByteArray> &content) {
            if (content) {
                root.write(path, *content);
            }
        };
        write(u"etc/machine-id"_s, c.machineID);
        write(u"sys/class/dmi/id/product_name"_s, c.product);
        write(u"sys/class/dmi/id/sys_vendor"_s, c.vendor);
        write(u"proc/cpuinfo"_s, c.cpu);
        const LinuxDeviceIdentitySource source(root.path());
        EXPECT_EQ(source.platformUUID(), c.platformUUID);
        EXPECT_EQ(source.hardwareOverviewReport(), c.report);
        EXPECT_EQ(source.hardwareModelIdentifier(), c.identifier);
    }
}

} // namespace
