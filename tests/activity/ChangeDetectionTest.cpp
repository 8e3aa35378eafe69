#include "activity/ActivityChangeDetection.h"
#include "activity/ActivityFixtures.h"
#include "activity/ActivityTexts.h"
#include "activity/ReminderCountSummaryText.h"

#include <gtest/gtest.h>

using namespace quorvin;
using namespace quorvin::test;
using namespace Qt::Literals::StringLiterals;

namespace {

QList<QStringList> linesFor(const QList<ReminderPayload> &beforeItems, const QList<ReminderPayload> &afterItems,
    const QList<ReminderListDirectoryPayload> &beforeLists = {},
    const QList<ReminderListDirectoryPayload> &afterLists = {})
{
    const auto before = hashed(beforeItems);
    const auto after = hashed(afterItems);
    return shown(ActivityChangeDetection::activityChangeLines(ActivityChangeDetection::reminderChanges(before, after),
        ActivityChangeDetection::listChanges(beforeLists, afterLists), before, after));
}

struct Row {
    const char *name;
    QList<ReminderPayload> before;
    QList<ReminderPayload> after;
    QList<QStringList> expected;
};

const QString may6 = u"2024-05-06T01:00:00.000Z"_s; // 9:00 in China
const QString may13 = u"2024-05-13T01:00:00.000Z"_s; // 9:00 in China
const QString may6Done = u"2024-05-06T02:00:00.000Z"_s;

ReminderPayload series(const QString &id, const QString &dueDate)
{
    auto p = due(task(id, u"瑜伽"_s), dueDate, true);
    p.repeat_type = u"weekly"_s;
    p.repeat_summary = u"每周"_s;
    return p;
}

ReminderPayload milk()
{
    return task(u"r1"_s, u"买牛奶"_s);
}

ReminderPayload with(ReminderPayload p, auto field, auto value)
{
    p.*field = value;
    return p;
}

} // namespace

// One row per action, in the order the batch summary counts them, then the changes that show
// nothing. Each row is a before and after snapshot and the lines the activity log shows.
TEST(ActivityChangeDetection, ChoosesOneActionPerChangeAndWordsIt)
{
    const auto allDayMay2 = u"2024-05-01T16:00:00.000Z"_s; // China midnight, still 1 May in UTC
    const auto allDayMay3 = u"2024-05-02T16:00:00.000Z"_s;
    auto newList = with(milk(), &ReminderPayload::list_id, std::optional(u"list-work"_s));
    newList.list_name = u"工作"_s;
    newList.title = u"买豆浆"_s;
    auto sameNameList = with(milk(), &ReminderPayload::list_id, std::optional(u"list-home-2"_s));
    auto startAlias = with(due(milk(), allDayMay2, false), &ReminderPayload::start_date, std::optional(allDayMay2));
    startAlias.has_start_time = true;
    startAlias.notes = u"全脂"_s;
    auto startAt8 = with(due(milk(), allDayMay2, false), &ReminderPayload::start_date,
        std::optional(u"2024-05-02T00:00:00.000Z"_s)); // 8:00 in China, the due date's day
    startAt8.has_start_time = true;
    auto bothMoved = with(due(milk(), allDayMay2, false), &ReminderPayload::start_date, std::optional(allDayMay2));
    auto bothMovedAfter = with(due(milk(), allDayMay3, false), &ReminderPayload::start_date, std::optional(allDayMay3));
    auto unchangedHash = with(milk(), &ReminderPayload::content_hash, u"same"_s);

    const Row rows[] = {
        {"recurring completed in place with its next occurrence", {series(u"s1"_s, may6)},
            {completed(series(u"s1"_s, may6), may6Done), series(u"n1"_s, may13)},
            {{u"推进重复任务「瑜伽」"_s, u"本次日期: 2024年5月6日 09:00"_s, u"下一次日期: 2024年5月13日 09:00"_s,
                u"完成时间: 2024年5月6日 10:00"_s}}},
        {"recurring rolled over with a completed copy", {series(u"s1"_s, may6)},
            {series(u"s1"_s, may13), completed(series(u"c1"_s, may6), may6Done)},
            {{u"推进重复任务「瑜伽」"_s, u"本次日期: 2024年5月6日 09:00"_s, u"下一次日期: 2024年5月13日 09:00"_s,
                u"完成时间: 2024年5月6日 10:00"_s}}},
        {"completed, other edits folded in", {milk()},
            {completed(with(milk(), &ReminderPayload::notes, std::optional(u"x"_s)), may6Done)},
            {{u"完成任务「买牛奶」"_s}}},
        {"restored", {completed(milk(), may6Done)}, {milk()}, {{u"恢复任务「买牛奶」"_s}}},
        {"added", {},
            {with(due(milk(), u"2024-05-01T16:30:00Z"_s, true), &ReminderPayload::repeat_summary,
                std::optional(u"每天"_s))},
            {{u"新增任务「买牛奶」"_s, u"列表: 家庭"_s, u"日期: 2024年5月2日 00:30"_s, u"重复: 每天"_s}}},
        {"removed, blank title", {due(task(u"r9"_s, u"  "_s), u"2024-05-01T16:30:00Z"_s, false)}, {},
            {{u"删除任务「未命名」"_s, u"列表: 家庭"_s, u"日期: 2024年5月2日"_s}}},
        {"due date changed", {due(milk(), allDayMay2, true)}, {due(milk(), allDayMay3, true)},
            {{u"修改日期「买牛奶」"_s, u"截止日期: 2024年5月2日 00:00 -> 2024年5月3日 00:00"_s}}},
        {"start date alone changed", {milk()}, {with(milk(), &ReminderPayload::start_date, std::optional(allDayMay2))},
            {{u"修改日期「买牛奶」"_s, u"开始日期: 空 -> 2024年5月2日"_s}}},
        {"start and due moved together on one day", {bothMoved}, {bothMovedAfter},
            {{u"修改日期「买牛奶」"_s, u"日期: 2024年5月2日 -> 2024年5月3日"_s}}},
        {"due date set", {milk()}, {due(milk(), allDayMay2, false)},
            {{u"设置日期「买牛奶」"_s, u"截止日期: 空 -> 2024年5月2日"_s}}},
        {"due date removed", {due(milk(), allDayMay2, false)}, {milk()},
            {{u"删除日期「买牛奶」"_s, u"截止日期: 2024年5月2日 -> 空"_s}}},
        {"moved to another list with its title", {milk()}, {newList},
            {{u"移至其他列表「买豆浆」"_s, u"标题: 买牛奶 -> 买豆浆"_s, u"列表: 家庭 -> 工作"_s}}},
        {"fields changed", {with(milk(), &ReminderPayload::priority, std::optional<qint64>(1))},
            {with(with(milk(), &ReminderPayload::url, std::optional(u"https://a.example"_s)),
                &ReminderPayload::repeat_type, std::optional(u"daily"_s))},
            {{u"更新任务「买牛奶」"_s, u"重复: 空 -> daily"_s, u"链接: 空 -> https://a.example"_s,
                u"优先级: 1 -> 空"_s}}},
        {"start date repeating an all-day due date", {due(milk(), allDayMay2, false)}, {startAlias},
            {{u"更新任务「买牛奶」"_s, u"备注: 空 -> 全脂"_s}}},
        {"start time on the all-day due date's day, not at midnight in China", {due(milk(), allDayMay2, false)},
            {startAt8}, {{u"修改日期「买牛奶」"_s, u"开始日期: 空 -> 2024年5月2日 08:00"_s}}},
        {"moved between lists of one name", {milk()}, {sameNameList}, {}},
        {"content hash unchanged", {unchangedHash},
            {with(with(milk(), &ReminderPayload::title, u"别的"_s), &ReminderPayload::content_hash, u"same"_s)}, {}},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(linesFor(row.before, row.after), row.expected) << row.name;
    }
}

TEST(ActivityChangeDetection, ListLinesShowNameColourAndOrder)
{
    auto work = reminderList(u"L1"_s, u"工作"_s);
    work.theme_color = u"#FF0000"_s;
    work.sort_order = 2;
    auto renamed = work;
    renamed.list_name = u"办公"_s;
    renamed.sort_order.reset();
    auto iconKindOnly = work;
    iconKindOnly.icon_kind = u"emoji"_s;
    auto touched = work;
    touched.last_modified = u"2024-05-01T00:00:00Z"_s;
    const auto unnamed = reminderList(u"L2"_s, u" "_s);

    EXPECT_EQ(linesFor({}, {}, {unnamed}, {work}),
        (QList<QStringList> {{u"新增列表「工作」"_s, u"颜色: #FF0000"_s, u"排序: 2"_s},
            {u"删除列表「未命名」"_s, u"颜色: 空"_s, u"排序: 空"_s}}));
    EXPECT_EQ(linesFor({}, {}, {work}, {renamed}),
        (QList<QStringList> {{u"更新列表「办公」"_s, u"名称: 工作 -> 办公"_s, u"排序: 2 -> 空"_s}}));
    EXPECT_EQ(ActivityChangeDetection::listChanges({work}, {iconKindOnly}).size(), 1);
    EXPECT_TRUE(linesFor({}, {}, {work}, {iconKindOnly}).isEmpty());
    EXPECT_TRUE(ActivityChangeDetection::listChanges({work}, {touched}).isEmpty());
}

// Sync may replace a completed reminder by an equal one under a new id: that is no news, as long
// as the due dates fall on one China calendar day (or are equal timed texts) and the completions
// lie at most 120 s apart.
TEST(ActivityChangeDetection, FoldsAnEqualCompletedReplacement)
{
    const auto doneAt = u"2024-05-06T02:00:00.000Z"_s;
    const auto old = completed(due(task(u"old"_s, u"体检"_s), u"2024-05-01T16:00:00.000Z"_s, false), doneAt);
    const auto replacement = [&](const QString &dueDate, bool hasTime, const QString &completion) {
        return completed(due(task(u"new"_s, u"体检"_s), dueDate, hasTime), completion);
    };
    const QList<QStringList> bothShown {{u"新增任务「体检」"_s, u"列表: 家庭"_s, u"日期: 2024年5月2日"_s},
        {u"删除任务「体检」"_s, u"列表: 家庭"_s, u"日期: 2024年5月2日"_s}};
    struct Case {
        const char *name;
        ReminderPayload old;
        ReminderPayload replacement;
        bool folded;
    };
    auto timedOld = old;
    timedOld.has_due_time = true;
    const Case cases[] = {
        {"completions 90 s apart", old, replacement(u"2024-05-01T16:00:00.000Z"_s, false, u"2024-05-06T02:01:30Z"_s),
            true},
        {"completions 120 s apart", old, replacement(u"2024-05-01T16:00:00.000Z"_s, false, u"2024-05-06T01:58:00Z"_s),
            true},
        {"completions 121 s apart", old, replacement(u"2024-05-01T16:00:00.000Z"_s, false, u"2024-05-06T02:02:01Z"_s),
            false},
        {"same China day, another UTC day", old, replacement(u"2024-05-02T03:00:00.000Z"_s, false, doneAt), true},
        {"across China midnight",
            completed(due(task(u"old"_s, u"体检"_s), u"2024-05-01T15:59:00.000Z"_s, false), doneAt),
            replacement(u"2024-05-01T16:00:00.000Z"_s, false, doneAt), false},
        {"another list, unnamed", old,
            with(with(replacement(u"2024-05-01T16:00:00.000Z"_s, false, doneAt), &ReminderPayload::list_name,
                     std::optional(u""_s)),
                &ReminderPayload::list_id, std::optional(u"list-other"_s)),
            false},
        {"timed due dates with other texts", timedOld, replacement(u"2024-05-01T16:00:01.000Z"_s, true, doneAt), false},
    };
    for (const auto &c : cases) {
        const auto lines = linesFor({c.old}, {c.replacement});
        if (c.folded) {
            EXPECT_TRUE(lines.isEmpty()) << c.name;
        } else {
            EXPECT_EQ(lines.size(), 2) << c.name;
        }
    }
    EXPECT_EQ(
        linesFor({old}, {replacement(u"2024-05-01T16:00:00.000Z"_s, false, u"2024-05-06T02:02:01Z"_s)}), bothShown);
}

TEST(ActivityTexts, DisplaysValuesDatesAndSummaries)
{
    using namespace ActivityTexts;
    const QString sixty(60, u'x');
    const QString accented = QString(u"e\u0301"_s).repeated(50);
    EXPECT_EQ(displayActivityValue(sixty), QString(42, u'x'));
    EXPECT_EQ(displayActivityValue(accented), QString(u"e\u0301"_s).repeated(42));
    EXPECT_EQ(displayActivityValue(u" \n"_s), u"空"_s);
    EXPECT_EQ(displayActivityValue(std::nullopt), u"空"_s);
    EXPECT_EQ(displayActivityValue(u"2024-05-01T16:30:00Z"_s), u"2024年5月2日 00:30"_s);
    EXPECT_EQ(displayActivityDate(u"2024-05-01T16:30:00.000Z"_s, false), u"2024年5月2日"_s);
    EXPECT_EQ(displayActivityDate(u"next "_s + sixty, true), u"next "_s + QString(37, u'x'));
    EXPECT_EQ(activityDisplayTitle(u"\t"_s), u"未命名"_s);

    const auto line = [](const QString &action, const QString &title, QStringList details = {}) {
        return ActivityChangeLine {action, u"任务"_s, title, title, lineSummary(action, title), details};
    };
    const QList<ActivityChangeLine> mixed {
        line(u"新增任务"_s, u"a"_s), line(u"完成任务"_s, u"b"_s), line(u"完成任务"_s, u"c"_s)};
    EXPECT_EQ(localActivitySummary(mixed), u"已记录操作：完成任务 2 项，新增任务 1 项"_s);
    EXPECT_EQ(localActivitySummary({line(u"新增任务"_s, u"买牛奶"_s)}), u"新增任务「买牛奶」"_s);
    EXPECT_EQ(localActivitySummary({line(u"设置日期"_s, u"a"_s), line(u"修改日期"_s, u"b"_s)}),
        u"已记录操作：修改日期 1 项，设置日期 1 项"_s);
    EXPECT_EQ(localActivitySummary({}), u"本机任务已更新"_s);
    EXPECT_EQ(cloudPullActivitySummary(false, {line(u"新增任务"_s, u"买牛奶"_s)}), u"已同步最新变化：新增任务 1 项"_s);
    EXPECT_EQ(cloudPullActivitySummary(true, {}), u"全量刷新"_s);

    QList<ActivityChangeLine> many;
    for (int i = 0; i < 12; ++i) {
        many.append(line(u"更新任务"_s, QString::number(i), {u"标题: 1"_s, u"备注: 2"_s, u"链接: 3"_s}));
    }
    many[1].details.clear();
    const auto details = activityDetailLines(many);
    ASSERT_EQ(details.size(), 8);
    EXPECT_EQ(details[0], u"更新任务「0」：标题: 1；备注: 2"_s);
    EXPECT_EQ(details[1], u"更新任务「1」"_s);
    EXPECT_EQ(details[7], u"更新任务「7」：标题: 1；备注: 2"_s);
}

TEST(ActivityTexts, CountsRemindersForTheCountVerification)
{
    QList<ReminderPayload> items {milk(), completed(milk(), may6Done), completed(milk(), may6Done)};
    const auto counts = quorvinReminderCountSummary(items);
    EXPECT_EQ(quorvinReminderCountSummaryText(counts), u"共 3 条，已完成 2 条，未完成 1 条"_s);
    EXPECT_EQ(quorvinReminderCountSummaryText(quorvinReminderCountSummary({})), u"共 0 条，已完成 0 条，未完成 0 条"_s);
    EXPECT_EQ(quorvinReminderCountSummary({completed(milk(), may6Done)}).incomplete_count, 0);
}
