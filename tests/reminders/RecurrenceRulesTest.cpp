#include "model/SyncError.h"
#include "reminders/RecurrenceRuleMapping.h"
#include "reminders/RecurrenceSummaryGrammar.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace quorvin;

namespace {

using F = RecurrenceRule::Frequency;

RecurrenceRule rule(F frequency, int interval = 1)
{
    RecurrenceRule r;
    r.frequency = frequency;
    r.interval = interval;
    return r;
}

RecurrenceRule withDays(RecurrenceRule r, std::vector<RecurrenceDayOfWeek> days)
{
    r.daysOfTheWeek = std::move(days);
    return r;
}

QString thrown(const std::function<void()> &call)
{
    try {
        call();
    } catch (const SyncError &error) {
        return error.description();
    }
    return {};
}

} // namespace

TEST(RecurrenceRules, RuleToTypeSummaryAndBack)
{
    RecurrenceRule lastWorkingDay = withDays(rule(F::Monthly), {{2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}});
    lastWorkingDay.setPositions = std::vector<int> {-1};
    RecurrenceRule lastDay = rule(F::Monthly);
    lastDay.daysOfTheMonth = std::vector<int> {-1};
    RecurrenceRule dates = rule(F::Monthly);
    dates.daysOfTheMonth = std::vector<int> {15, 1};
    RecurrenceRule secondToLastFriday = withDays(rule(F::Monthly), {{6, 0}});
    secondToLastFriday.setPositions = std::vector<int> {-2};
    RecurrenceRule negativeDates = rule(F::Monthly);
    negativeDates.daysOfTheMonth = std::vector<int> {-1, 15};
    RecurrenceRule yearly = rule(F::Yearly);
    yearly.monthsOfTheYear = std::vector<int> {6, 3};
    yearly.daysOfTheMonth = std::vector<int> {15};
    RecurrenceRule thanksgiving = withDays(rule(F::Yearly), {{5, 4}});
    thanksgiving.monthsOfTheYear = std::vector<int> {11};
    RecurrenceRule readBackYearly = rule(F::Yearly);
    readBackYearly.monthsOfTheYear = std::vector<int> {3, 6};

    struct Row {
        const char *name;
        RecurrenceRule rule;
        QString type;
        QString summary;
        // What a write of that type and summary makes; the rule itself when absent.
        std::optional<RecurrenceRule> readBack;
    };
    const std::vector<Row> rows = {
        {"second tuesday", withDays(rule(F::Monthly), {{3, 2}}), u"monthly"_s,
            u"custom:interval=1;mode=ordinal;ordinal=2;weekday=TU"_s, std::nullopt},
        {"last working day", lastWorkingDay, u"monthly"_s, u"custom:interval=1;mode=ordinal;ordinal=L;weekday=WKD"_s,
            std::nullopt},
        {"last day", lastDay, u"monthly"_s, u"custom:interval=1;mode=ordinal;ordinal=L;weekday=NAT"_s, std::nullopt},
        {"dates sorted", dates, u"monthly"_s, u"custom:interval=1;mode=dates;monthDays=1,15"_s,
            [] {
                RecurrenceRule r = rule(F::Monthly);
                r.daysOfTheMonth = std::vector<int> {1, 15};
                return r;
            }()},
        {"unreadable ordinal", secondToLastFriday, u"monthly"_s,
            u"custom:interval=1;mode=ordinal;ordinal=-2;weekday=FR"_s, rule(F::Monthly)},
        {"negative dates", negativeDates, u"monthly"_s, u"custom:interval=1;mode=dates;monthDays=-1,15"_s,
            [] {
                RecurrenceRule r = rule(F::Monthly);
                r.daysOfTheMonth = std::vector<int> {15};
                return r;
            }()},
        {"yearly months", yearly, u"yearly"_s, u"custom:interval=1;months=3,6;mode=dates"_s, readBackYearly},
        {"fourth thursday of november", thanksgiving, u"yearly"_s,
            u"custom:interval=1;months=11;mode=ordinal;ordinal=4;weekday=TH"_s, std::nullopt},
        {"weekly in rule order", withDays(rule(F::Weekly, 2), {{4, 0}, {2, 0}}), u"weekly"_s,
            u"custom:interval=2;days=WE,MO"_s, std::nullopt},
        {"working days every 2 weeks", withDays(rule(F::Weekly, 2), {{2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}}),
            u"weekdays"_s, u"每2周"_s, withDays(rule(F::Weekly), {{2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}})},
        {"weekend", withDays(rule(F::Weekly), {{1, 0}, {7, 0}}), u"weekends"_s, u"周末"_s,
            withDays(rule(F::Weekly), {{7, 0}, {1, 0}})},
        {"interval 0", rule(F::Daily, 0), u"daily"_s, u"每天"_s, rule(F::Daily)},
        {"every 3 days", rule(F::Daily, 3), u"daily"_s, u"每3天"_s, std::nullopt},
        {"every 2 years", rule(F::Yearly, 2), u"yearly"_s, u"每2年"_s, std::nullopt},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(recurrenceTypeString(row.rule), row.type);
        EXPECT_EQ(recurrenceSummaryString(row.rule), row.summary);
        const auto written = recurrenceRulesForMutation(row.type, row.summary);
        ASSERT_TRUE(written);
        ASSERT_EQ(written->size(), 1u);
        EXPECT_EQ(written->front(), row.readBack.value_or(row.rule));
    }
}

TEST(RecurrenceRules, TypesAndSummariesForAWrite)
{
    EXPECT_EQ(recurrenceRulesForMutation(u" Bi Weekly "_s, std::nullopt)->front(), rule(F::Weekly, 2));
    EXPECT_EQ(recurrenceRulesForMutation(u"weekly"_s, u"永不"_s)->front(), rule(F::Weekly, 1));
    EXPECT_EQ(recurrenceRulesForMutation(u"quarterly"_s, std::nullopt)->front(), rule(F::Monthly, 3));
    EXPECT_EQ(recurrenceRulesForMutation(std::nullopt, u"永不"_s), std::nullopt);
    EXPECT_EQ(recurrenceRulesForMutation(u"  "_s, std::nullopt), std::nullopt);
    EXPECT_EQ(thrown([] { recurrenceRulesForMutation(std::nullopt, u"每周"_s); }),
        u"repeat_type required when repeat_summary is set"_s);
    EXPECT_EQ(
        thrown([] { recurrenceRulesForMutation(u"custom"_s, u"自定义重复"_s); }), u"Unsupported repeat_type: custom"_s);
    EXPECT_EQ(thrown([] { recurrenceRulesForMutation(u"HOURLY"_s, std::nullopt); }),
        u"repeat_type hourly is not supported by EventKit reminders"_s);

    EXPECT_EQ(normalizedRecurrenceDescriptor(u"Weekly "_s, u" 每周"_s), u"weekly|每周"_s);
    EXPECT_EQ(normalizedRecurrenceDescriptor(std::nullopt, std::nullopt), std::nullopt);
    EXPECT_EQ(normalizedRecurrenceDescriptor(std::nullopt, u"永不"_s), u"|永不"_s);
    EXPECT_EQ(recurrenceDescriptorString(u" Weekly"_s, u" "_s), u"type=Weekly summary=<nil>"_s);
}

TEST(RecurrenceRules, StructuredPayloadsForAWrite)
{
    ReminderRecurrenceRulePayload p;
    p.frequency = u" Weekly "_s;
    p.interval = 0;
    p.week_days = QList<QString> {u"monday"_s, u" fr "_s, u"XX"_s, u"2"_s};
    p.month_days = QList<qint64> {0, 31, -31, 32};
    p.months = QList<qint64> {0, 12, 13};
    p.set_positions = QList<qint64> {0, -1, 367};
    p.end_date = u"not a date"_s;
    p.occurrence_count = 5;
    const RecurrenceRule built = recurrenceRulesForMutation(p)->front();
    EXPECT_EQ(built.frequency, F::Weekly);
    EXPECT_EQ(built.interval, 1);
    EXPECT_EQ(built.daysOfTheWeek, (std::vector<RecurrenceDayOfWeek> {{2, 0}, {6, 0}}));
    EXPECT_EQ(built.daysOfTheMonth, (std::vector<int> {31, -31}));
    EXPECT_EQ(built.monthsOfTheYear, std::vector<int> {12});
    EXPECT_EQ(built.setPositions, std::vector<int> {-1});
    EXPECT_EQ(built.end, RecurrenceEnd::byCount(5));

    ReminderRecurrenceRulePayload sparse;
    sparse.frequency = u"monthly"_s;
    sparse.week_days = QList<QString> {};
    sparse.months = QList<qint64> {13};
    sparse.occurrence_count = 0;
    const RecurrenceRule plain = recurrenceRulesForMutation(sparse)->front();
    EXPECT_EQ(plain, rule(F::Monthly));

    ReminderRecurrenceRulePayload custom;
    custom.frequency = u"custom"_s;
    EXPECT_EQ(thrown([&] { recurrenceRulesForMutation(custom); }), u"Unsupported recurrence frequency"_s);
    ReminderRecurrenceRulePayload blank;
    blank.frequency = u" "_s;
    EXPECT_EQ(recurrenceRulesForMutation(blank), std::nullopt);

    // Mapped back: ends by count carry only the count; week numbers are not carried, so the
    // second and the last Tuesday match.
    RecurrenceRule counted = rule(F::Daily);
    counted.end = RecurrenceEnd::byCount(3);
    const auto mappedCount = mapRecurrenceRule(counted);
    EXPECT_EQ(mappedCount.occurrence_count, 3);
    EXPECT_EQ(mappedCount.end_date, std::nullopt);
    EXPECT_EQ(mapRecurrenceRule(rule(F::Daily)).occurrence_count, std::nullopt);
    const auto second = withDays(rule(F::Monthly), {{3, 2}});
    const auto last = withDays(rule(F::Monthly), {{3, -1}});
    EXPECT_EQ(mapRecurrenceRule(second).week_days, QList<QString> {u"TU"_s});
    EXPECT_TRUE(recurrenceRulesMatch(std::vector {second}, std::vector {last}));
    EXPECT_FALSE(recurrenceRulesMatch(std::vector {second}, std::nullopt));

    // The ordinal summary beside the payload keeps "2nd Tuesday" from becoming "every Tuesday".
    const auto payload = mapRecurrenceRule(second);
    const auto rebuilt
        = recurrenceRulesForMutation(payload, u"custom:interval=1;mode=ordinal;ordinal=2;weekday=TU"_s)->front();
    EXPECT_EQ(rebuilt.daysOfTheWeek, (std::vector<RecurrenceDayOfWeek> {{3, 2}}));
    EXPECT_EQ(recurrenceRulesForMutation(payload, u"每月"_s)->front().daysOfTheWeek,
        (std::vector<RecurrenceDayOfWeek> {{3, 0}}));
    // A summary that disagrees with the rule on the weekday or the interval is not taken for it.
    for (const QString &stale : {u"custom:interval=1;mode=ordinal;ordinal=2;weekday=WE"_s,
             u"custom:interval=2;mode=ordinal;ordinal=2;weekday=TU"_s,
             u"custom:interval=1;mode=ordinal;ordinal=2;weekday=WKD"_s}) {
        SCOPED_TRACE(stale.toStdString());
        const RecurrenceRule kept = recurrenceRulesForMutation(payload, stale)->front();
        EXPECT_EQ(kept.daysOfTheWeek, (std::vector<RecurrenceDayOfWeek> {{3, 0}}));
        EXPECT_EQ(kept.interval, 1);
    }
    auto workingDays = mapRecurrenceRule(withDays(rule(F::Monthly), {{2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}}));
    workingDays.set_positions.reset();
    EXPECT_EQ(recurrenceRulesForMutation(workingDays, u"custom:interval=1;mode=ordinal;ordinal=L;weekday=WKD"_s)
                  ->front()
                  .setPositions,
        std::vector<int> {-1});
}
