#pragma once

#include "platform/reminderstore/eds/EdsReminderStore.h"

#include <QDir>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>

// Skips the calling test where the task database cannot be used: outside the private session of
// tests/eds/private-session (never against the user's own lists), or without a registry.
#define QUORVIN_SKIP_WITHOUT_TASK_DATABASE()                                                                           \
    do {                                                                                                               \
        if (const auto reason = ::quorvin::test::EdsTestSession::unavailable()) {                                      \
            GTEST_SKIP() << *reason;                                                                                   \
        }                                                                                                              \
        ::quorvin::test::EdsTestSession::cleanUp();                                                                    \
    } while (false)

namespace quorvin::test {

class EdsTestSession {
public:
    static std::optional<std::string> unavailable()
    {
        if (qgetenv("QUORVIN_EDS_PRIVATE_SESSION") != "1") {
            return "runs only inside tests/eds/private-session, away from the user's task lists";
        }
        if (!EdsReminderStore::registryAvailable()) {
            return "the session bus offers no task database (evolution-data-server is not installed)";
        }
        return std::nullopt;
    }

    // Runs the other app (tests/support/edspeer) and returns what it printed; a failure fails
    // the test.
    static QString peer(const QStringList &arguments)
    {
        QProcess process;
        process.start(QStringLiteral(QUORVIN_EDS_PEER), arguments);
        const bool finished = process.waitForFinished(30'000);
        EXPECT_TRUE(finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
            << arguments.join(u' ').toStdString() << ": " << process.readAllStandardError().toStdString();
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    // Leaves the session's database as it started: the built-in list, empty, and nothing else. Every
    // case starts with it, whatever the cases before it left.
    static void cleanUp()
    {
        const auto builtIn = QStringLiteral("system-task-list");
        for (const auto &line : peer({QStringLiteral("lists")}).split(u'\n', Qt::SkipEmptyParts)) {
            const auto id = line.section(u'\t', 0, 0);
            if (id != builtIn) {
                peer({QStringLiteral("list-remove"), id});
            }
        }
        for (const auto &uid : peer({QStringLiteral("uids"), builtIn}).split(u'\n', Qt::SkipEmptyParts)) {
            peer({QStringLiteral("remove"), builtIn, uid});
        }
        // The database keeps the files of a removed list; a case that reads the files must not
        // find them.
        QDir tasks(QDir(qEnvironmentVariable("XDG_DATA_HOME")).filePath(QStringLiteral("evolution/tasks")));
        for (const auto &folder : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (folder != QStringLiteral("system")) {
                QDir(tasks.filePath(folder)).removeRecursively();
            }
        }
    }

    // Runs the event loop (where the database's news arrives) until `condition` holds.
    static bool waitUntil(
        const std::function<bool()> &condition, std::chrono::milliseconds limit = std::chrono::seconds(15))
    {
        return QTest::qWaitFor(condition, int(limit.count()));
    }
};

} // namespace quorvin::test
