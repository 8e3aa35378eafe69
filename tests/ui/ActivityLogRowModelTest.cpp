#include "ui/ActivityLogRowModel.h"
#include "model/DateFormatters.h"
#include "ui/QuorvinMacTheme.h"

#include <gtest/gtest.h>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

namespace {

bool sameColor(const QuorvinDynamicColor &a, const QuorvinDynamicColor &b)
{
    return a.light == b.light && a.dark == b.dark && a.opacity == b.opacity;
}

} // namespace

TEST(ActivityLogRowModel, RelativeTimeCountsWholeMinutesAndHoursThenShowsTheDate)
{
    const QDateTime now = QDateTime::fromString(u"2026-03-04T10:00:00.000Z"_s, Qt::ISODateWithMs);
    const auto ago = [&](qint64 ms) { return ActivityLogRowModel::relativeTimeText(now.addMSecs(-ms), now); };
    EXPECT_EQ(ago(59'999), u"刚刚"_s);
    EXPECT_EQ(ago(60'000), u"1 分钟前"_s);
    EXPECT_EQ(ago(125'000), u"2 分钟前"_s);
    EXPECT_EQ(ago(3'599'999), u"59 分钟前"_s);
    EXPECT_EQ(ago(3'600'000), u"1 小时前"_s);
    EXPECT_EQ(ago(86'399'000), u"23 小时前"_s);
    EXPECT_EQ(ago(86'400'000), DateFormatters::localizedDateTime(now.addSecs(-86'400)));
    EXPECT_NE(ago(86'400'000), u"24 小时前"_s);
    // A clock set back since the entry was made: dated in the future, it reads as just now.
    EXPECT_EQ(ago(-90'000'000), u"刚刚"_s);
}

TEST(ActivityLogRowModel, RewritesStoredWordingForDisplayOnly)
{
    const struct {
        QString stored;
        QString shown;
    } details[] = {
        {u"状态: 未完成 -> 已完成"_s, u"状态从 「未完成」 改为 「已完成」"_s},
        {u"标题: -> 新标题"_s, u"标题从 未设置 改为 「新标题」"_s},
        {u"备注: 无 -> 有"_s, u"备注从 无 改为 「有」"_s},
        {u"颜色: 红 -> 蓝"_s, QString()},
        {u"排序: 1 -> 2"_s, QString()},
        {u"完成状态: 否 -> 是"_s, QString()},
        {u"列表: 工作"_s, u"所在列表：工作"_s},
        {u"截止: 2024-01-02"_s, u"截止时间：2024-01-02"_s},
        {u"优先级: 高"_s, u"优先级：高"_s},
        {u"上传任务 3 条"_s, u"本机任务已上传 3 条"_s},
        {u"  \n "_s, QString()},
        // The arrow before the colon is no change of a value.
        {u"a -> b: c"_s, u"a -> b：c"_s},
        // Today's form: the change first, then its field changes, each read on its own, hidden
        // labels left out.
        {u"编辑任务「买菜」：标题: 买菜 -> 买水果；备注: 无 -> 有"_s,
            u"从云端更新本机任务「买菜」：标题从 「买菜」 改为 「买水果」；备注从 无 改为 「有」"_s},
        {u"编辑列表「工作」：颜色: 红 -> 蓝；名称: 工作 -> 项目"_s,
            u"从云端更新本机列表「工作」：名称从 「工作」 改为 「项目」"_s},
        {u"编辑列表「工作」：排序: 1 -> 2"_s, u"从云端更新本机列表「工作」"_s},
        {u"移动条目「票」：列表: 家 -> 工作"_s, u"移至其他列表「票」：列表从 「家」 改为 「工作」"_s},
    };
    for (const auto &[stored, shown] : details) {
        EXPECT_EQ(ActivityLogRowModel::activityDetailText(stored), shown) << stored.toStdString();
    }

    // The phrase pairs chain in their order; the longer phrase that comes first wins.
    EXPECT_EQ(ActivityLogRowModel::readableText(u" 全量拉取 \n"_s), u"已同步所有内容"_s);
    EXPECT_EQ(ActivityLogRowModel::readableText(u"编辑条目「买牛奶」"_s), u"从云端更新本机任务「买牛奶」"_s);
    EXPECT_EQ(ActivityLogRowModel::readableText(u"编辑列表"_s), u"从云端更新本机列表"_s);
    EXPECT_EQ(ActivityLogRowModel::readableText(u"应用远端删除任务"_s), u"从云端删除本机任务"_s);
    EXPECT_EQ(ActivityLogRowModel::readableText(u"上传删除智能列表"_s), u"本机删除智能列表已上传"_s);

    // At most three shown details; dropped ones do not count.
    const ActivityLogLine line {QUuid::createUuid(), QDateTime::currentDateTimeUtc(), u"用户操作"_s,
        u"更新任务「买牛奶」"_s,
        {u" "_s, u"颜色: 红 -> 蓝"_s, u"标题: a -> b"_s, u"列表: 家"_s, u"截止: 明天"_s, u"优先级: 高"_s,
            u"备注: x"_s}};
    const ActivityLogRowModel row(line, line.createdAt);
    // The user's own edit never reads as one from the cloud; the same words under "同步" do.
    EXPECT_EQ(row.summary(), u"更新任务「买牛奶」"_s);
    EXPECT_EQ(ActivityLogRowModel::activityDetailText(u"编辑条目「票」：标题: a -> b"_s, true),
        u"更新任务「票」：标题从 「a」 改为 「b」"_s);
    ActivityLogLine synced = line;
    synced.category = u"同步"_s;
    EXPECT_EQ(ActivityLogRowModel(synced, line.createdAt).summary(), u"从云端更新本机任务「买牛奶」"_s);
    EXPECT_EQ(row.details(), (QStringList {u"标题从 「a」 改为 「b」"_s, u"所在列表：家"_s, u"截止时间：明天"_s}));
    EXPECT_EQ(row.line(), line) << "the stored entry stays as it was";
}

TEST(ActivityLogRowModel, BadgeFollowsTheCategory)
{
    const auto sync = ActivityLogRowModel::activityCategory(u"同步"_s);
    EXPECT_EQ(sync.title, u"同步更新"_s);
    EXPECT_TRUE(sameColor(sync.foreground, QuorvinMacTheme::accentBlue));
    EXPECT_TRUE(sameColor(sync.background, QuorvinMacTheme::softBlue));

    const auto user = ActivityLogRowModel::activityCategory(u"用户操作"_s);
    EXPECT_EQ(user.title, u"你的操作"_s);
    EXPECT_TRUE(sameColor(user.foreground, QuorvinMacTheme::success));
    EXPECT_TRUE(sameColor(user.background, QuorvinDynamicColor::quorvinDynamic(0x22C55E, 0x4ADE80, 0.12)));

    for (const QString &other : {QString(), u"同步 "_s, u"系统"_s}) {
        const auto badge = ActivityLogRowModel::activityCategory(other);
        EXPECT_EQ(badge.title, u"活动"_s);
        EXPECT_TRUE(sameColor(badge.foreground, QuorvinMacTheme::systemGray));
        EXPECT_TRUE(sameColor(badge.background, QuorvinMacTheme::surfaceSubtle));
    }
}
