#include "platform/shell/LoginItemError.h"
#include "platform/shell/XdgAutostartLoginItem.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace quorvin;

namespace {

void writeFile(const QString &path, const QByteArray &text, QFileDevice::Permissions permissions)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();
    file.setPermissions(permissions);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

constexpr auto executableMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

} // namespace

TEST(XdgAutostartLoginItem, StatusFollowsTheEntryFileInTheUsersConfigDirectory)
{
    QTemporaryDir configHome;
    const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    const QString directory = XdgAutostartLoginItem::standardDirectory();
    previous.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", previous);
    ASSERT_EQ(directory, configHome.path() + QStringLiteral("/autostart"));

    // A program path that needs every kind of quoting the entry format has.
    const QString programDirectory = configHome.path() + QStringLiteral("/My Apps $HOME \"50%\" `x` \\back");
    ASSERT_TRUE(QDir().mkpath(programDirectory));
    const QString program = programDirectory + QStringLiteral("/quorvin");
    writeFile(program, "#!/bin/sh\n", executableMode);

    XdgAutostartLoginItem item(directory, program);
    EXPECT_EQ(item.status(), LoginItemStatus::NotRegistered);

    item.registerItem();
    EXPECT_EQ(item.status(), LoginItemStatus::Enabled);
    const QByteArray entry = readFile(item.entryPath());
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n")) << entry.constData();
    const auto execLine = entry.mid(entry.indexOf("\nExec=") + 6).split('\n').first();
    // What the desktop will run, after undoing the file's string escapes and the Exec quoting.
    QString unescaped = QString::fromUtf8(execLine).replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    EXPECT_EQ(XdgAutostartLoginItem::execProgram(unescaped), program) << execLine.constData();

    // Switched off in the desktop's start-up settings.
    writeFile(item.entryPath(), QByteArray(entry).replace("Hidden=false", "Hidden=true"),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(item.status(), LoginItemStatus::RequiresApproval);
    writeFile(item.entryPath(),
        QByteArray(entry).replace("X-GNOME-Autostart-enabled=true", "X-GNOME-Autostart-enabled=false"),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(item.status(), LoginItemStatus::RequiresApproval);

    // Registering again switches it back on.
    item.registerItem();
    EXPECT_EQ(item.status(), LoginItemStatus::Enabled);

    // The program the entry names is gone; an entry of another group does not count.
    QFile::remove(program);
    EXPECT_EQ(item.status(), LoginItemStatus::NotFound);
    writeFile(program, "#!/bin/sh\n", executableMode);
    writeFile(item.entryPath(),
        "[Desktop Action x]\nExec=/nonexistent\n[Desktop Entry]\nType=Application\nExec=sh -c "
        "true\nTryExec=/nonexistent\n",
        QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(item.status(), LoginItemStatus::NotFound);

    item.unregisterItem();
    EXPECT_EQ(item.status(), LoginItemStatus::NotRegistered);
    EXPECT_FALSE(QFile::exists(item.entryPath()));
    EXPECT_NO_THROW(item.unregisterItem());

    // A build without an executable of its own cannot be a login item.
    XdgAutostartLoginItem homeless(directory, QString());
    EXPECT_EQ(homeless.status(), LoginItemStatus::NotFound);
    EXPECT_THROW(homeless.registerItem(), LoginItemError);
    EXPECT_FALSE(QFile::exists(homeless.entryPath()));
}
