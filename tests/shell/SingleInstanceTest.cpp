#include "platform/shell/SingleInstanceGuard.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorvin;

namespace {

const QString helper = QFileInfo(QStringLiteral(SINGLE_INSTANCE_HELPER)).canonicalFilePath();

QByteArray nextLine(QProcess &process)
{
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(10000)) {
            return {};
        }
    }
    return process.readLine().trimmed();
}

void startCopy(QProcess &process, const QString &runtimeDirectory, const QString &scopeFile = {})
{
    process.start(helper, {QStringLiteral("guard"), runtimeDirectory, scopeFile});
    ASSERT_TRUE(process.waitForStarted(10000));
}

} // namespace

// Every case that starts copies of the helper lives here: a primary copy ends the other copies
// of its program, so two such cases running side by side would end each other's copies.
TEST(SingleInstanceGuard, ALaterLaunchActivatesTheRunningCopyAndExitsAndNeitherStaleFilesNorOtherProgramsAreTouched)
{
    QTemporaryDir root;
    const QString runtime = root.path() + QStringLiteral("/run");
    ASSERT_TRUE(QDir().mkpath(runtime));
    ::chmod(QFile::encodeName(runtime).constData(), 0755);

    // What a crashed copy leaves behind: the lock file and the socket file.
    SingleInstanceGuard paths(QStringLiteral("com.velmarc.quorvin.single-instance"), runtime);
    for (const auto &path : {paths.lockFilePath(), paths.socketPath()}) {
        QFile stale(path);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write("stale");
    }

    // A copy that runs without the lock, and a program of another kind.
    QProcess lockless;
    lockless.start(helper, {QStringLiteral("idle")});
    ASSERT_EQ(nextLine(lockless), "idle");
    QProcess otherProgram;
    otherProgram.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    ASSERT_TRUE(otherProgram.waitForStarted());
    EXPECT_TRUE(SingleInstanceGuard::isOtherCopy(lockless.processId(), ::getuid(), helper));
    EXPECT_FALSE(SingleInstanceGuard::isOtherCopy(lockless.processId(), ::getuid() + 1, helper));
    EXPECT_FALSE(SingleInstanceGuard::isOtherCopy(otherProgram.processId(), ::getuid(), helper));

    QProcess first;
    startCopy(first, runtime);
    EXPECT_EQ(nextLine(first), "primary");
    EXPECT_TRUE(lockless.waitForFinished(10000)) << "the copy without the lock was not ended";
    EXPECT_EQ(lockless.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(otherProgram.state(), QProcess::Running);
    struct stat status { };
    ASSERT_EQ(::stat(QFile::encodeName(runtime).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);

    QProcess second;
    startCopy(second, runtime);
    EXPECT_EQ(nextLine(second), "duplicate");
    EXPECT_EQ(nextLine(second), "activated-running-copy");
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 3);
    EXPECT_EQ(nextLine(first), "activated");
    EXPECT_EQ(first.state(), QProcess::Running);

    // The first copy dies without cleaning up; the next launch takes over.
    first.kill();
    first.waitForFinished();
    QProcess third;
    startCopy(third, runtime);
    EXPECT_EQ(nextLine(third), "primary");

    third.kill();
    third.waitForFinished();

    // A lock that cannot be opened at all: the first copy runs without it, and a later launch
    // still finds it through the socket.
    ASSERT_TRUE(QFile::remove(paths.lockFilePath()));
    ASSERT_TRUE(QDir().mkdir(paths.lockFilePath()));
    QProcess lockless1;
    startCopy(lockless1, runtime);
    EXPECT_EQ(nextLine(lockless1), "primary");
    QProcess lockless2;
    startCopy(lockless2, runtime);
    EXPECT_EQ(nextLine(lockless2), "duplicate");
    EXPECT_EQ(nextLine(lockless2), "activated-running-copy");
    EXPECT_EQ(nextLine(lockless1), "activated");
    lockless2.waitForFinished();
    lockless1.kill();
    lockless1.waitForFinished();

    // Scoped to the copies that hold one data directory's lock file open: a copy on that data is
    // ended, a copy of the same program on other data is not.
    const QString dataLock = root.path() + QStringLiteral("/data.lock");
    QProcess onTheSameData;
    onTheSameData.start(helper, {QStringLiteral("idle"), dataLock});
    ASSERT_EQ(nextLine(onTheSameData), "idle");
    QProcess onOtherData;
    onOtherData.start(helper, {QStringLiteral("idle"), root.path() + QStringLiteral("/other.lock")});
    ASSERT_EQ(nextLine(onOtherData), "idle");
    EXPECT_TRUE(SingleInstanceGuard::holdsFileOpen(onTheSameData.processId(), dataLock));
    ASSERT_TRUE(QFile::remove(paths.lockFilePath()) || QDir(paths.lockFilePath()).removeRecursively());
    QProcess scoped;
    startCopy(scoped, runtime, dataLock);
    EXPECT_EQ(nextLine(scoped), "primary");
    EXPECT_TRUE(onTheSameData.waitForFinished(10000)) << "the copy on the same data was not ended";
    // Both would have been ended at the same moment.
    EXPECT_FALSE(onOtherData.waitForFinished(300)) << "the copy on other data was ended";
    onOtherData.kill();
    onOtherData.waitForFinished();

    // A launch on the same data under another runtime directory (over ssh, say): the running copy
    // answers at the address it published, comes forward and stays; the launch leaves.
    const QString otherRuntime = root.path() + QStringLiteral("/run-elsewhere");
    QProcess elsewhere;
    startCopy(elsewhere, otherRuntime, dataLock);
    EXPECT_EQ(nextLine(elsewhere), "duplicate");
    EXPECT_EQ(nextLine(elsewhere), "activated-running-copy");
    ASSERT_TRUE(elsewhere.waitForFinished(10000));
    EXPECT_EQ(nextLine(scoped), "activated");
    EXPECT_EQ(scoped.state(), QProcess::Running);
    // A copy on that data that holds it open but no longer answers is ended as before.
    ::kill(static_cast<pid_t>(scoped.processId()), SIGSTOP);
    QProcess takingOver;
    startCopy(takingOver, otherRuntime, dataLock);
    EXPECT_EQ(nextLine(takingOver), "primary");
    EXPECT_TRUE(scoped.waitForFinished(10000)) << "the copy that did not answer was not ended";
    takingOver.kill();
    takingOver.waitForFinished();

    otherProgram.kill();
    otherProgram.waitForFinished();
}
