#include "account/CloudDeviceIdentity.h"
#include "account/Fnv1aHash.h"
#include "account/MaskPhoneForLog.h"
#include "platform/defaults/InMemoryUserDefaults.h"
#include "platform/device/FixedDeviceIdentitySource.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString installKey = u"Quorvin.CloudInstallDeviceID"_s;

TEST(CloudDeviceIdentityTest, MachineFormHashesMachineAndUserAndFallbackUsesTheInstallId)
{
    InMemoryUserDefaults defaults;
    FixedDeviceIdentitySource source(u" 4c4c4544-Machine-ID \n"_s, {}, {});
    CloudDeviceIdentity identity(defaults, source);

    // The machine id keeps its case; only the user id is trimmed.
    const QString machine = u"mqv_machine_aed68d6fd7ca2e9be86a2e87f8cf0ac13da6d5a54947bb89f604fe289f1c4965"_s;
    EXPECT_EQ(identity.mqvCloudDeviceID(u" user-1\n"_s), machine);
    EXPECT_EQ(identity.mqvCloudDeviceID(u"user-1"_s), machine);
    EXPECT_NE(identity.mqvCloudDeviceID(u"user-2"_s), machine);
    EXPECT_FALSE(defaults.contains(installKey)) << "the machine form needs no installation id";

    // Without a user even a machine id gives the fallback form, which creates the install id.
    const QString unknown = identity.mqvCloudDeviceID(u"  "_s);
    const QRegularExpression fallback(u"^mqv_device_([0-9a-f]{32})_unknown$"_s);
    const auto match = fallback.match(unknown);
    ASSERT_TRUE(match.hasMatch()) << unknown.toStdString();
    EXPECT_EQ(defaults.string(installKey), match.captured(1));
    EXPECT_EQ(identity.cloudInstallDeviceID(), match.captured(1));

    // Without a machine id: the same install id, and the user's FNV-1a marker.
    for (const std::optional<QString> &none : {std::optional<QString>(), std::optional<QString>(u" \n"_s)}) {
        source.setPlatformUUID(none);
        EXPECT_EQ(identity.mqvCloudMachineDeviceID(u"user-1"_s), std::nullopt);
        EXPECT_EQ(
            identity.mqvCloudDeviceID(u"user-1 "_s), u"mqv_device_"_s + match.captured(1) + u"_f84ba2aa754a4bd4"_s);
    }

    // The install id survives in the settings and a stored one is used trimmed, not rewritten.
    EXPECT_EQ(CloudDeviceIdentity(defaults, source).mqvCloudInstallDeviceID(), match.captured(1));
    InMemoryUserDefaults stored;
    stored.setString(installKey, u" 0123456789abcdef0123456789abcdef "_s);
    CloudDeviceIdentity restored(stored, source);
    EXPECT_EQ(restored.mqvCloudDeviceID({}), u"mqv_device_0123456789abcdef0123456789abcdef_unknown"_s);
    EXPECT_EQ(stored.string(installKey), u" 0123456789abcdef0123456789abcdef "_s);
}

TEST(CloudDeviceIdentityTest, LabelComesFromTheOverviewThenTheModelIdentifierThenMac)
{
    struct Case {
        QString report;
        QString identifier;
        QString label;
    };
    const Case cases[] = {
        {u"Hardware:\n\n    Hardware Overview:\n\n      Model Name: MacBook Pro\n      Chip: Apple M2 Pro\n"_s,
            u"Mac14,7"_s, u"MacBook Pro M2 Pro"_s},
        {u"Model Name: MacBook Air\nModel Name: second\n"_s, u"Mac14,2"_s, u"MacBook Air"_s},
        {u"Chip: Apple M1\nModel Name:\n"_s, u" Mac14,7 "_s, u"Mac 14,7"_s},
        {u"Model Name : spaced key\n"_s, u"MacBookPro18,3"_s, u"MacBookPro18,3"_s},
        {{}, u"Macmini9,1"_s, u"Macmini9,1"_s},
        {{}, u"  "_s, u"Mac"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label.toStdString());
        InMemoryUserDefaults defaults;
        FixedDeviceIdentitySource source({}, c.report, c.identifier);
        EXPECT_EQ(CloudDeviceIdentity(defaults, source).currentMacDeviceDisplayName(), c.label);
    }

    // Worked out once: a later change of the sources does not show.
    InMemoryUserDefaults defaults;
    FixedDeviceIdentitySource source({}, u"Model Name: First\n"_s, {});
    CloudDeviceIdentity identity(defaults, source);
    EXPECT_EQ(identity.currentMacDeviceDisplayName(), u"First"_s);
    source.setHardwareOverviewReport(u"Model Name: Second\n"_s);
    EXPECT_EQ(identity.currentMacDeviceDisplayName(), u"First"_s);
}

TEST(CloudDeviceIdentityTest, LogHelpersMaskPhonesAndMarkUsers)
{
    const std::pair<QString, QString> phones[] = {
        {u"13812345678"_s, u"+86138****5678"_s},
        {u"8613812345678"_s, u"+86138****5678"_s},
        {u" +86 138 1234 5678 "_s, u"+86138****5678"_s},
        {u"+1 415 555 2671"_s, u"+141****2671"_s},
        {u"+44 20 7946 0958"_s, u"+442****0958"_s},
        {u"23812345678"_s, u"238****5678"_s},
        {u" 12-34-56 "_s, u"12-34-56"_s},
    };
    for (const auto &[phone, masked] : phones) {
        EXPECT_EQ(maskPhoneForLog(phone), masked) << phone.toStdString();
    }
    // Digits outside the basic plane are whole characters, never cut in half.
    const auto wide = [](const char *ascii) {
        QString text;
        for (const char *c = ascii; *c != 0; ++c) {
            const char32_t digit = U'\U0001D7CE' + char32_t(*c - '0');
            text += QString::fromUcs4(&digit, 1);
        }
        return text;
    };
    EXPECT_EQ(maskPhoneForLog(wide("13812345678")), wide("138") + u"****"_s + wide("5678"));
    EXPECT_EQ(fnv1aHashString(QString()), u"cbf29ce484222325"_s);
    EXPECT_EQ(fnv1aHashString(u"a"_s), u"af63dc4c8601ec8c"_s);
}

} // namespace
