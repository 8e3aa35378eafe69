#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// Sanitizer builds start slowly; a copy that exits at once still does so well within this.
constexpr int processTimeoutMs = 30000;

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file under `root` with its content and the time it was last changed.
QMap<QString, QPair<QByteArray, qint64>> filesUnder(const QString &root)
{
    QMap<QString, QPair<QByteArray, qint64>> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat status { };
        ::stat(QFile::encodeName(path).constData(), &status);
        files.insert(path, {readBytes(path), qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec});
    }
    return files;
}

// A user's home of its own, with the service pointed at a port where nothing listens.
class Home {
public:
    explicit Home(const QByteArray &settingsJson = R"({"Quorvin.CloudBaseURL": "http://127.0.0.1:9"})")
    {
        QDir().mkpath(m_dir.filePath(u"config/Quorvin"_s));
        QFile settings(m_dir.filePath(u"config/Quorvin/settings.json"_s));
        settings.open(QIODevice::WriteOnly);
        settings.write(settingsJson);
    }

    QString root() const { return m_dir.path(); }
    QString dataDirectory() const { return m_dir.filePath(u"data/Quorvin"_s); }

    // The app on this home, started but perhaps not yet through its start-up.
    // `runtimeDirectory`: the session's runtime directory; by default one of this home's own.
    std::unique_ptr<QProcess> startApp(QString runtimeDirectory = {}) const
    {
        auto app = std::make_unique<QProcess>();
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, root());
        environment.insert(u"XDG_CONFIG_HOME"_s, m_dir.filePath(u"config"_s));
        environment.insert(u"XDG_DATA_HOME"_s, m_dir.filePath(u"data"_s));
        environment.insert(u"XDG_CACHE_HOME"_s, m_dir.filePath(u"cache"_s));
        // A session's private runtime directory, as a desktop gives one.
        if (runtimeDirectory.isEmpty()) {
            runtimeDirectory = m_dir.filePath(u"run"_s);
        }
        QDir().mkpath(runtimeDirectory);
        QFile::setPermissions(runtimeDirectory, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment.insert(u"XDG_RUNTIME_DIR"_s, runtimeDirectory);
        app->setProcessEnvironment(environment);
        app->start(QStringLiteral(QUORVIN_APP_BINARY), {});
        return app;
    }

private:
    QTemporaryDir m_dir;
};

// Until it prints its first status line: by then it holds the lock.
void waitForStartUp(QProcess &app)
{
    ASSERT_TRUE(app.waitForStarted(processTimeoutMs));
    while (!app.canReadLine()) {
        ASSERT_TRUE(app.waitForReadyRead(processTimeoutMs)) << app.readAllStandardError().toStdString();
    }
}

} // namespace

TEST(Programs, ASecondCopyOnTheSameDataQuitsAtOnceAndTouchesNothing)
{
    Home home;
    auto first = home.startApp();
    waitForStartUp(*first);
    const QString lockFile = home.dataDirectory() + u"/quorvin.lock"_s;
    EXPECT_EQ(readBytes(lockFile).trimmed().toLongLong(), first->processId());
    struct stat status { };
    ASSERT_EQ(::stat(QFile::encodeName(home.dataDirectory()).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);

    // Held still, the first copy writes nothing while the second runs; its lock stays.
    ::kill(pid_t(first->processId()), SIGSTOP);
    const auto before = filesUnder(home.root());
    auto second = home.startApp();
    ASSERT_TRUE(second->waitForFinished(processTimeoutMs));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 1);
    const QString said = QString::fromLocal8Bit(second->readAllStandardError());
    EXPECT_TRUE(said.contains(QString::number(first->processId()))) << said.toStdString();
    EXPECT_TRUE(second->readAllStandardOutput().isEmpty());
    EXPECT_EQ(filesUnder(home.root()), before);

    // A copy that dies leaves its lock file behind, and that blocks nothing.
    first->kill();
    ::kill(pid_t(first->processId()), SIGCONT);
    ASSERT_TRUE(first->waitForFinished(processTimeoutMs));
    ASSERT_TRUE(QFile::exists(lockFile));
    auto third = home.startApp();
    waitForStartUp(*third);
    EXPECT_EQ(readBytes(lockFile).trimmed().toLongLong(), third->processId());
    third->terminate();
    ASSERT_TRUE(third->waitForFinished(processTimeoutMs));
}

TEST(Programs, ALaterLaunchBringsTheRunningCopyForwardAndCopiesOnOtherDataRunAlongside)
{
    QTemporaryDir session;
    Home home;
    Home otherHome;
    auto first = home.startApp(session.path());
    waitForStartUp(*first);

    // Same data: the running copy is asked to come forward, and the new one leaves quietly.
    auto second = home.startApp(session.path());
    ASSERT_TRUE(second->waitForFinished(processTimeoutMs));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0) << second->readAllStandardError().toStdString();
    EXPECT_TRUE(second->readAllStandardOutput().isEmpty());

    // Same data from another session with a runtime directory of its own (over ssh, say): the
    // running copy comes forward all the same and stays.
    QTemporaryDir otherSession;
    auto elsewhere = home.startApp(otherSession.path());
    ASSERT_TRUE(elsewhere->waitForFinished(processTimeoutMs));
    EXPECT_EQ(elsewhere->exitCode(), 0) << elsewhere->readAllStandardError().toStdString();
    EXPECT_EQ(first->state(), QProcess::Running);

    // Other data in the same session: a copy of its own, and neither ends the other.
    auto other = otherHome.startApp(session.path());
    waitForStartUp(*other);
    EXPECT_FALSE(first->waitForFinished(300));
    EXPECT_EQ(other->state(), QProcess::Running);

    for (auto *app : {first.get(), other.get()}) {
        app->terminate();
        EXPECT_TRUE(app->waitForFinished(processTimeoutMs));
    }
}

TEST(Programs, SettingsToolFailsWhenTheFileCannotBeWrittenAndLeavesItAsItWas)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"settings.json"_s);
    const auto runTool = [&file](const QStringList &arguments, bool diskFull) {
        auto tool = std::make_unique<QProcess>();
        if (diskFull) {
            // A file size limit makes the system refuse bytes past it, as a full disk does.
            tool->setChildProcessModifier([] {
                const rlimit limit {256, 256};
                ::setrlimit(RLIMIT_FSIZE, &limit);
                ::signal(SIGXFSZ, SIG_IGN);
            });
        }
        tool->start(QStringLiteral(QUORVIN_DEFAULTS_BINARY), QStringList {u"--file"_s, file} + arguments);
        tool->waitForFinished(processTimeoutMs);
        return tool;
    };

    ASSERT_EQ(runTool({u"write"_s, u"Quorvin.CloudBaseURL"_s, u"http://127.0.0.1:8080"_s}, false)->exitCode(), 0);
    const QByteArray before = readBytes(file);
    ASSERT_FALSE(before.isEmpty());

    const auto tool = runTool({u"write"_s, u"Quorvin.CloudAuthToken"_s, QString(1024, u'x')}, true);
    EXPECT_EQ(tool->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tool->exitCode(), 1);
    const QString said = QString::fromLocal8Bit(tool->readAllStandardError());
    EXPECT_TRUE(said.contains(file)) << said.toStdString();
    EXPECT_EQ(readBytes(file), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {u"settings.json"_s});
}

// A termination request lets the app wind down (no pass is left half-written) and exit cleanly;
// in the sanitizer build that includes every task of the service having ended, since a coroutine
// left suspended at exit is reported as a leak and fails the exit status.
TEST(Programs, TheAppEndsCleanlyOnSigtermAndSigint)
{
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        Home home;
        auto app = home.startApp();
        waitForStartUp(*app);
        ::kill(pid_t(app->processId()), signal);
        ASSERT_TRUE(app->waitForFinished(processTimeoutMs));
        EXPECT_EQ(app->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(app->exitCode(), 0) << app->readAllStandardError().toStdString();
    }
}

// A reminders file the app cannot read stops the start-up, and the terminal (or the journal) is
// told why: the file and the field at fault.
TEST(Programs, AStartUpFailureSaysWhyOnStderr)
{
    Home home(R"({"Quorvin.CloudBaseURL": "http://127.0.0.1:9", "Quorvin.ReminderStore": "json"})");
    QDir().mkpath(home.dataDirectory());
    const QString file = home.dataDirectory() + u"/reminders.json"_s;
    QFile broken(file);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(R"({"format": "one"})");
    broken.close();

    auto app = home.startApp();
    waitForStartUp(*app);
    app->setReadChannel(QProcess::StandardError);
    // The toolkit may have a word of its own to say first.
    QString all;
    QString said;
    while (said.isEmpty()) {
        ASSERT_TRUE(app->canReadLine() || app->waitForReadyRead(processTimeoutMs)) << all.toStdString();
        while (app->canReadLine() && said.isEmpty()) {
            const QString line = QString::fromLocal8Bit(app->readLine());
            all += line;
            if (line.startsWith(u"启动失败："_s)) {
                said = line;
            }
        }
    }
    EXPECT_TRUE(said.contains(file)) << said.toStdString();
    EXPECT_TRUE(said.contains(u"$.format"_s)) << said.toStdString();
    app->terminate();
    ASSERT_TRUE(app->waitForFinished(processTimeoutMs));
}
