#include "activity/ActivityLog.h"
#include "activity/DiagnosticLog.h"
#include "activity/QuorvinActivityLogStore.h"
#include "platform/concurrency/ManualClock.h"
#include "platform/defaults/InMemoryUserDefaults.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace quorvin::test {

TEST(ActivityLogTest, ActivityLogRules)
{
    ManualClock clock;
    InMemoryUserDefaults defaults;
    DiagnosticLog log(clock);
    ActivityLog activity(defaults, clock, log);

    activity.appendActivityLog(u"同步"_s, u"  "_s, {u"x"_s});
    EXPECT_TRUE(activity.activityLogs().isEmpty());
    EXPECT_FALSE(defaults.contains(u"Quorvin.ActivityLogs.v1"_s));

    activity.appendActivityLog(u"用户操作"_s, u" Summary \n"_s, {u" a "_s, u""_s, u"   "_s, u"b\n"_s});
    EXPECT_EQ(activity.activityLogs().front().summary, u"Summary"_s);
    EXPECT_EQ(activity.activityLogs().front().details, QStringList({u"a"_s, u"b"_s}));

    activity.appendActivityLog(u"同步"_s, u"云同步失败"_s, {u"boom"_s});
    activity.appendActivityLog(u"同步"_s, u"云同步失败"_s, {u"boom"_s});
    activity.appendActivityLog(u"用户操作"_s, u"Repeated"_s, {});
    activity.appendActivityLog(u"用户操作"_s, u"Repeated"_s, {});
    EXPECT_EQ(activity.activityLogs().size(), 4);

    QStringList ten;
    for (int i = 0; i < 10; ++i) {
        ten.append(QString::number(i));
    }
    for (int i = 0; i < 85; ++i) {
        activity.appendActivityLog(u"用户操作"_s, u"Entry %1"_s.arg(i), ten);
    }
    EXPECT_EQ(activity.activityLogs().size(), 80);
    EXPECT_EQ(activity.activityLogs().front().details.size(), 8);
    const auto stored = QuorvinActivityLogStore::load(defaults);
    ASSERT_EQ(stored.size(), 80);
    EXPECT_EQ(stored.front().summary, u"Entry 84"_s);
    EXPECT_EQ(stored.front().createdAt, activity.activityLogs().front().createdAt);
    EXPECT_EQ(stored.front().id, activity.activityLogs().front().id);
    // A restart finds the same entries.
    EXPECT_EQ(ActivityLog(defaults, clock, log).activityLogs(), activity.activityLogs());

    defaults.setBytes(u"Quorvin.ActivityLogs.v1"_s, R"([{"id":"x"}])");
    EXPECT_TRUE(QuorvinActivityLogStore::load(defaults).isEmpty());
    EXPECT_FALSE(defaults.contains(u"Quorvin.ActivityLogs.v1"_s));

    activity.clearActivityLogs();
    EXPECT_TRUE(activity.activityLogs().isEmpty());
    EXPECT_TRUE(log.logs().front().text.endsWith(u"] Cleared activity lines"_s));
}

TEST(ActivityLogTest, DiagnosticLogKeepsTheNewest80Lines)
{
    ManualClock clock;
    DiagnosticLog log(clock);
    for (int i = 0; i < 90; ++i) {
        log.appendLog(u"line %1"_s.arg(i));
    }
    EXPECT_EQ(log.logs().size(), 80);
    EXPECT_EQ(log.logs().front().text, u"[2026-01-05T09:00:00.000Z] line 89"_s);
    EXPECT_TRUE(log.logs().back().text.endsWith(u"] line 10"_s));
}

// Texts are cut by whole characters: an emoji is two UTF-16 units and never split.
TEST(ActivityLogTest, LoggedTextsAreBoundedByCharacters)
{
    ManualClock clock;
    InMemoryUserDefaults defaults;
    DiagnosticLog log(clock);
    ActivityLog activity(defaults, clock, log);
    QString emoji;
    for (int i = 0; i < 3000; ++i) {
        emoji += u"😀"_s;
    }
    activity.appendActivityLog(u"用户操作"_s, emoji, {emoji});
    const ActivityLogLine entry = activity.activityLogs().first();
    EXPECT_EQ(entry.summary, emoji.left(1999 * 2) + u"…"_s);
    EXPECT_EQ(entry.details, QStringList {entry.summary});
    const QString exact = emoji.left(2000 * 2);
    activity.appendActivityLog(u"用户操作"_s, exact, {});
    EXPECT_EQ(activity.activityLogs().first().summary, exact) << "2,000 characters are kept whole";

    // What an earlier version stored unbounded is cut when it is read back.
    InMemoryUserDefaults stored;
    QuorvinActivityLogStore::save(
        stored, {ActivityLogLine {QUuid::createUuid(), clock.now(), u"同步"_s, emoji, {emoji}}});
    const auto loaded = QuorvinActivityLogStore::load(stored);
    ASSERT_EQ(loaded.size(), 1);
    EXPECT_EQ(loaded.first().summary, entry.summary);
    EXPECT_EQ(loaded.first().details, QStringList {entry.summary});

    // A title from outside reaches the logs inert: no escape sequence, no line of its own.
    activity.appendActivityLog(u"同步"_s, u"Phone \x1b[31mred\x1b[0m"_s, {u"a\nb\u009b"_s});
    EXPECT_EQ(activity.activityLogs().first().summary, u"Phone \\x1B[31mred\\x1B[0m"_s);
    EXPECT_EQ(activity.activityLogs().first().details, QStringList {u"a\\x0Ab\\x9B"_s});
    log.appendLog(u"title="_s + QChar(0x07) + u"bell\r"_s);
    EXPECT_TRUE(log.logs().front().text.endsWith(u"title=\\x07bell\\x0D"_s)) << log.logs().front().text.toStdString();
}

// The stored list another build wrote: times in seconds since 2001-01-01 UTC, newest first, and
// longer than this build keeps. It loads as its first 80 entries and is written back in that form.
TEST(ActivityLogTest, StoredTimesCountFrom2001AndALongerListLoadsItsFirst80)
{
    ManualClock clock;
    InMemoryUserDefaults defaults;
    QJsonArray written;
    for (int i = 0; i < 100; ++i) {
        written.append(
            QJsonObject {{u"id"_s, QUuid::createUuid().toString(QUuid::WithoutBraces)}, {u"createdAt"_s, 1000.5 - i},
                {u"category"_s, u"同步"_s}, {u"summary"_s, u"Entry %1"_s.arg(i)}, {u"details"_s, QJsonArray {}}});
    }
    defaults.setBytes(u"Quorvin.ActivityLogs.v1"_s, QJsonDocument(written).toJson(QJsonDocument::Compact));
    const auto loaded = QuorvinActivityLogStore::load(defaults);
    ASSERT_EQ(loaded.size(), 80);
    EXPECT_EQ(loaded.first().summary, u"Entry 0"_s);
    EXPECT_EQ(loaded.last().summary, u"Entry 79"_s);
    EXPECT_EQ(loaded.first().createdAt, QDateTime(QDate(2001, 1, 1), QTime(0, 16, 40, 500), Qt::UTC));

    DiagnosticLog log(clock);
    ActivityLog activity(defaults, clock, log);
    activity.appendActivityLog(u"用户操作"_s, u"Newest"_s, {});
    const QJsonArray stored = QJsonDocument::fromJson(defaults.bytes(u"Quorvin.ActivityLogs.v1"_s).value()).array();
    ASSERT_EQ(stored.size(), 80);
    const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    EXPECT_DOUBLE_EQ(stored.at(0)[u"createdAt"_s].toDouble(), double(reference.msecsTo(clock.now())) / 1000);
    EXPECT_DOUBLE_EQ(stored.at(1)[u"createdAt"_s].toDouble(), 1000.5);
}

} // namespace quorvin::test
