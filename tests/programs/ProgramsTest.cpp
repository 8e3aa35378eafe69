#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// Sanitizer builds start slowly; a copy that exits at once still does so well within this.
constexpr int processTimeoutMs = 30000;

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

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
