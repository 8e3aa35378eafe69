#include "activity/ActivityEchoKeys.h"
#include "activity/ActivityEntryPoints.h"
#include "activity/ActivityFixtures.h"

#include <gtest/gtest.h>

#include <memory>

using namespace quorvin;
using namespace quorvin::test;
using namespace Qt::Literals::StringLiterals;

namespace {

const QDateTime t0 = QDateTime::fromString(u"2024-05-01T08:00:00.000Z"_s, Qt::ISODateWithMs);

QDateTime after(double seconds)
{
    return t0.addMSecs(qRound64(seconds * 1000));
}

ReminderRefreshEvent refresh(const QString &reason, const QList<std::pair<ReminderPayload, ReminderPayload>> &edits)
{
    ReminderRefreshEvent event;
    event.reason = reason;
    for (const auto &[before, after] : edits) {
        event.reminderChanges.append({std::make_shared<const ReminderPayload>(before.withContentHash()),
            std::make_shared<const ReminderPayload>(after.withContentHash())});
    }
    return event;
}

ActivityEntryOutcome pull(const ReminderPayload &before, const ReminderPayload &after, ActivityEchoKeys &keys,
    const QDateTime &now, QList<ReminderPayload> alsoAdded = {})
{
    return ActivityEntryPoints::cloudPullActivity(
        false, hashed({before}), {}, hashed(QList {after} + alsoAdded), {}, keys, now);
}

const ReminderPayload milk = task(u"r1"_s, u"买牛奶"_s);
const ReminderPayload renamedMilk = task(u"r1"_s, u"买豆浆"_s);

} // namespace

// A local edit that syncs up comes back in the next pull: it is not news while every line of the
// pull was logged locally less than 45 s before; one new line logs the whole pull.
TEST(EchoSuppression, CloudPullIsALocalEchoForFortyFiveSeconds)
{
    struct Case {
        double seconds;
        bool withNewReminder;
        bool suppressed;
    };
    for (const auto &c : {Case {44.999, false, true}, Case {45.0, false, false}, Case {10, true, false}}) {
        ActivityEchoKeys keys;
        const auto local
            = ActivityEntryPoints::localRefreshActivity(refresh(u"eventkit-change"_s, {{milk, renamedMilk}}), keys, t0);
        ASSERT_EQ(local.category, u"用户操作"_s);
        ASSERT_EQ(local.summary, u"更新任务「买豆浆」"_s);

        const auto pulled = pull(milk, renamedMilk, keys, after(c.seconds),
            c.withNewReminder ? QList {task(u"r2"_s, u"新任务"_s)} : QList<ReminderPayload> {});
        EXPECT_EQ(!pulled.hasEntry(), c.suppressed) << c.seconds;
        EXPECT_EQ(pulled.diagnosticLine.value_or(QString()),
            c.suppressed ? u"Cloud pull activity suppressed as local echo"_s : QString())
            << c.seconds;
        if (!c.suppressed) {
            EXPECT_EQ(pulled.category, u"同步"_s);
            EXPECT_EQ(pulled.details.value(0), u"更新任务「买豆浆」：标题: 买牛奶 -> 买豆浆"_s);
        }
        // The pull's keys are remembered even when it is suppressed.
        EXPECT_FALSE(keys.recentCloudActivityKeys().isEmpty());
    }

    ActivityEchoKeys keys;
    EXPECT_FALSE(keys.shouldSuppressCloudPullActivity({}, t0));
    ActivityEntryPoints::localRefreshActivity(refresh(u"manual"_s, {{milk, renamedMilk}}), keys, t0);
    keys.pruneLocalKeys(after(59.999));
    EXPECT_EQ(keys.recentLocalActivityKeys().size(), 1);
    keys.pruneLocalKeys(after(60));
    EXPECT_TRUE(keys.recentLocalActivityKeys().isEmpty());
}

// A cloud write lands in Reminders and comes back as a local change: it is dropped while one of
// its keys is younger than 90 s. Completions also match by title alone, since the local reminder
// completed may not be the one the pull named.
TEST(EchoSuppression, LocalLineIsACloudEchoForNinetySeconds)
{
    const auto done = completed(milk, u"2024-05-01T07:59:00Z"_s);
    struct Case {
        const char *name;
        double seconds;
        QString localID;
        bool dropped;
    };
    const Case cases[] = {
        {"same reminder at 89.999 s", 89.999, u"r1"_s, true},
        {"same reminder at 90 s", 90, u"r1"_s, false},
        {"other local id, same title", 89.999, u"r7"_s, true},
    };
    for (const auto &c : cases) {
        ActivityEchoKeys keys;
        pull(milk, done, keys, t0);
        auto localBefore = milk;
        localBefore.local_id = c.localID;
        auto localAfter = done;
        localAfter.local_id = c.localID;
        const auto local = ActivityEntryPoints::localRefreshActivity(
            refresh(u"eventkit-settle"_s, {{localBefore, localAfter}}), keys, after(c.seconds));
        EXPECT_EQ(!local.hasEntry(), c.dropped) << c.name;
        EXPECT_EQ(local.diagnosticLine.value_or(QString()),
            c.dropped ? u"Local activity log suppressed as cloud-originated EventKit echo [eventkit-settle]"_s
                      : QString())
            << c.name;
    }

    // The engine's keys for the recurring completions it applies, in the one shared form.
    ActivityEchoKeys keys;
    keys.rememberCloudCompletionTitles({u" 买牛奶\r\n"_s}, t0);
    EXPECT_TRUE(keys.recentCloudActivityKeys().contains(u"title|任务|买牛奶|完成任务"_s));
    EXPECT_TRUE(keys.recentCloudActivityKeys().contains(u"title|任务|买牛奶|推进重复任务"_s));
    EXPECT_FALSE(
        ActivityEntryPoints::localRefreshActivity(refresh(u"eventkit-change"_s, {{milk, done}}), keys, after(30))
            .hasEntry());
    keys.pruneCloudKeys(after(119.999));
    EXPECT_EQ(keys.recentCloudActivityKeys().size(), 2);
    // Every local refresh prunes the cloud keys before it looks at them.
    ActivityEntryPoints::localRefreshActivity(refresh(u"manual"_s, {{milk, renamedMilk}}), keys, after(120));
    EXPECT_TRUE(keys.recentCloudActivityKeys().isEmpty());
}

TEST(EchoSuppression, LogsEveryRefreshButStartupAndKeepsTheLinesThatAreNoEcho)
{
    ActivityEchoKeys keys;
    const auto bread = task(u"r2"_s, u"面包"_s);
    const auto eggs = task(u"r3"_s, u"鸡蛋"_s);
    pull(milk, renamedMilk, keys, t0);

    // The start-up read has nothing to compare with; any later refresh may carry the user's edit
    // (the echoes of this machine's own writes are taken out before, by their ids).
    const auto startup = ActivityEntryPoints::localRefreshActivity(refresh(u"startup"_s, {{bread, eggs}}), keys, t0);
    EXPECT_FALSE(startup.hasEntry() || startup.diagnosticLine);
    for (const auto &reason : {u"cloud-pull"_s, u"android-write"_s}) {
        ActivityEchoKeys own;
        const auto outcome = ActivityEntryPoints::localRefreshActivity(refresh(reason, {{bread, eggs}}), own, t0);
        EXPECT_EQ(outcome.category, u"用户操作"_s) << reason.toStdString();
    }
    const auto nothing = ActivityEntryPoints::localRefreshActivity(refresh(u"eventkit-change"_s, {}), keys, t0);
    EXPECT_EQ(
        nothing.diagnosticLine, u"Local activity log suppressed as cloud-originated EventKit echo [eventkit-change]"_s);

    auto breadDone = completed(bread, u"2024-05-01T08:00:00Z"_s);
    auto eggsRenamed = eggs;
    eggsRenamed.title = u"土鸡蛋"_s;
    const auto mixed = ActivityEntryPoints::localRefreshActivity(
        refresh(u"eventkit-change"_s, {{milk, renamedMilk}, {bread, breadDone}, {eggs, eggsRenamed}}), keys, after(5));
    EXPECT_EQ(mixed.summary, u"已记录操作：完成任务 1 项，更新任务 1 项"_s);
    EXPECT_EQ(mixed.details, (QStringList {u"完成任务「面包」"_s, u"更新任务「土鸡蛋」：标题: 鸡蛋 -> 土鸡蛋"_s}));
    EXPECT_EQ(keys.recentLocalActivityKeys().size(), 2);

    // A pull that shows nothing remembers nothing.
    ActivityEchoKeys fresh;
    EXPECT_FALSE(pull(milk, milk, fresh, t0).hasEntry());
    EXPECT_TRUE(fresh.recentCloudActivityKeys().isEmpty());
}

TEST(EchoSuppression, KeysIgnoreCaseAndSurroundingSpaceOnly)
{
    ActivityChangeLine line {
        u"更新任务"_s, u"任务"_s, u"r1"_s, u" Buy\r\nMilk "_s, u"更新任务「Buy」"_s, {u"标题: A -> B "_s}};
    EXPECT_EQ(ActivityEchoKeys::activityOriginKey(line), u"任务|r1|更新任务|buy\nmilk|标题: a -> b"_s);
    auto other = line;
    other.details = {u"标题: A -> C"_s};
    EXPECT_NE(ActivityEchoKeys::activityOriginKey(other), ActivityEchoKeys::activityOriginKey(line));
    line.details.clear();
    EXPECT_EQ(ActivityEchoKeys::activityOriginKey(line), u"任务|r1|更新任务|buy\nmilk|"_s);
    EXPECT_EQ(ActivityEchoKeys::cloudActivityOriginKeys(line).size(), 1);
    line.action = u"恢复任务"_s;
    EXPECT_EQ(ActivityEchoKeys::cloudActivityOriginKeys(line).value(1), u"title|任务|buy\nmilk|恢复任务"_s);
    EXPECT_EQ(ActivityEchoKeys::reminderTitleKey(u"  "_s, u"完成任务"_s), u"title|任务|未命名|完成任务"_s);
}
