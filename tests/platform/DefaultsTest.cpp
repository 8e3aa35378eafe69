#include "platform/defaults/FileUserDefaults.h"
#include "platform/defaults/InMemoryUserDefaults.h"
#include "platform/files/AtomicFileWriter.h"
#include "support/FullDisk.h"
#include "support/HeldWrites.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sys/stat.h>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

namespace {

QJsonObject readJsonFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QJsonDocument::fromJson(file.readAll()).object();
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeRaw(const QString &path, const QByteArray &data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

void writeEveryType(UserDefaults &defaults)
{
    defaults.setString(u"s"_s, u"令牌 token"_s);
    defaults.setBoolean(u"b"_s, false);
    defaults.setInteger(u"i"_s, -9007199254740991LL);
    defaults.setReal(u"d"_s, 0.125);
    defaults.setBytes(u"bytes"_s, QByteArray("\x00\xff\x10zz", 5));
    defaults.setStringArray(u"a"_s, {u"x"_s, u""_s, u"\uFEFFy"_s});
    defaults.setStringMap(u"m"_s, {{u"srv-1"_s, u"local-1"_s}, {u"srv-2"_s, u""_s}});
    defaults.setJson(u"j"_s, QJsonObject {{u"nested"_s, QJsonArray {1, u"two"_s, QJsonValue::Null}}});
    // Encoded only when written or read, in the shapes the eager setters give.
    defaults.setEncodedStringMap(u"em"_s, QHash<QString, QString> {{u"srv-2"_s, u""_s}, {u"srv-1"_s, u"local-1"_s}});
    defaults.setEncodedStringSet(u"es"_s, QSet<QString> {u"y"_s, u"x"_s, u"\uFEFFz"_s});
}

void expectEveryType(const UserDefaults &defaults)
{
    EXPECT_EQ(defaults.string(u"s"_s), u"令牌 token"_s);
    EXPECT_EQ(defaults.boolean(u"b"_s), false);
    EXPECT_EQ(defaults.integer(u"i"_s), -9007199254740991LL);
    EXPECT_EQ(defaults.real(u"d"_s), 0.125);
    EXPECT_EQ(defaults.bytes(u"bytes"_s), QByteArray("\x00\xff\x10zz", 5));
    EXPECT_EQ(defaults.stringArray(u"a"_s), (QStringList {u"x"_s, u""_s, u"\uFEFFy"_s}));
    EXPECT_EQ(defaults.stringMap(u"m"_s), (UserDefaults::StringMap {{u"srv-1"_s, u"local-1"_s}, {u"srv-2"_s, u""_s}}));
    EXPECT_EQ(
        defaults.json(u"j"_s), QJsonValue(QJsonObject {{u"nested"_s, QJsonArray {1, u"two"_s, QJsonValue::Null}}}));
    EXPECT_EQ(defaults.stringMap(u"em"_s), defaults.stringMap(u"m"_s));
    EXPECT_EQ(defaults.stringArray(u"es"_s), (QStringList {u"x"_s, u"y"_s, u"\uFEFFz"_s}));
}

} // namespace

TEST(UserDefaults, EveryTypeRoundTripsThroughTheFileAndMemory)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"config/Quorvin/settings.json"_s);
    {
        FileUserDefaults defaults(path);
        writeEveryType(defaults);
        expectEveryType(defaults);
    }
    FileUserDefaults reread(path);
    expectEveryType(reread);
    EXPECT_EQ(reread.keys().size(), 10);

    InMemoryUserDefaults memory;
    writeEveryType(memory);
    expectEveryType(memory);
    EXPECT_EQ(memory.snapshot(), reread.snapshot());
}

TEST(UserDefaults, AbsentMismatchedAndRemovedValuesReadAsAbsent)
{
    InMemoryUserDefaults defaults(QJsonObject {{u"text"_s, u"not base64 !"_s}, {u"fraction"_s, 1.5},
        {u"mixed"_s, QJsonArray {u"a"_s, 1}}, {u"emptyText"_s, u""_s}});
    EXPECT_FALSE(defaults.string(u"missing"_s).has_value());
    EXPECT_FALSE(defaults.json(u"missing"_s).has_value());
    EXPECT_FALSE(defaults.boolean(u"text"_s).has_value());
    EXPECT_FALSE(defaults.integer(u"text"_s).has_value());
    EXPECT_FALSE(defaults.bytes(u"text"_s).has_value());
    EXPECT_FALSE(defaults.integer(u"fraction"_s).has_value());
    EXPECT_EQ(defaults.real(u"fraction"_s), 1.5);
    EXPECT_FALSE(defaults.stringArray(u"mixed"_s).has_value());
    EXPECT_FALSE(defaults.stringMap(u"text"_s).has_value());
    // A stored empty text is present, unlike a missing key.
    EXPECT_EQ(defaults.string(u"emptyText"_s), u""_s);
    EXPECT_TRUE(defaults.contains(u"emptyText"_s));

    defaults.remove(u"emptyText"_s);
    EXPECT_FALSE(defaults.contains(u"emptyText"_s));
    defaults.setJson(u"fraction"_s, QJsonValue::Null);
    EXPECT_FALSE(defaults.contains(u"fraction"_s));
}

TEST(UserDefaults, ChangeSignalNamesTheKeyOnlyWhenTheValueChanges)
{
    InMemoryUserDefaults defaults;
    QSignalSpy spy(&defaults, &UserDefaults::changed);
    defaults.setString(u"Quorvin.CloudAuthToken"_s, u"a"_s);
    defaults.setString(u"Quorvin.CloudAuthToken"_s, u"a"_s);
    defaults.setString(u"Quorvin.CloudAuthToken"_s, u"b"_s);
    defaults.remove(u"missing"_s);
    defaults.remove(u"Quorvin.CloudAuthToken"_s);
    ASSERT_EQ(spy.count(), 3);
    for (const auto &arguments : spy) {
        EXPECT_EQ(arguments.at(0).toString(), u"Quorvin.CloudAuthToken"_s);
    }
}

TEST(UserDefaults, FileIsOwnerOnlyAndReplacedAtomically)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"settings.json"_s);
    FileUserDefaults defaults(path);
    defaults.setString(u"Quorvin.CloudAuthToken"_s, u"secret"_s);
    defaults.flush();

    struct stat status { };
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {u"settings.json"_s});
    EXPECT_EQ(readJsonFile(path).value(u"Quorvin.CloudAuthToken"_s).toString(), u"secret"_s);

    // The new content goes to a new file that replaces the old one: a reader that opened the old
    // file still sees it whole, never a truncated or half-written one.
    QFile before(path);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    defaults.setString(u"Quorvin.CloudAuthToken"_s, u"second"_s);
    defaults.flush();
    EXPECT_TRUE(defaults.lastError().isEmpty());
    EXPECT_EQ(
        QJsonDocument::fromJson(before.readAll()).object().value(u"Quorvin.CloudAuthToken"_s).toString(), u"secret"_s);
    EXPECT_EQ(readJsonFile(path).value(u"Quorvin.CloudAuthToken"_s).toString(), u"second"_s);
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST(UserDefaults, CorruptFileIsMovedAsideAndSettingsStartEmpty)
{
    // Each damage goes to its own copy, never over the one before.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"settings.json"_s);
    const QStringList asideNames {u".corrupt"_s, u".corrupt-2"_s, u".corrupt-3"_s};
    const QList<QByteArray> contents {QByteArray("{\"a\": "), QByteArray("[1, 2]"), QByteArray("\xff\xfe")};
    for (qsizetype i = 0; i < contents.size(); ++i) {
        writeRaw(path, contents[i]);
        FileUserDefaults defaults(path);
        EXPECT_TRUE(defaults.keys().isEmpty());
        EXPECT_FALSE(defaults.lastError().isEmpty());
        ASSERT_TRUE(defaults.damageNotice());
        EXPECT_TRUE(defaults.damageNotice()->contains(path + asideNames[i])) << defaults.damageNotice()->toStdString();

        defaults.setBoolean(u"showDockIcon"_s, true);
        defaults.flush();
        EXPECT_EQ(FileUserDefaults(path).boolean(u"showDockIcon"_s), true);
        EXPECT_FALSE(FileUserDefaults(path).damageNotice());
    }
    for (qsizetype i = 0; i < contents.size(); ++i) {
        QFile aside(path + asideNames[i]);
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
        EXPECT_EQ(aside.readAll(), contents[i]);
    }
}

// What a write killed half-way leaves beside the file is ours to remove; nothing else is.
TEST(UserDefaults, LeftoversOfKilledWritesAreRemovedAndNothingElse)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"settings.json"_s);
    FileUserDefaults(path).setString(u"k"_s, u"v"_s);
    const QStringList ours {u"settings.json.tmp-a1B2c3"_s, u"settings.json.tmp-abcdef"_s, u"settings.json.Xq81zP"_s};
    const QStringList others {u"settings.json.backup"_s, u"settings.json.corrupt"_s, u"reminders.json.tmp-a1B2c3"_s,
        u"settings.json.tmp-a1B2c"_s, u"settings.json.journal"_s};
    for (const QString &name : ours + others) {
        writeRaw(dir.filePath(name), "{}");
    }
    EXPECT_EQ(AtomicFileWriter::removeLeftovers(path), ours.size());
    for (const QString &name : ours) {
        EXPECT_FALSE(QFile::exists(dir.filePath(name))) << name.toStdString();
    }
    for (const QString &name : others) {
        EXPECT_TRUE(QFile::exists(dir.filePath(name))) << name.toStdString();
    }
    EXPECT_EQ(FileUserDefaults(path).string(u"k"_s), u"v"_s);
}

TEST(UserDefaults, EditsOfAnotherProcessAreKeptAndSignalled)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"settings.json"_s);
    FileUserDefaults app(path);
    app.setString(u"Quorvin.CloudPullCursor"_s, u"c1"_s);
    app.flush();

    // The command-line tool writes the same file with a separate instance.
    FileUserDefaults tool(path);
    tool.setString(u"Quorvin.CloudBaseURL"_s, u"http://127.0.0.1:8080"_s);
    tool.flush();

    QSignalSpy spy(&app, &UserDefaults::changed);
    app.setString(u"Quorvin.CloudPushCursor"_s, u"p1"_s);
    app.flush();
    EXPECT_EQ(app.string(u"Quorvin.CloudBaseURL"_s), u"http://127.0.0.1:8080"_s);
    const QJsonObject onDisk = readJsonFile(path);
    EXPECT_EQ(onDisk.value(u"Quorvin.CloudBaseURL"_s).toString(), u"http://127.0.0.1:8080"_s);
    EXPECT_EQ(onDisk.value(u"Quorvin.CloudPullCursor"_s).toString(), u"c1"_s);
    EXPECT_EQ(onDisk.value(u"Quorvin.CloudPushCursor"_s).toString(), u"p1"_s);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).toString(), u"Quorvin.CloudBaseURL"_s);
    EXPECT_EQ(spy.at(1).at(0).toString(), u"Quorvin.CloudPushCursor"_s);
}

TEST(UserDefaults, OutsideEditsAreSeenWithoutAWriteAndHalfWrittenFilesAreIgnored)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"settings.json"_s);
    FileUserDefaults app(path);
    app.setString(u"Quorvin.CloudAuthToken"_s, u"aaaa"_s);
    app.flush();
    QSignalSpy spy(&app, &UserDefaults::changed);

    // The tool's write has the same size and may fall in the same clock tick; the running app
    // still picks it up, on its own, through the watch.
    FileUserDefaults(path).setString(u"Quorvin.CloudAuthToken"_s, u"bbbb"_s);
    ASSERT_TRUE(spy.wait(5000));
    EXPECT_EQ(spy.at(0).at(0).toString(), u"Quorvin.CloudAuthToken"_s);
    EXPECT_EQ(app.string(u"Quorvin.CloudAuthToken"_s), u"bbbb"_s);

    // An editor caught in the middle of rewriting the file in place: nothing is lost or moved.
    writeRaw(path, "{\"Quorvin.CloudAuthToken\": \"cc");
    app.reload();
    EXPECT_FALSE(app.lastError().isEmpty());
    EXPECT_EQ(app.string(u"Quorvin.CloudAuthToken"_s), u"bbbb"_s);
    EXPECT_FALSE(QFile::exists(path + u".corrupt"_s));
    writeRaw(path, "{\"Quorvin.CloudAuthToken\": \"cccc\"}");
    app.reload();
    EXPECT_TRUE(app.lastError().isEmpty());
    EXPECT_EQ(app.string(u"Quorvin.CloudAuthToken"_s), u"cccc"_s);
}

TEST(UserDefaults, AFailedWriteLeavesTheFileKeepsTheValueAndIsReportedUntilAWriteSucceeds)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"config/Quorvin/settings.json"_s);
    FileUserDefaults defaults(path);
    defaults.setString(u"Quorvin.CloudPushCursor"_s, u"p0"_s);
    defaults.flush();
    struct stat status { };
    ASSERT_EQ(::stat(QFile::encodeName(dir.filePath(u"config/Quorvin"_s)).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    const QByteArray before = readBytes(path);
    QSignalSpy failed(&defaults, &UserDefaults::writeFailed);

    const std::pair<const char *, AtomicFileWriter::SystemCalls> fullDisks[]
        = {{"write cut short", test::diskWithRoom(20)}, {"flush fails", test::diskFailingFlush()}};
    for (const auto &[name, calls] : fullDisks) {
        SCOPED_TRACE(name);
        defaults.fileWriter().setSystemCalls(calls);
        defaults.setString(u"Quorvin.CloudPushCursor"_s, QString::fromLatin1(name));
        defaults.flush();
        EXPECT_EQ(readBytes(path), before);
        EXPECT_EQ(QDir(dir.filePath(u"config/Quorvin"_s)).entryList(QDir::Files | QDir::Hidden),
            QStringList {u"settings.json"_s});
        ASSERT_TRUE(defaults.writeFailure().has_value());
        EXPECT_TRUE(defaults.writeFailure()->contains(u"No space left on device"_s))
            << defaults.writeFailure()->toStdString();
        ASSERT_FALSE(failed.isEmpty());
        EXPECT_EQ(failed.takeLast().at(0).toString(), *defaults.writeFailure());
        EXPECT_EQ(defaults.string(u"Quorvin.CloudPushCursor"_s), QString::fromLatin1(name));
    }

    // Another process writes meanwhile: reading its file does not lose the unsaved value.
    FileUserDefaults(path).setString(u"Quorvin.CloudBaseURL"_s, u"http://127.0.0.1:8080"_s);
    defaults.reload();
    EXPECT_EQ(defaults.string(u"Quorvin.CloudPushCursor"_s), u"flush fails"_s);

    // Once there is room, repeating the write stores everything and clears the failure.
    defaults.fileWriter().setSystemCalls(AtomicFileWriter::realSystemCalls());
    defaults.setString(u"Quorvin.CloudPushCursor"_s, u"flush fails"_s);
    defaults.flush();
    EXPECT_FALSE(defaults.writeFailure().has_value());
    const FileUserDefaults reread(path);
    EXPECT_EQ(reread.string(u"Quorvin.CloudPushCursor"_s), u"flush fails"_s);
    EXPECT_EQ(reread.string(u"Quorvin.CloudBaseURL"_s), u"http://127.0.0.1:8080"_s);

    InMemoryUserDefaults memory;
    memory.setFailingWrites(u"disk full"_s);
    memory.setBoolean(u"showDockIcon"_s, true);
    EXPECT_EQ(memory.writeFailure(), u"disk full"_s);
    EXPECT_EQ(memory.boolean(u"showDockIcon"_s), true);
    memory.setFailingWrites(std::nullopt);
    memory.setBoolean(u"showDockIcon"_s, true);
    EXPECT_FALSE(memory.writeFailure().has_value());
}

// Large values changed together (the identity cache, the two id maps) are one rewrite of the file,
// not one each; a failure of that write is still reported.
TEST(UserDefaults, ChangesMadeInOneBatchAreWrittenOnceAtItsEnd)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"settings.json"_s);
    FileUserDefaults defaults(path);
    const auto flushes = std::make_shared<int>(0);
    auto calls = AtomicFileWriter::realSystemCalls();
    calls.fsync = [flushes, real = calls.fsync](int fd) {
        ++*flushes;
        return real(fd);
    };
    defaults.fileWriter().setSystemCalls(calls);
    QSignalSpy changed(&defaults, &UserDefaults::changed);
    {
        const auto outer = defaults.batchWrites();
        {
            const auto inner = defaults.batchWrites();
            defaults.setString(u"Quorvin.CloudPullCursor"_s, u"7"_s);
            defaults.setStringArray(u"Quorvin.RemoteServerIDs"_s, {u"a"_s, u"b"_s});
        }
        defaults.setInteger(u"Quorvin.RemoteIdentityCacheVersion"_s, 1);
        defaults.flush();
        EXPECT_EQ(*flushes, 0);
        EXPECT_EQ(changed.size(), 3);
        EXPECT_EQ(defaults.string(u"Quorvin.CloudPullCursor"_s), u"7"_s);
    }
    defaults.flush();
    EXPECT_EQ(*flushes, 1);
    const FileUserDefaults reread(path);
    EXPECT_EQ(reread.string(u"Quorvin.CloudPullCursor"_s), u"7"_s);
    EXPECT_EQ(reread.integer(u"Quorvin.RemoteIdentityCacheVersion"_s), 1);

    defaults.fileWriter().setSystemCalls(test::diskFailingFlush());
    {
        const auto batch = defaults.batchWrites();
        defaults.setString(u"Quorvin.CloudPullCursor"_s, u"8"_s);
        defaults.flush();
        EXPECT_FALSE(defaults.writeFailure().has_value());
    }
    defaults.flush();
    EXPECT_TRUE(defaults.writeFailure().has_value());
    EXPECT_EQ(FileUserDefaults(path).string(u"Quorvin.CloudPullCursor"_s), u"7"_s);
}

namespace {
// What each file written held under `key`, in the order they were written.
QList<qint64> writtenValues(const test::HeldWrites &held, const QString &key)
{
    QList<qint64> values;
    for (const QByteArray &file : held.files()) {
        values.append(QJsonDocument::fromJson(file).object().value(key).toInteger(-1));
    }
    return values;
}
} // namespace

// The file is written on a thread of its own: a change is read back at once while its write runs,
// the changes made meanwhile go out together in one more write of the newest map, never an older
// map after a newer one, and the destructor lets none of them go.
TEST(UserDefaults, WritesRunAwayFromTheCallerInOrderAndTogether)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"settings.json"_s);
    auto defaults = std::make_unique<FileUserDefaults>(path);
    const auto held = test::HeldWrites::make();
    defaults->fileWriter().setSystemCalls(test::HeldWrites::calls(held));
    const QString key = u"Quorvin.CloudPullCursor"_s;
    for (int n = 1; n <= 5; ++n) {
        defaults->setInteger(key, n);
    }
    EXPECT_EQ(defaults->integer(key), 5);
    EXPECT_FALSE(QFile::exists(path));
    held->release();
    defaults->flush();
    EXPECT_EQ(writtenValues(*held, key), (QList<qint64> {1, 5}));
    EXPECT_EQ(FileUserDefaults(path).integer(key), 5);

    held->hold();
    defaults->setInteger(key, 6);
    defaults->setInteger(key, 7);
    held->release();
    defaults.reset();
    EXPECT_EQ(writtenValues(*held, key), (QList<qint64> {1, 5, 6, 7}));
    EXPECT_EQ(FileUserDefaults(path).integer(key), 7);
}

// A write that fails on its thread is reported when it ends, through the event loop, and the next
// write that lands clears the reason.
TEST(UserDefaults, AFailedWriteIsReportedWhenItEndsAndClearedByTheNextThatLands)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"settings.json"_s);
    FileUserDefaults defaults(path);
    QSignalSpy failed(&defaults, &UserDefaults::writeFailed);
    defaults.fileWriter().setSystemCalls(test::diskWithRoom(0));
    defaults.setString(u"Quorvin.CloudPushCursor"_s, u"p1"_s);
    EXPECT_FALSE(defaults.writeFailure().has_value()) << "not known before the write ends";
    ASSERT_TRUE(failed.wait(10000));
    ASSERT_TRUE(defaults.writeFailure().has_value());
    EXPECT_TRUE(defaults.writeFailure()->contains(u"No space left on device"_s));
    EXPECT_EQ(defaults.string(u"Quorvin.CloudPushCursor"_s), u"p1"_s);

    bool saved = true;
    defaults.whenWritten([&saved](bool answer) { saved = answer; });
    EXPECT_FALSE(saved) << "nothing waits, and the map is not on disk";

    defaults.fileWriter().setSystemCalls(AtomicFileWriter::realSystemCalls());
    defaults.setString(u"Quorvin.CloudPullCursor"_s, u"c1"_s);
    defaults.whenWritten([&saved](bool answer) { saved = answer; });
    defaults.flush();
    EXPECT_TRUE(saved);
    EXPECT_FALSE(defaults.writeFailure().has_value());
    const FileUserDefaults reread(path);
    EXPECT_EQ(reread.string(u"Quorvin.CloudPushCursor"_s), u"p1"_s);
    EXPECT_EQ(reread.string(u"Quorvin.CloudPullCursor"_s), u"c1"_s);
    EXPECT_EQ(failed.size(), 1);
}

// The tool writes the file while a write of the app runs: that write, built on the older file, is
// dropped rather than put over the tool's, and the app writes its changes again over the tool's.
TEST(UserDefaults, AnEditOfAnotherProcessDuringAWriteIsNotWrittenOver)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"settings.json"_s);
    FileUserDefaults app(path);
    app.setString(u"Quorvin.CloudAuthToken"_s, u"t0"_s);
    app.flush();
    const auto held = test::HeldWrites::make();
    app.fileWriter().setSystemCalls(test::HeldWrites::calls(held));
    QSignalSpy changed(&app, &UserDefaults::changed);

    app.setString(u"Quorvin.CloudPullCursor"_s, u"c1"_s);
    FileUserDefaults(path).setString(u"Quorvin.CloudBaseURL"_s, u"http://127.0.0.1:8080"_s);
    held->release();
    app.flush();

    const QJsonObject onDisk = readJsonFile(path);
    EXPECT_EQ(onDisk.value(u"Quorvin.CloudBaseURL"_s).toString(), u"http://127.0.0.1:8080"_s);
    EXPECT_EQ(onDisk.value(u"Quorvin.CloudPullCursor"_s).toString(), u"c1"_s);
    EXPECT_EQ(onDisk.value(u"Quorvin.CloudAuthToken"_s).toString(), u"t0"_s);
    EXPECT_EQ(app.string(u"Quorvin.CloudBaseURL"_s), u"http://127.0.0.1:8080"_s);
    ASSERT_EQ(changed.size(), 2);
    EXPECT_EQ(changed.at(1).at(0).toString(), u"Quorvin.CloudBaseURL"_s);
}
