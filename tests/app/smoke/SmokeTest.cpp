#include "AccessibleTexts.h"
#include "XSession.h"
#include "shell/TestServers.h"
#include "support/cloudserver/CloudServer.h"
#include "support/cloudserver/LoopbackCloudServer.h"
#include "support/cloudserver/Phone.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <functional>
#include <sys/stat.h>

using namespace quorvin::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// Sanitizer builds start slowly.
constexpr qint64 patienceMs = 60000;

// Polls `done` (letting the test's own events run) until it holds or the patience runs out.
bool eventually(const std::function<bool()> &done, qint64 limitMs = patienceMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > limitMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    return true;
}

// Enough colours to be a drawn window rather than an empty or single-coloured one.
int colourCount(const QImage &image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            colours.insert(image.pixel(x, y));
        }
    }
    return int(colours.size());
}

void save(const QImage &image, const QString &name)
{
    image.save(QStringLiteral(QUORVIN_SCREENSHOT_DIR) + u'/' + name);
}

// A home folder of the app's own for one run: settings, data, caches and a private runtime folder.
struct AppHome {
    QTemporaryDir dir;

    AppHome()
    {
        EXPECT_TRUE(QDir().mkpath(dir.filePath(u"config/Quorvin"_s)));
        EXPECT_TRUE(QDir().mkpath(dir.filePath(u"run"_s)));
        ::chmod(QFile::encodeName(dir.filePath(u"run"_s)).constData(), 0700);
    }
    QString settingsPath() const { return dir.filePath(u"config/Quorvin/settings.json"_s); }
    void writeSettings(const QByteArray &json) const
    {
        QFile settings(settingsPath());
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write(json);
    }
    QJsonObject settings() const
    {
        QFile settings(settingsPath());
        return settings.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(settings.readAll()).object()
                                                  : QJsonObject();
    }
    // The app on X display `display`, on the session bus at `bus` (none when empty).
    QProcessEnvironment environment(const QByteArray &display, const QString &bus) const
    {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, dir.path());
        environment.insert(u"XDG_CONFIG_HOME"_s, dir.filePath(u"config"_s));
        environment.insert(u"XDG_DATA_HOME"_s, dir.filePath(u"data"_s));
        environment.insert(u"XDG_CACHE_HOME"_s, dir.filePath(u"cache"_s));
        environment.insert(u"XDG_RUNTIME_DIR"_s, dir.filePath(u"run"_s));
        environment.insert(u"DISPLAY"_s, QString::fromLatin1(display));
        environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        environment.remove(u"WAYLAND_DISPLAY"_s);
        environment.remove(u"QT_LINUX_ACCESSIBILITY_ALWAYS_ON"_s);
        if (bus.isEmpty()) {
            environment.remove(u"DBUS_SESSION_BUS_ADDRESS"_s);
        } else {
            environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, bus);
        }
        return environment;
    }
};

// The desktop's settings portal, reduced to the colour scheme: 1 is dark, 2 light.
class FakeSettingsPortal final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint colorScheme = 1;
    int reads = 0;

    void change(uint scheme)
    {
        colorScheme = scheme;
        Q_EMIT SettingChanged(u"org.freedesktop.appearance"_s, u"color-scheme"_s, QDBusVariant(scheme));
    }

public Q_SLOTS:
    QDBusVariant Read(const QString &nameSpace, const QString &key)
    {
        ++reads;
        if (nameSpace == u"org.freedesktop.appearance"_s && key == u"color-scheme"_s) {
            return QDBusVariant(QVariant::fromValue(QDBusVariant(colorScheme)));
        }
        return QDBusVariant(QString());
    }

Q_SIGNALS:
    void SettingChanged(const QString &nameSpace, const QString &key, const QDBusVariant &value);
};

// A panel's status-notifier watcher with its host, as a panel that starts late brings it.
class FakeStatusNotifierWatcher final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
public:
    QStringList registered;

    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return registered; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString &service) { registered.append(service); }
    void RegisterStatusNotifierHost(const QString &) { }

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString &service);
    void StatusNotifierItemUnregistered(const QString &service);
    void StatusNotifierHostRegistered();
};

} // namespace

TEST(QuorvinSmoke, SignsInWithAnSmsCodeThroughTheLoginCardAndShowsTheSyncedDashboard)
{
    XvfbServer xvfb("1280x800x24");
    if (xvfb.display().isEmpty()) {
        GTEST_SKIP() << qPrintable(xvfb.reason());
    }
    SessionBus bus;

    CloudServer server;
    const QString userId = server.createUser(u"+8613812345678"_s);
    // What the account's phone holds already; the dashboard counts it once it has synced.
    Phone phone(server, userId);
    const QString list = phone.createList(u"手机"_s);
    for (int index = 1; index <= 7; ++index) {
        phone.createReminder({.title = u"提醒 %1"_s.arg(index), .listId = list});
    }
    server.setFixedSmsCode(u"+8613812345678"_s, u"123456"_s);
    LoopbackCloudServer loopback(server);
    ASSERT_TRUE(loopback.start());

    // A home of its own, signed out, pointed at the test service.
    AppHome home;
    home.writeSettings(
        R"({"Quorvin.CloudBaseURL": ")" + loopback.baseUrl().toUtf8() + R"(", "Quorvin.ReminderStore": "json"})");
    QProcess app;
    auto environment = home.environment(xvfb.display(), bus.address());
    // The window's texts are read the way a screen reader reads them.
    environment.insert(u"QT_LINUX_ACCESSIBILITY_ALWAYS_ON"_s, u"1"_s);
    app.setProcessEnvironment(environment);
    app.start(QStringLiteral(QUORVIN_APP_BINARY), {});
    ASSERT_TRUE(app.waitForStarted(patienceMs));
    const auto said = [&app] {
        return QString::fromLocal8Bit(app.readAllStandardOutput() + app.readAllStandardError()).toStdString();
    };

    XSession x(xvfb.display());
    std::optional<quint32> card;
    ASSERT_TRUE(eventually([&] { return (card = x.findWindow(u"登录 Quorvin"_s)).has_value(); })) << said();
    EXPECT_EQ(x.geometry(*card).size(), QSize(640, 360));
    QImage login;
    EXPECT_TRUE(eventually([&] {
        login = x.grab(x.geometry(*card));
        return colourCount(login) > 16;
    })) << "the login card stays empty";
    save(login, u"smoke-login.png"_s);

    // The phone field has the focus. Password form first: over the password field to the mode
    // switch, into the code form; over the (not yet usable) code request to the consent box; back
    // to the code request, which is usable now.
    x.focus(*card);
    x.type(u"13812345678"_s);
    x.press(XSession::tab);
    x.press(XSession::tab);
    x.press(XSession::space);
    x.press(XSession::tab);
    x.press(XSession::tab);
    x.press(XSession::space);
    x.press(XSession::tab, true);
    x.press(XSession::tab, true);
    x.press(XSession::space);
    ASSERT_TRUE(eventually([&] { return !server.journalFor(u"/auth/phone/code/request"_s).isEmpty(); })) << said();

    // The development code fills the code field; Return signs in (pressed again while the answer
    // with the code is still on its way).
    ASSERT_TRUE(eventually([&] {
        x.press(XSession::returnKey);
        return eventually([&] { return !server.journalFor(u"/auth/phone/code/verify"_s).isEmpty(); }, 500);
    })) << said();

    std::optional<quint32> frame;
    ASSERT_TRUE(eventually([&] { return (frame = x.findWindow(u"Quorvin"_s)).has_value(); })) << said();
    ASSERT_TRUE(eventually([&] { return x.geometry(*frame).size() == QSize(880, 670); })) << said();
    EXPECT_FALSE(x.findWindow(u"登录 Quorvin"_s));
    // Signed in, the app syncs.
    ASSERT_TRUE(eventually([&] { return !server.journalFor(u"/sync"_s).isEmpty(); })) << said();
    QImage signedIn;
    EXPECT_TRUE(eventually([&] {
        signedIn = x.grab(x.geometry(*frame));
        return colourCount(signedIn) > 16;
    })) << "the signed-in window stays empty";
    save(signedIn, u"smoke-signed-in.png"_s);

    // The dashboard shows what the sync brought.
    AccessibleTexts texts(bus.address());
    ASSERT_TRUE(texts.isAvailable()) << qPrintable(texts.reason());
    QStringList shown;
    EXPECT_TRUE(eventually([&] {
        shown = texts.names();
        return shown.contains(u"7 条"_s);
    })) << qPrintable(shown.join(u" | "_s));
    EXPECT_TRUE(shown.contains(u"同步中心"_s)) << qPrintable(shown.join(u" | "_s));
    save(x.grab(x.geometry(*frame)), u"smoke-dashboard.png"_s);

    app.terminate();
    ASSERT_TRUE(app.waitForFinished(patienceMs));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0) << said();
}

TEST(QuorvinSmoke, FollowsTheDesktopsColourSchemeAndShowsItsIconInATrayThatComesLater)
{
    XvfbServer xvfb("1280x800x24");
    if (xvfb.display().isEmpty()) {
        GTEST_SKIP() << qPrintable(xvfb.reason());
    }
    SessionBus bus;
    if (bus.address().isEmpty()) {
        GTEST_SKIP() << qPrintable(bus.reason());
    }
    // A dark desktop. The app's first use of the bus is its subscription to the portal.
    auto desktop = QDBusConnection::connectToBus(bus.address(), u"desktop"_s);
    FakeSettingsPortal portal;
    ASSERT_TRUE(desktop.registerObject(u"/org/freedesktop/portal/desktop"_s, &portal,
        QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
    ASSERT_TRUE(desktop.registerService(u"org.freedesktop.portal.Desktop"_s));

    AppHome home;
    home.writeSettings(R"({"Quorvin.ReminderStore": "json"})");
    QProcess app;
    app.setProcessEnvironment(home.environment(xvfb.display(), bus.address()));
    app.start(QStringLiteral(QUORVIN_APP_BINARY), {});
    ASSERT_TRUE(app.waitForStarted(patienceMs));
    QString output;
    const auto said = [&app, &output] {
        output += QString::fromLocal8Bit(app.readAllStandardOutput() + app.readAllStandardError());
        return output.toStdString();
    };

    XSession x(xvfb.display());
    std::optional<quint32> card;
    ASSERT_TRUE(eventually([&] { return (card = x.findWindow(u"登录 Quorvin"_s)).has_value(); })) << said();
    // Inside the card's rounded corner, where nothing but the card is drawn.
    const auto cardColour = [&] {
        const QRect frame = x.geometry(*card);
        return x.grab(QRect(frame.topLeft() + QPoint(30, 330), QSize(1, 1))).pixelColor(0, 0).name();
    };
    EXPECT_TRUE(eventually([&] { return cardColour() == u"#1a1e24"_s; })) << cardColour().toStdString();
    ASSERT_GE(portal.reads, 1);
    save(x.grab(x.geometry(*card)), u"smoke-login-dark.png"_s);
    // Reading the desktop's scheme at launch is no change: nothing counted, nothing written.
    EXPECT_FALSE(home.settings().contains(u"quorvinSystemAppearanceRevision"_s));

    // The user turns the desktop light: the card follows within a second.
    QElapsedTimer sinceChange;
    sinceChange.start();
    portal.change(2);
    ASSERT_TRUE(eventually([&] { return cardColour() == u"#ffffff"_s; }, 5000)) << said();
    EXPECT_LT(sinceChange.elapsed(), 1000);
    EXPECT_TRUE(eventually([&] { return home.settings().value(u"quorvinSystemAppearanceRevision"_s).toInt() == 1; }));
    said();
    EXPECT_FALSE(output.contains(u"could not subscribe"_s)) << "the subscription should hold at once";

    // No tray when the app started; a panel comes later and the app's icon goes into it.
    FakeStatusNotifierWatcher watcher;
    ASSERT_TRUE(desktop.registerObject(u"/StatusNotifierWatcher"_s, &watcher,
        QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals | QDBusConnection::ExportAllProperties));
    ASSERT_TRUE(desktop.registerService(u"org.kde.StatusNotifierWatcher"_s));
    EXPECT_TRUE(eventually([&] { return !watcher.registered.isEmpty(); }, 10000)) << said();

    app.terminate();
    ASSERT_TRUE(app.waitForFinished(patienceMs));
    EXPECT_EQ(app.exitCode(), 0) << said();
    QDBusConnection::disconnectFromBus(u"desktop"_s);
}

#include "SmokeTest.moc"
