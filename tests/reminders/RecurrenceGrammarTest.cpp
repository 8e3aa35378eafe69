#include "reminders/NextOccurrence.h"
#include "reminders/RecurrenceSummaryGrammar.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace quorvin;

namespace {

QDateTime at(const GregorianCalendar &calendar, int y, int m, int d, int h = 9, int min = 0)
{
    return calendar.instant(QDate(y, m, d), QTime(h, min));
}

} // namespace

TEST(RecurrenceSummaryGrammar, ParsesStructuredSummaries)
{
    struct Row {
        QString type;
        QString summary;
        bool parses;
        int interval;
        QList<QString> tokens;
        QList<int> monthDays;
        QList<int> months;
        std::optional<int> ordinal;
    };
    const QList<Row> rows = {
        {u"weekly"_s, u"custom:interval=2;days=MO,WE"_s, true, 2, {u"MO"_s, u"WE"_s}, {}, {}, {}},
        {u"custom"_s, u"custom:interval=2;days=MO,WE"_s, false, 0, {}, {}, {}, {}},
        {u"daily"_s, u"custom:interval=2;days=MO,WE"_s, false, 0, {}, {}, {}, {}},
        {u"monthly"_s, u"custom:interval=2;days=MO,WE"_s, false, 0, {}, {}, {}, {}},
        {u"weekly"_s, u"custom:days=MO"_s, true, 1, {u"MO"_s}, {}, {}, {}},
        {u"weekly"_s, u"custom:interval=;days=MO"_s, true, 1, {u"MO"_s}, {}, {}, {}},
        {u"weekly"_s, u"custom:interval=abc;days=MO"_s, true, 1, {u"MO"_s}, {}, {}, {}},
        {u"weekly"_s, u"custom:interval=0;days=MO"_s, true, 1, {u"MO"_s}, {}, {}, {}},
        {u"weekly"_s, u"custom:interval=-3;days=MO"_s, true, 1, {u"MO"_s}, {}, {}, {}},
        {u"weekly"_s, u"custom:interval=1;days="_s, false, 0, {}, {}, {}, {}},
        {u"weekly"_s, u"custom:interval=1"_s, false, 0, {}, {}, {}, {}},
        {u"weekly"_s, u"custom:interval=1;days=XX"_s, true, 1, {u"XX"_s}, {}, {}, {}},
        {u"weekly"_s, u"Custom:interval=1;days=MO"_s, false, 0, {}, {}, {}, {}},
        {u"weekly"_s, u"custom:==interval=3;x;=5;y=;days=SU"_s, true, 3, {u"SU"_s}, {}, {}, {}},
        // A repeated key: the last value counts.
        {u"weekly"_s, u"custom:interval=2;days=MO;interval=5;days=TU"_s, true, 5, {u"TU"_s}, {}, {}, {}},
        {u"monthly"_s, u"custom:interval=1;mode=dates;monthDays=0,15,32,x,3"_s, true, 1, {}, {15, 3}, {}, {}},
        {u"monthly"_s, u"custom:interval=1;mode=dates;monthDays=0,32"_s, false, 0, {}, {}, {}, {}},
        {u"monthly"_s, u"custom:interval=1;monthDays=15"_s, false, 0, {}, {}, {}, {}},
        {u"monthly"_s, u"custom:interval=1;mode=ordinal;ordinal=5;weekday=MO"_s, false, 0, {}, {}, {}, {}},
        {u"monthly"_s, u"custom:interval=1;mode=ordinal;ordinal=-1;weekday=MO"_s, false, 0, {}, {}, {}, {}},
        {u"monthly"_s, u"custom:interval=1;mode=ordinal;ordinal=L;weekday=WKD"_s, true, 1, {}, {}, {}, -1},
        {u"monthly"_s, u"custom:interval=1;mode=ordinal;ordinal=2"_s, false, 0, {}, {}, {}, {}},
        {u"yearly"_s, u"custom:interval=1;months=3,6;mode=dates"_s, true, 1, {}, {}, {3, 6}, {}},
        {u"yearly"_s, u"custom:interval=1;months=13;mode=dates"_s, false, 0, {}, {}, {}, {}},
        {u"yearly"_s, u"custom:interval=1;months=3"_s, false, 0, {}, {}, {}, {}},
        {u"yearly"_s, u"custom:interval=2;months=11;mode=ordinal;ordinal=4;weekday=TH"_s, true, 2, {}, {}, {11}, 4},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.type.toStdString() + " " + row.summary.toStdString());
        const auto parsed = parseStructuredRecurrenceSummary(row.type, row.summary);
        ASSERT_EQ(parsed.has_value(), row.parses);
        if (!parsed) {
            continue;
        }
        EXPECT_EQ(parsed->interval, row.interval);
        EXPECT_EQ(parsed->weekdayTokens, row.tokens);
        EXPECT_EQ(parsed->monthDays, row.monthDays);
        EXPECT_EQ(parsed->months, row.months);
        EXPECT_EQ(parsed->ordinal, row.ordinal);
    }
}

TEST(RecurrenceSummaryGrammar, IntervalOfTypeAndSummary)
{
    struct Row {
        std::optional<QString> type;
        QString summary;
        int interval;
    };
    const QList<Row> rows = {
        {std::nullopt, u"每3天"_s, 1},
        {u"biweekly"_s, u"每3天"_s, 2},
        {u"quarterly"_s, QString(), 3},
        {u"semiannual"_s, u"每9月"_s, 6},
        {u"weekly"_s, u"custom:interval=4;days=MO"_s, 4},
        {u"weekly"_s, QString(), 1},
        {u"weekly"_s, u"每3周"_s, 3},
        {u"daily"_s, u"每3周"_s, 1},
        {u"weekdays"_s, u"每3周"_s, 1},
        {u"monthly"_s, u"每 12 月"_s, 12},
        {u"daily"_s, u"每0天"_s, 1},
        {u"yearly"_s, u"每2年"_s, 2},
        {u"daily"_s, u"每天"_s, 1},
        {u"daily"_s, u"x每3天"_s, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.summary.toStdString());
        EXPECT_EQ(recurrenceInterval(row.type, row.summary), row.interval);
    }
}

TEST(NextOccurrence, SimpleAndStructuredSteps)
{
    // New York changes to summer time on 8 March 2026, inside several of the steps below: each
    // must still land on 09:00 there.
    for (const QByteArray &zone : {QByteArrayLiteral("Asia/Shanghai"), QByteArrayLiteral("America/New_York")}) {
        SCOPED_TRACE(zone.constData());
        const GregorianCalendar calendar {QTimeZone(zone)};
        ASSERT_EQ(calendar.timeZone().id(), zone);
        const NextOccurrence next(calendar);
        struct Row {
            const char *name;
            QDateTime from;
            QString type;
            std::optional<QString> summary;
            std::optional<QDateTime> expected;
        };
        const QList<Row> rows = {
            {"daily every 3", at(calendar, 2026, 3, 1), u"daily"_s, u"每3天"_s, at(calendar, 2026, 3, 4)},
            {"daily", at(calendar, 2026, 3, 1), u"daily"_s, std::nullopt, at(calendar, 2026, 3, 2)},
            {"biweekly ignores summary", at(calendar, 2026, 3, 1), u"biweekly"_s, u"每3周"_s,
                at(calendar, 2026, 3, 15)},
            {"weekly every 3", at(calendar, 2026, 3, 1), u"weekly"_s, u"每3周"_s, at(calendar, 2026, 3, 22)},
            {"weekdays from friday", at(calendar, 2026, 3, 6), u"weekdays"_s, std::nullopt, at(calendar, 2026, 3, 9)},
            {"weekends from monday", at(calendar, 2026, 3, 2), u"weekends"_s, std::nullopt, at(calendar, 2026, 3, 7)},
            {"monthly clamps", at(calendar, 2026, 1, 31), u"monthly"_s, std::nullopt, at(calendar, 2026, 2, 28)},
            // Stepping on from the clamped date: the series has drifted to the 28th for good.
            {"monthly drifts", at(calendar, 2026, 2, 28), u"monthly"_s, std::nullopt, at(calendar, 2026, 3, 28)},
            {"quarterly", at(calendar, 2026, 1, 15), u"quarterly"_s, std::nullopt, at(calendar, 2026, 4, 15)},
            {"semiannual", at(calendar, 2026, 1, 15), u"semiannual"_s, std::nullopt, at(calendar, 2026, 7, 15)},
            {"yearly leap day", at(calendar, 2028, 2, 29), u"yearly"_s, std::nullopt, at(calendar, 2029, 2, 28)},
            {"custom", at(calendar, 2026, 3, 1), u"custom"_s, u"custom:interval=1;days=MO"_s, std::nullopt},
            {"hourly", at(calendar, 2026, 3, 1), u"hourly"_s, std::nullopt, std::nullopt},
            // 2 March 2026 is a Monday.
            {"MO,WE every 2 from Monday", at(calendar, 2026, 3, 2), u"weekly"_s, u"custom:interval=2;days=MO,WE"_s,
                at(calendar, 2026, 3, 4)},
            {"MO,WE every 2 from Wednesday", at(calendar, 2026, 3, 4), u"weekly"_s, u"custom:interval=2;days=MO,WE"_s,
                at(calendar, 2026, 3, 16)},
            {"last working day", at(calendar, 2026, 1, 30), u"monthly"_s,
                u"custom:interval=1;mode=ordinal;ordinal=L;weekday=WKD"_s, at(calendar, 2026, 2, 27)},
            {"31st skips short months", at(calendar, 2026, 1, 31), u"monthly"_s,
                u"custom:interval=1;mode=dates;monthDays=31"_s, at(calendar, 2026, 3, 31)},
            {"second tuesday", at(calendar, 2026, 3, 10), u"monthly"_s,
                u"custom:interval=1;mode=ordinal;ordinal=2;weekday=TU"_s, at(calendar, 2026, 4, 14)},
            {"yearly in March and June", at(calendar, 2026, 3, 15), u"yearly"_s,
                u"custom:interval=1;months=3,6;mode=dates"_s, at(calendar, 2026, 6, 15)},
            {"unreadable yearly summary steps by the keyword", at(calendar, 2026, 3, 15), u"yearly"_s,
                u"custom:interval=1;months=;mode=dates"_s, at(calendar, 2027, 3, 15)},
        };
        for (const Row &row : rows) {
            SCOPED_TRACE(row.name);
            EXPECT_EQ(next.nextDueDateForSingleRecurrenceStep(row.from, row.type, row.summary), row.expected);
        }
        StructuredRecurrenceSummary never {u"yearly"_s, 1, u"dates"_s, {}, {}, {}, {}, {}};
        EXPECT_EQ(next.nextDueDateForStructuredRecurrence(at(calendar, 2026, 3, 15), never), std::nullopt);
    }
}

TEST(NextOccurrence, KeepsWallClockAcrossDaylightSaving)
{
    const GregorianCalendar calendar(QTimeZone(QByteArrayLiteral("Europe/Berlin")));
    const NextOccurrence next(calendar);
    // Berlin springs forward on 29 March 2026 (02:00 -> 03:00) and falls back on 25 October.
    const QDateTime before = at(calendar, 2026, 3, 28, 9);
    const auto after = next.nextDueDateForSingleRecurrenceStep(before, u"daily"_s, std::nullopt);
    ASSERT_TRUE(after);
    EXPECT_EQ(calendar.localTime(*after), QTime(9, 0));
    EXPECT_EQ(before.secsTo(*after), 23 * 3600);

    const auto autumn
        = next.nextDueDateForSingleRecurrenceStep(at(calendar, 2026, 10, 24, 9), u"weekly"_s, std::nullopt);
    ASSERT_TRUE(autumn);
    EXPECT_EQ(calendar.localTime(*autumn), QTime(9, 0));
    EXPECT_EQ(calendar.localDate(*autumn), QDate(2026, 10, 31));

    // A time the change skips moves forward by the gap; a repeated time takes its first occurrence.
    const QDateTime gap = calendar.instant(QDate(2026, 3, 29), QTime(2, 30));
    EXPECT_EQ(calendar.localTime(gap), QTime(3, 30));
    const QDateTime twice = calendar.instant(QDate(2026, 10, 25), QTime(2, 30));
    EXPECT_EQ(twice, QDateTime(QDate(2026, 10, 25), QTime(0, 30), Qt::UTC));

    // Sunday starts the week.
    EXPECT_EQ(GregorianCalendar::weekday(QDate(2026, 3, 1)), 1);
    EXPECT_EQ(GregorianCalendar::startOfWeek(QDate(2026, 3, 7)), QDate(2026, 3, 1));
}

// A walk that passes over a day whose 02:30 does not exist keeps 02:30; only a result that itself
// falls into the gap moves forward. Each gap day is a Sunday.
TEST(NextOccurrence, WalksOverADaylightSavingGapAtTheSeriesTime)
{
    const struct {
        QByteArray zone;
        QDate gapDay;
        QTime onGapDay;
    } zones[] = {
        {QByteArrayLiteral("Europe/Berlin"), QDate(2026, 3, 29), QTime(3, 30)},
        {QByteArrayLiteral("America/New_York"), QDate(2026, 3, 8), QTime(3, 30)},
        {QByteArrayLiteral("Australia/Sydney"), QDate(2026, 10, 4), QTime(3, 30)},
        {QByteArrayLiteral("Asia/Shanghai"), QDate(2026, 3, 8), QTime(2, 30)},
    };
    for (const auto &z : zones) {
        SCOPED_TRACE(z.zone.constData());
        const GregorianCalendar calendar {QTimeZone(z.zone)};
        ASSERT_EQ(calendar.timeZone().id(), z.zone);
        const NextOccurrence next(calendar);
        const auto local = [&](QDate day) { return calendar.instant(day, QTime(2, 30)); };
        const QDateTime friday = local(z.gapDay.addDays(-2));
        const QDateTime monday = local(z.gapDay.addDays(1));
        EXPECT_EQ(next.nextDueDateForSingleRecurrenceStep(friday, u"weekly"_s, u"custom:interval=1;days=MO"_s), monday);
        EXPECT_EQ(next.nextDueDateForSingleRecurrenceStep(
                      friday, u"monthly"_s, u"custom:interval=1;mode=dates;monthDays=%1"_s.arg(z.gapDay.day() + 1)),
            monday);
        EXPECT_EQ(next.nextDueDateForSingleRecurrenceStep(friday, u"weekdays"_s, std::nullopt), monday);
        const auto onGapDay = next.nextDueDateForSingleRecurrenceStep(local(z.gapDay.addDays(-1)), u"daily"_s, {});
        ASSERT_TRUE(onGapDay);
        EXPECT_EQ(calendar.localDate(*onGapDay), z.gapDay);
        EXPECT_EQ(calendar.localTime(*onGapDay), z.onGapDay);
    }
}

// Working-day and weekend series step in blocks of their interval in weeks (Sunday to Saturday),
// the weeks their stored weekly rule describes. 1 March 2026 is a Sunday.
TEST(NextOccurrence, WorkingDayAndWeekendSeriesKeepTheirWeekInterval)
{
    const GregorianCalendar calendar {QTimeZone(QByteArrayLiteral("Asia/Shanghai"))};
    const NextOccurrence next(calendar);
    const struct {
        QString type;
        QString summary;
        int expectedDay[7]; // in March 2026, from Sunday 1 ... Saturday 7
    } rows[] = {
        {u"weekdays"_s, u"工作日"_s, {2, 3, 4, 5, 6, 9, 9}},
        {u"weekdays"_s, u"每2周"_s, {2, 3, 4, 5, 6, 16, 16}},
        {u"weekends"_s, u"周末"_s, {7, 7, 7, 7, 7, 7, 8}},
        {u"weekends"_s, u"每2周"_s, {7, 7, 7, 7, 7, 7, 15}},
    };
    for (const auto &row : rows) {
        for (int from = 1; from <= 7; ++from) {
            SCOPED_TRACE((row.type + u' ' + row.summary + u" from the "_s + QString::number(from)).toStdString());
            EXPECT_EQ(next.nextDueDateForSingleRecurrenceStep(at(calendar, 2026, 3, from), row.type, row.summary),
                at(calendar, 2026, 3, row.expectedDay[from - 1]));
        }
    }
}
