#include "EdsTestSession.h"

#include "support/cloudserver/CloudServer.h"
#include "support/cloudserver/LoopbackCloudServer.h"
#include "support/cloudserver/Phone.h"

#include "platform/concurrency/ManualClock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

using namespace quorvin;
using namespace quorvin::test;
using namespace Qt::Literals::StringLiterals;

// A sanitizer build runs many times slower (unoptimised, every allocation unwound): about 7 s for
// an exit on an idle machine, three times that beside the rest of the suite. The limit there only
// tells an ending from a hang; the normal build holds the real one.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kStopLimitMs = 40'000;
#else
constexpr qint64 kStopLimitMs = 2'000;
#endif

// The real program on the task database of the private session, signed in to the test service
// on loopback: once it has synced into the database, each way of asking it to end ends it, at
// once and cleanly.
TEST(EdsApp, EndsCleanlyOnQuitSigtermAndSigint)
{
    QUORVIN_SKIP_WITHOUT_TASK_DATABASE();
    ManualClock clock {QDateTime::currentDateTimeUtc()};
    CloudServer server(clock);
    const auto userId = server.createUser(u"+8613800138001"_s);
    Phone phone(server, userId);
    LoopbackCloudServer loopback(server);
    ASSERT_TRUE(loopback.start());

    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal == SIGTERM ? "SIGTERM" : "SIGINT");
        const auto title = u"Ends %1"_s.arg(signal);
        const auto listId = phone.createList(title);
        phone.createReminder({.title = title, .listId = listId});

        QTemporaryDir home;
        ASSERT_TRUE(QDir().mkpath(home.filePath(u"config/Quorvin"_s)));
        QFile settings(home.filePath(u"config/Quorvin/settings.json"_s));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write(QJsonDocument(
            QJsonObject {{u"Quorvin.ReminderStore"_s, u"eds"_s}, {u"Quorvin.CloudBaseURL"_s, loopback.baseUrl()},
                {u"Quorvin.CloudAuthToken"_s, server.createSession(userId, u"mqv"_s, u"mac-device-%1"_s.arg(signal))}})
                           .toJson());
        settings.close();

        // The app's own settings and data apart; the task database is the session's.
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_CONFIG_HOME"_s, home.filePath(u"config"_s));
        environment.insert(u"XDG_DATA_HOME"_s, home.filePath(u"data"_s));
        environment.insert(u"XDG_CACHE_HOME"_s, home.filePath(u"cache"_s));
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        QProcess app;
        app.setProcessEnvironment(environment);
        app.start(QStringLiteral(QUORVIN_APP_BINARY), {});
        ASSERT_TRUE(app.waitForStarted(30'000));
        QString output;
        const auto said = [&] {
            output += QString::fromLocal8Bit(app.readAllStandardOutput() + app.readAllStandardError());
            return output.toStdString();
        };

        // Synced: the phone's list is a task list of the database.
        ASSERT_TRUE(EdsTestSession::waitUntil(
            [&] { return EdsTestSession::peer({u"lists"_s}).contains(u"\t"_s + title + u"\n"_s); },
            std::chrono::seconds(60)))
            << said();

        QElapsedTimer stopping;
        stopping.start();
        ::kill(pid_t(app.processId()), signal);
        ASSERT_TRUE(app.waitForFinished(60'000)) << said();
        EXPECT_LT(stopping.elapsed(), kStopLimitMs) << said();
        EXPECT_EQ(app.exitStatus(), QProcess::NormalExit) << said();
        EXPECT_EQ(app.exitCode(), 0) << said();

        // This case leaves the session as it found it.
        for (const auto &line : EdsTestSession::peer({u"lists"_s}).split(u'\n', Qt::SkipEmptyParts)) {
            if (line.endsWith(u'\t' + title)) {
                EdsTestSession::peer({u"list-remove"_s, line.section(u'\t', 0, 0)});
            }
        }
    }
}
