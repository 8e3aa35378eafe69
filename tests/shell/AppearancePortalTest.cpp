#include "platform/shell/PortalSystemAppearance.h"

#include "TestServers.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QSignalSpy>
#include <QTest>

using namespace quorvin;

namespace {

// The desktop's settings portal, reduced to the one setting; its answers come wrapped twice, as
// older portals send them.
class FakeSettingsPortal final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint colorScheme = 1;

public Q_SLOTS:
    QDBusVariant Read(const QString &nameSpace, const QString &key)
    {
        if (nameSpace == QStringLiteral("org.freedesktop.appearance") && key == QStringLiteral("color-scheme")) {
            return QDBusVariant(QVariant::fromValue(QDBusVariant(colorScheme)));
        }
        return QDBusVariant(QString());
    }

Q_SIGNALS:
    void SettingChanged(const QString &nameSpace, const QString &key, const QDBusVariant &value);
};

} // namespace

TEST(PortalSystemAppearance, ValuesOfTheColorSchemeSetting)
{
    const auto scheme = [](const QVariant &value) { return PortalSystemAppearance::schemeFromPortalValue(value); };
    EXPECT_EQ(scheme(QVariant(1u)), ColorScheme::Dark);
    EXPECT_EQ(scheme(QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusVariant(1u))))), ColorScheme::Dark);
    EXPECT_EQ(scheme(QVariant(0u)), ColorScheme::Light);
    EXPECT_EQ(scheme(QVariant(2u)), ColorScheme::Light);
    EXPECT_EQ(scheme(QVariant(QStringLiteral("1"))), ColorScheme::Light);
    EXPECT_EQ(scheme(QVariant()), ColorScheme::Light);
}

TEST(PortalSystemAppearance, ReadsThePortalAndFollowsItsChangesAndIsLightWithoutOne)
{
    PortalSystemAppearance noBus(QDBusConnection(QStringLiteral("not connected")));
    EXPECT_EQ(noBus.colorScheme(), ColorScheme::Light);

    test::SessionBus bus;
    if (bus.address().isEmpty()) {
        GTEST_SKIP() << bus.reason().toStdString();
    }
    auto portalBus = QDBusConnection::connectToBus(bus.address(), QStringLiteral("portal"));
    auto clientBus = QDBusConnection::connectToBus(bus.address(), QStringLiteral("client"));
    ASSERT_TRUE(portalBus.isConnected() && clientBus.isConnected());

    {
        // A bus without the portal: the read fails and the scheme stays light.
        PortalSystemAppearance appearance(clientBus);
        QSignalSpy changes(&appearance, &SystemAppearance::colorSchemeChanged);
        // The bus answers in order: once a later call is back, the failed read has been handled.
        clientBus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
            QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")));
        QCoreApplication::processEvents();
        EXPECT_EQ(changes.count(), 0);
        EXPECT_EQ(appearance.colorScheme(), ColorScheme::Light);
    }

    FakeSettingsPortal portal;
    ASSERT_TRUE(portalBus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
        QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
    ASSERT_TRUE(portalBus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));

    PortalSystemAppearance appearance(clientBus);
    QSignalSpy changes(&appearance, &SystemAppearance::colorSchemeChanged);
    QSignalSpy readings(&appearance, &SystemAppearance::colorSchemeRead);
    ASSERT_TRUE(QTest::qWaitFor([&] { return appearance.colorScheme() == ColorScheme::Dark; }, 5000));
    // The first answer is a reading of the desktop, not a change the user made.
    EXPECT_EQ(readings.count(), 1);
    EXPECT_EQ(changes.count(), 0);

    // The bus may still be setting up the client's subscription when the first signal goes out, so
    // the portal says it again until it is heard; an unrelated key sent just after each must change
    // nothing.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            Q_EMIT portal.SettingChanged(
                QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"), QDBusVariant(2u));
            Q_EMIT portal.SettingChanged(
                QStringLiteral("org.freedesktop.appearance"), QStringLiteral("accent-color"), QDBusVariant(1u));
            return appearance.colorScheme() == ColorScheme::Light;
        },
        5000));
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.last().at(0).value<ColorScheme>(), ColorScheme::Light);
    EXPECT_EQ(readings.count(), 1);

    QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
    QDBusConnection::disconnectFromBus(QStringLiteral("client"));
}

#include "AppearancePortalTest.moc"
