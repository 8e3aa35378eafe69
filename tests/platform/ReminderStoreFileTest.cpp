#include "platform/concurrency/ManualClock.h"
#include "platform/reminderstore/JsonFileReminderStore.h"
#include "support/FullDisk.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace {

// The OS reports file changes in real time; this is the only real wait of these tests.
constexpr int watchTimeoutMs = 3000;

QDateTime instant(const QString &text)
{
    return QDateTime::fromString(text, Qt::ISODateWithMs);
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// An edit by someone else: replaced atomically, as editors and other processes do.
void writeOutside(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    ASSERT_TRUE(file.commit());
}

// A file of one list holding one reminder titled `title`.
void writeOneReminder(const QString &path, ManualClock &clock, const QString &title)
{
    JsonFileReminderStore store(path, clock);
    const auto list = store.saveList(ReminderList {{}, u"L"_s, u"local"_s});
    store.saveReminder(Reminder {.listId = list.id, .title = title});
}

// A reminder with every field set, each optional list present, some of them empty, and numbers
// that a careless decimal rendering would not bring back.
Reminder everyField(const QString &listId)
{
    Reminder reminder;
    reminder.externalId = u"ext-42"_s;
    reminder.listId = listId;
    reminder.title = u" 买牛奶 #Milk \"quoted\"\n"_s;
    reminder.notes = u""_s;
    reminder.url = u"HTTPS://例え.JP/a%20b?q=%e4%b8%ad#Frag"_s;
    reminder.startDateComponents = DateComponents {1, 2026, 3, 1, 0, 0, {}, u"Asia/Shanghai"_s};
    reminder.dueDateComponents = DateComponents {1, 2026, 3, 1, {}, {}, {}, {}};
    reminder.timeZone = u"Europe/Berlin"_s;
    reminder.priority = 9;
    reminder.completed = true;
    reminder.completionDate = instant(u"2026-03-02T01:02:03.045Z"_s);

    ReminderAlarm located = ReminderAlarm::atOffset(-900.5);
    located.structuredLocation
        = StructuredLocation {u"家"_s, StructuredLocation::Coordinate {31.230416, 0.1 + 0.2}, 150.25};
    located.proximity = ReminderAlarm::Proximity::Leave;
    ReminderAlarm untitled = ReminderAlarm::atOffset(0);
    untitled.structuredLocation = StructuredLocation {};
    untitled.proximity = ReminderAlarm::Proximity::Enter;
    reminder.alarms = std::vector {ReminderAlarm::atDate(instant(u"2026-03-01T09:00:00.400Z"_s)), located, untitled};

    RecurrenceRule monthly;
    monthly.frequency = RecurrenceRule::Frequency::Monthly;
    monthly.interval = 0;
    monthly.daysOfTheWeek = std::vector {RecurrenceDayOfWeek {3, 2}, RecurrenceDayOfWeek {6, -1}};
    monthly.daysOfTheMonth = std::vector {-1, 15};
    monthly.monthsOfTheYear = std::vector<int> {};
    monthly.weeksOfTheYear = std::vector {1, 53};
    monthly.daysOfTheYear = std::vector {-366};
    monthly.setPositions = std::vector {-1};
    monthly.firstDayOfTheWeek = 2;
    monthly.end = RecurrenceEnd::byDate(instant(u"2027-01-01T00:00:00.999Z"_s));
    RecurrenceRule yearly;
    yearly.frequency = RecurrenceRule::Frequency::Yearly;
    yearly.end = RecurrenceEnd::byCount(5);
    reminder.recurrenceRules = {monthly, yearly};
    return reminder;
}

} // namespace

TEST(ReminderStoreFile, EveryFieldAndEveryIdComesBackAfterAReload)
{
    QTemporaryDir dir;
    const auto path = dir.filePath(u"data/reminders.json"_s);
    ManualClock clock(instant(u"2026-03-01T08:00:00.007Z"_s));

    std::vector<Reminder> saved;
    std::vector<ReminderSource> sources;
    std::vector<ReminderList> lists;
    {
        JsonFileReminderStore store(path, clock);
        EXPECT_EQ(store.sources(), InMemoryReminderStore::initialState().sources);
        EXPECT_FALSE(QFile::exists(path)) << "reading a missing file must not create it";
        sources = store.setSources({ReminderSource {u"s1"_s, u"iCloud"_s, ReminderSource::Kind::CalDAV},
            ReminderSource {u"s2"_s, u"Exchange"_s, ReminderSource::Kind::Exchange}});
        lists.push_back(store.saveList(ReminderList {{}, u"工作"_s, u"s2"_s}));
        lists.push_back(store.saveList(ReminderList {{}, u""_s, u"s1"_s}));
        store.setDefaultListId(lists[1].id);
        saved.push_back(store.saveReminder(everyField(lists[0].id)));
        Reminder bare;
        bare.listId = lists[1].id;
        saved.push_back(store.saveReminder(bare));
        auto empties = bare;
        empties.alarms = std::vector<ReminderAlarm> {};
        empties.notes = u"\uFEFFnote"_s; // a character a careless parser drops as a byte-order mark
        clock.advance(1ms);
        saved.push_back(store.saveReminder(empties));
    }

    JsonFileReminderStore reloaded(path, clock);
    EXPECT_EQ(reloaded.sources(), sources);
    EXPECT_EQ(reloaded.lists(), lists);
    EXPECT_EQ(reloaded.defaultListForNewReminders(), lists[1]);
    const auto back = reloaded.reminders();
    ASSERT_EQ(back.size(), saved.size());
    for (std::size_t i = 0; i < back.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(back[i], saved[i]);
    }
    // Spot checks that equality did not hide a lossy field.
    EXPECT_EQ(back[2].notes, u"\uFEFFnote"_s);
    EXPECT_EQ(back[0].url, everyField(lists[0].id).url);
    EXPECT_EQ(back[0].alarms->at(1).structuredLocation->geoLocation->longitude, 0.1 + 0.2);
    EXPECT_EQ(back[0].completionDate->toMSecsSinceEpoch() % 1000, 45);
    EXPECT_FALSE(back[1].alarms.has_value());
    EXPECT_TRUE(back[2].alarms.has_value() && back[2].alarms->empty());
    EXPECT_FALSE(back[0].recurrenceRules[0].monthsOfTheYear->size());
    EXPECT_FALSE(back[0].recurrenceRules[1].daysOfTheWeek.has_value());
    EXPECT_EQ(back[2].lastModifiedDate->toString(Qt::ISODateWithMs), u"2026-03-01T08:00:00.008Z"_s);

    // Saving the read-back copy again is no write; a new item gets an id none of the old ones had.
    reloaded.saveReminder(back[0]);
    EXPECT_EQ(reloaded.counters().commits, 0);
    const auto fresh = reloaded.saveReminder(Reminder {.listId = lists[0].id});
    for (const auto &old : saved) {
        EXPECT_NE(fresh.id, old.id);
    }
    EXPECT_EQ(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
}

// The file may be read ahead, away from the main thread; the first call still sees the file as it
// is when the call is made, whether the read ahead has run yet or not.
TEST(ReminderStoreFile, AReadAheadGivesTheFirstCallTheFileAsItIsThen)
{
    QTemporaryDir dir;
    const auto path = dir.filePath(u"reminders.json"_s);
    ManualClock clock;
    writeOneReminder(path, clock, u"first"_s);
    {
        JsonFileReminderStore store(path, clock);
        clock.holdOffMainThreadWork();
        auto ahead = store.loadAhead();
        ASSERT_EQ(clock.heldOffMainThreadWork(), 1);
        EXPECT_EQ(store.reminders().at(0).title, u"first"_s);
        clock.releaseOffMainThreadWork();
        clock.advance(1ms);
        EXPECT_TRUE(ahead.isReady());
        EXPECT_EQ(store.reminders().size(), 1u);
    }
    {
        JsonFileReminderStore store(path, clock);
        auto ahead = store.loadAhead();
        ASSERT_TRUE(ahead.isReady());
        // Changed by someone else before the store was first used: the watch has nothing to say
        // of a file the store has not read yet.
        writeOutside(path, readBytes(path).replace("\"first\"", "\"second\""));
        EXPECT_EQ(store.reminders().at(0).title, u"second"_s);
    }
}

TEST(ReminderStoreFile, AnUnreadableFileIsAnErrorAndIsNeverOverwritten)
{
    QTemporaryDir dir;
    const auto path = dir.filePath(u"reminders.json"_s);
    ManualClock clock;
    writeOneReminder(path, clock, u"t"_s);
    auto root = QJsonDocument::fromJson(readBytes(path)).object();
    const auto withReminder = [&root](const char *key, QJsonValue value) {
        auto copy = root;
        auto reminders = copy[u"reminders"_s].toArray();
        auto first = reminders[0].toObject();
        first[QString::fromLatin1(key)] = value;
        reminders[0] = first;
        copy[u"reminders"_s] = reminders;
        return QJsonDocument(copy).toJson();
    };
    auto duplicated = root;
    auto reminders = duplicated[u"reminders"_s].toArray();
    reminders.append(reminders[0]);
    duplicated[u"reminders"_s] = reminders;

    const struct {
        const char *name;
        QByteArray bytes;
        QString mentions;
    } cases[] = {
        {"not JSON", "{\"format\": 1, \"sour", u"not JSON"_s},
        {"empty file", "", u"not JSON"_s},
        {"not an object", "[1, 2]", u"$ is not an object"_s},
        {"unknown format", QJsonDocument(QJsonObject {{u"format"_s, 7}}).toJson(), u"$.format"_s},
        {"mistyped priority", withReminder("priority", u"high"_s), u"$.reminders[0].priority"_s},
        {"fractional priority", withReminder("priority", 1.5), u"$.reminders[0].priority"_s},
        {"missing title", withReminder("title", QJsonValue::Null), u"$.reminders[0].title is missing"_s},
        {"bad date", withReminder("creation_date", u"yesterday"_s), u"$.reminders[0].creation_date"_s},
        {"unknown list", withReminder("list_id", u"nowhere"_s), u"$.reminders[0].list_id names no list"_s},
        {"repeated id", QJsonDocument(duplicated).toJson(), u"$.reminders[1].id repeats"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path);
        writeOutside(path, c.bytes);
        JsonFileReminderStore store(path, clock);
        try {
            store.reminders();
            ADD_FAILURE() << "read a broken file";
        } catch (const ReminderStoreError &error) {
            EXPECT_EQ(error.code(), ReminderStoreError::Unreadable);
            EXPECT_TRUE(error.description().contains(c.mentions)) << error.what();
        }
        EXPECT_THROW(store.saveList(ReminderList {{}, u"new"_s, u"local"_s}), ReminderStoreError);
        EXPECT_EQ(readBytes(path), c.bytes);
    }
}

TEST(ReminderStoreFile, AFailedWriteKeepsTheStagedWritesAndTheOldFile)
{
    QTemporaryDir dir;
    const auto path = dir.filePath(u"reminders.json"_s);
    ManualClock clock;
    JsonFileReminderStore store(path, clock);
    const auto list = store.saveList(ReminderList {{}, u"L"_s, u"local"_s});
    const auto before = readBytes(path);
    ManualClock::drainEvents();
    QSignalSpy changed(&store, &ReminderStore::changed);

    // Someone else wrote the file and the watch has not reported it yet: our commit must not
    // undo their change.
    auto outside = QJsonDocument::fromJson(before).object();
    auto lists = outside[u"lists"_s].toArray();
    auto renamed = lists[0].toObject();
    renamed[u"title"_s] = u"renamed outside"_s;
    lists[0] = renamed;
    outside[u"lists"_s] = lists;
    writeOutside(path, QJsonDocument(outside).toJson());
    const auto theirs = readBytes(path);

    store.saveReminder(Reminder {.listId = list.id, .title = u"a"_s}, false);
    try {
        store.saveReminder(Reminder {.listId = list.id, .title = u"b"_s}, true);
        ADD_FAILURE() << "overwrote an outside change";
    } catch (const ReminderStoreError &error) {
        EXPECT_EQ(error.code(), ReminderStoreError::WriteFailed);
    }
    EXPECT_EQ(readBytes(path), theirs);
    EXPECT_TRUE(store.hasUncommittedChanges());
    EXPECT_EQ(store.reminders().size(), 2u);
    EXPECT_EQ(changed.count(), 0);

    // The watch then brings their version in and drops what was staged.
    ASSERT_TRUE(changed.wait(watchTimeoutMs));
    EXPECT_FALSE(store.hasUncommittedChanges());
    EXPECT_TRUE(store.reminders().empty());
    EXPECT_EQ(store.lists()[0].title, u"renamed outside"_s);
    EXPECT_EQ(store.counters().commits, 1);
}

TEST(ReminderStoreFile, AnOutsideEditReloadsAndSignals)
{
    QTemporaryDir dir;
    const auto path = dir.filePath(u"reminders.json"_s);
    ManualClock clock;
    JsonFileReminderStore store(path, clock);
    JsonFileReminderStore other(path, clock);
    const auto list = store.saveList(ReminderList {{}, u"L"_s, u"local"_s});
    ManualClock::drainEvents();
    QSignalSpy changed(&store, &ReminderStore::changed);
    const auto mine = store.saveReminder(Reminder {.listId = list.id, .title = u"mine"_s});
    ASSERT_TRUE(changed.wait(watchTimeoutMs));
    EXPECT_EQ(changed.count(), 1);

    // Another writer of the same file: its commit reaches us through the watch alone.
    ASSERT_EQ(other.reminders().size(), 1u);
    auto edited = other.reminders()[0];
    edited.title = u"theirs"_s;
    other.saveReminder(edited);
    ASSERT_TRUE(changed.wait(watchTimeoutMs));
    EXPECT_EQ(store.reminder(mine.id)->title, u"theirs"_s);
    EXPECT_EQ(changed.count(), 2) << "our own write must not come back through the watch";
    EXPECT_EQ(store.reminder(mine.id)->id, mine.id);

    // A broken file: the signal comes, and reads fail until the file is mended.
    const auto good = readBytes(path);
    writeOutside(path, "{ broken");
    ASSERT_TRUE(changed.wait(watchTimeoutMs));
    EXPECT_THROW(store.reminders(), ReminderStoreError);
    writeOutside(path, good);
    ASSERT_TRUE(changed.wait(watchTimeoutMs));
    EXPECT_EQ(store.reminders().size(), 1u);

    // Edited in place rather than replaced: the watch on the file itself sees it. A reader may
    // catch the file half written, so wait for the final content.
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray(good).replace("theirs", "in place"));
    }
    QElapsedTimer waited;
    waited.start();
    const auto title = [&] {
        try {
            return store.reminder(mine.id)->title;
        } catch (const ReminderStoreError &) {
            return QString();
        }
    };
    while (title() != u"in place"_s && waited.elapsed() < watchTimeoutMs) {
        changed.wait(100);
    }
    EXPECT_EQ(title(), u"in place"_s);

    // The file removed while in use: no answer rather than an empty database, so nothing reads
    // as deleted and nothing is written in its place, until the file is back.
    const auto current = readBytes(path);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(changed.wait(watchTimeoutMs));
    try {
        store.reminders();
        ADD_FAILURE() << "a vanished file read as an empty store";
    } catch (const ReminderStoreError &error) {
        EXPECT_EQ(error.code(), ReminderStoreError::Unreadable);
    }
    EXPECT_THROW(store.saveList(ReminderList {{}, u"new"_s, u"local"_s}), ReminderStoreError);
    EXPECT_FALSE(QFile::exists(path));
    writeOutside(path, current);
    ASSERT_TRUE(changed.wait(watchTimeoutMs));
    EXPECT_EQ(store.reminder(mine.id)->title, u"in place"_s);

    // A store that starts without a file starts empty; a broken file removed is an empty one too.
    writeOutside(path, "{ broken");
    ASSERT_TRUE(changed.wait(watchTimeoutMs));
    EXPECT_THROW(store.reminders(), ReminderStoreError);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(changed.wait(watchTimeoutMs));
    EXPECT_TRUE(store.reminders().empty());
    EXPECT_TRUE(store.lists().empty());
    EXPECT_FALSE(store.reminder(mine.id).has_value());
    EXPECT_FALSE(store.list(list.id).has_value());
    JsonFileReminderStore fresh(dir.filePath(u"elsewhere/reminders.json"_s), clock);
    EXPECT_TRUE(fresh.reminders().empty());
}

// The file is rewritten from texts kept between writes; after edits, removals and additions it
// must still say exactly what the store holds, one reminder a line.
TEST(ReminderStoreFile, EveryRewriteMatchesTheStoreAfterEditsRemovalsAndAdditions)
{
    QTemporaryDir dir;
    const auto path = dir.filePath(u"reminders.json"_s);
    ManualClock clock;
    JsonFileReminderStore store(path, clock);
    const auto list = store.saveList(ReminderList {{}, u"L"_s, u"local"_s});
    std::vector<Reminder> saved;
    for (int i = 0; i < 6; ++i) {
        saved.push_back(store.saveReminder(Reminder {.listId = list.id, .title = u"r%1"_s.arg(i)}));
    }
    const auto expectFileMatches = [&](const char *step) {
        SCOPED_TRACE(step);
        const auto bytes = readBytes(path);
        const auto decoded = ReminderStoreJson::decode(bytes);
        EXPECT_EQ(decoded.reminders, store.reminders());
        EXPECT_EQ(decoded.lists, store.lists());
        EXPECT_EQ(ReminderStoreJson().encode(decoded), bytes) << "the kept texts went stale";
        EXPECT_EQ(bytes.count('\n'), qsizetype(store.reminders().size()) + 2);
    };
    expectFileMatches("saved");

    auto edited = saved[2];
    edited.title = u"r2 edited"_s;
    edited.alarms = std::vector {ReminderAlarm::atOffset(-60)};
    store.saveReminder(edited);
    expectFileMatches("edited");
    store.removeReminder(saved[0].id);
    store.removeReminder(saved[5].id, false);
    store.saveReminder(Reminder {.listId = list.id, .title = u"added"_s}, false);
    store.commit();
    expectFileMatches("removed and added");
    store.removeReminder(saved[1].id);
    edited.title = u"r2 edited again"_s;
    store.saveReminder(edited);
    expectFileMatches("edited again");

    // A second store over the same file reads back exactly this.
    JsonFileReminderStore reader(path, clock);
    EXPECT_EQ(reader.reminders(), store.reminders());
    QStringList titles;
    for (const auto &reminder : reader.reminders()) {
        titles << reminder.title;
    }
    EXPECT_EQ(titles, (QStringList {u"r2 edited again"_s, u"r3"_s, u"r4"_s, u"added"_s}));
}

TEST(ReminderStoreFile, AFullDiskFailsTheCommitAndLeavesTheFileAsItWas)
{
    QTemporaryDir dir;
    const auto directory = dir.filePath(u"share/Quorvin"_s);
    const auto path = directory + u"/reminders.json"_s;
    ManualClock clock;
    JsonFileReminderStore store(path, clock);
    struct stat status { };
    ASSERT_EQ(::stat(QFile::encodeName(directory).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    const auto list = store.saveList(ReminderList {{}, u"L"_s, u"local"_s});
    store.saveReminder(Reminder {.listId = list.id, .title = u"kept"_s});
    const auto before = readBytes(path);

    const std::pair<const char *, AtomicFileWriter::SystemCalls> fullDisks[]
        = {{"write cut short", test::diskWithRoom(before.size() / 2)}, {"flush fails", test::diskFailingFlush()}};
    for (const auto &[name, calls] : fullDisks) {
        SCOPED_TRACE(name);
        store.fileWriter().setSystemCalls(calls);
        try {
            store.saveReminder(Reminder {.listId = list.id, .title = u"not on disk"_s});
            ADD_FAILURE() << "a failed write reported success";
        } catch (const ReminderStoreError &error) {
            EXPECT_EQ(error.code(), ReminderStoreError::WriteFailed);
            EXPECT_TRUE(error.description().contains(path)) << error.what();
            EXPECT_TRUE(error.description().contains(u"No space left on device"_s)) << error.what();
        }
        EXPECT_EQ(readBytes(path), before);
        EXPECT_EQ(QDir(directory).entryList(QDir::Files | QDir::Hidden), QStringList {u"reminders.json"_s});
        store.reset();
    }
    store.fileWriter().setSystemCalls(AtomicFileWriter::realSystemCalls());
    store.saveReminder(Reminder {.listId = list.id, .title = u"room again"_s});
    EXPECT_EQ(JsonFileReminderStore(path, clock).reminders().size(), 2u);
}

// While the store runs, it dates what an outside change altered without moving the date, as a
// database would; a date the change set itself is kept.
TEST(ReminderStoreFile, AnOutsideEditThatKeepsTheDateIsDatedNow)
{
    QTemporaryDir dir;
    const auto path = dir.filePath(u"reminders.json"_s);
    ManualClock clock(instant(u"2026-03-01T08:00:00.000Z"_s));
    JsonFileReminderStore store(path, clock);
    const auto list = store.saveList(ReminderList {{}, u"L"_s, u"local"_s});
    const auto a = store.saveReminder(Reminder {.listId = list.id, .title = u"a"_s});
    const auto b = store.saveReminder(Reminder {.listId = list.id, .title = u"b"_s});
    ManualClock::drainEvents();
    QSignalSpy changed(&store, &ReminderStore::changed);
    const auto edited = [&](int index, const QString &title, const QString &date = {}) {
        auto root = QJsonDocument::fromJson(readBytes(path)).object();
        auto reminders = root[u"reminders"_s].toArray();
        auto reminder = reminders[index].toObject();
        reminder[u"title"_s] = title;
        if (!date.isEmpty()) {
            reminder[u"last_modified_date"_s] = date;
        }
        reminders[index] = reminder;
        root[u"reminders"_s] = reminders;
        return QJsonDocument(root).toJson();
    };

    clock.advance(1h);
    writeOutside(path, edited(0, u"a edited"_s));
    ASSERT_TRUE(changed.wait(watchTimeoutMs));
    EXPECT_EQ(store.reminder(a.id)->title, u"a edited"_s);
    EXPECT_EQ(store.reminder(a.id)->lastModifiedDate, clock.now());
    EXPECT_EQ(store.reminder(b.id)->lastModifiedDate, b.lastModifiedDate);
    EXPECT_EQ(JsonFileReminderStore(path, clock).reminder(a.id)->lastModifiedDate, clock.now())
        << "the date is kept in the file";

    clock.advance(1h);
    writeOutside(path, edited(1, u"b edited"_s, u"2026-03-01T08:30:00.000Z"_s));
    ASSERT_TRUE(changed.wait(watchTimeoutMs));
    EXPECT_EQ(store.reminder(b.id)->title, u"b edited"_s);
    EXPECT_EQ(store.reminder(b.id)->lastModifiedDate, instant(u"2026-03-01T08:30:00.000Z"_s));

    // Caught half written first: the edit is dated against what was there before.
    const auto mended = edited(1, u"b again"_s);
    writeOutside(path, "{ half");
    ASSERT_TRUE(changed.wait(watchTimeoutMs));
    EXPECT_THROW(store.reminders(), ReminderStoreError);
    clock.advance(1h);
    writeOutside(path, mended);
    ASSERT_TRUE(changed.wait(watchTimeoutMs));
    EXPECT_EQ(store.reminder(b.id)->title, u"b again"_s);
    EXPECT_EQ(store.reminder(b.id)->lastModifiedDate, clock.now());
}
