#include "model/DateFormatters.h"
#include "model/ReminderFingerprint.h"
#include "model/ReminderPayload.h"

#include <gtest/gtest.h>

#include <QTimeZone>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

namespace {
QDateTime utc(int y, int mo, int d, int h, int mi, int s, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
}
} // namespace

TEST(DateFormatters, ParseAcceptsBothWrittenFormsAndNothingLoose)
{
    struct Case {
        QString text;
        std::optional<QDateTime> expected;
    };
    const Case cases[] = {
        {u"2024-05-01T08:30:00.000Z"_s, utc(2024, 5, 1, 8, 30, 0)},
        {u"2024-05-01T08:30:00.123Z"_s, utc(2024, 5, 1, 8, 30, 0, 123)},
        {u"2024-05-01T08:30:00Z"_s, utc(2024, 5, 1, 8, 30, 0)},
        {u"2024-05-01T08:30:00.5Z"_s, utc(2024, 5, 1, 8, 30, 0, 500)},
        {u"2024-05-01T08:30:00.123999Z"_s, utc(2024, 5, 1, 8, 30, 0, 123)},
        {u"2024-05-01T16:30:00+08:00"_s, utc(2024, 5, 1, 8, 30, 0)},
        {u"2024-05-01T00:30:00.250-02:30"_s, utc(2024, 5, 1, 3, 0, 0, 250)},
        {u"2024-02-29T23:59:59Z"_s, utc(2024, 2, 29, 23, 59, 59)},
        {u"2024-05-01"_s, std::nullopt},
        {u""_s, std::nullopt},
        {u"2024-05-01T08:30:00"_s, std::nullopt},
        {u"2024-05-01T08:30:00.Z"_s, std::nullopt},
        {u" 2024-05-01T08:30:00Z"_s, std::nullopt},
        {u"2024-05-01T08:30:00Z "_s, std::nullopt},
        {u"2023-02-29T08:30:00Z"_s, std::nullopt},
        {u"2024-05-01T24:00:00Z"_s, std::nullopt},
        {u"2024-05-01 08:30:00Z"_s, std::nullopt},
        {u"not a date"_s, std::nullopt},
    };
    for (const Case &c : cases) {
        const auto parsed = DateFormatters::parseISO8601(c.text);
        ASSERT_EQ(parsed.has_value(), c.expected.has_value()) << c.text.toStdString();
        if (parsed) {
            EXPECT_EQ(*parsed, *c.expected) << c.text.toStdString();
            EXPECT_EQ(parsed->timeSpec(), Qt::UTC);
        }
    }
}

TEST(DateFormatters, FormatsUtcWithAndWithoutMilliseconds)
{
    const QDateTime shanghai(QDate(2024, 5, 1), QTime(16, 30, 0, 7), QTimeZone("Asia/Shanghai"));
    EXPECT_EQ(DateFormatters::fractionalISO8601(shanghai), u"2024-05-01T08:30:00.007Z"_s);
    EXPECT_EQ(DateFormatters::plainISO8601(shanghai), u"2024-05-01T08:30:00Z"_s);
    EXPECT_EQ(DateFormatters::plainISO8601(utc(2024, 5, 1, 8, 30, 0, 999)), u"2024-05-01T08:30:00Z"_s);
    EXPECT_EQ(DateFormatters::fractionalISO8601(utc(999, 1, 2, 3, 4, 5)), u"0999-01-02T03:04:05.000Z"_s);

    EXPECT_FALSE(ReminderPayload::isoString(std::nullopt));
    EXPECT_EQ(ReminderPayload::isoString(utc(2024, 5, 1, 8, 30, 0, 120)), u"2024-05-01T08:30:00.120Z"_s);
    EXPECT_EQ(ReminderFingerprint::canonicalDate(utc(2024, 5, 1, 8, 30, 0, 120)), u"2024-05-01T08:30:00Z"_s);
    EXPECT_EQ(ReminderFingerprint::canonicalDate(std::nullopt), u""_s);

    // What is written parses back to the same instant.
    const QDateTime instant = utc(2031, 12, 31, 23, 59, 59, 999);
    EXPECT_EQ(DateFormatters::parseISO8601(DateFormatters::fractionalISO8601(instant)), instant);

    // An invalid instant has no text: it stays out of records instead of writing garbage digits.
    EXPECT_FALSE(ReminderPayload::isoString(QDateTime()));
    EXPECT_EQ(DateFormatters::fractionalISO8601(QDateTime()), u""_s);
    EXPECT_EQ(ReminderFingerprint::canonicalDate(QDateTime()), u""_s);

    // Medium date and time: no weekday, abbreviated month, seconds, no zone.
    const QDateTime local = utc(2024, 5, 1, 8, 30, 5).toLocalTime();
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    const QLocale british(QLocale::English, QLocale::UnitedKingdom);
    EXPECT_EQ(DateFormatters::localizedDateTime(utc(2024, 5, 1, 8, 30, 5), english),
        english.toString(local, u"MMM d, yyyy h:mm:ss AP"_s));
    EXPECT_EQ(DateFormatters::localizedDateTime(utc(2024, 5, 1, 8, 30, 5), chinese),
        chinese.toString(local, u"yyyy年M月d日 HH:mm:ss"_s));
    EXPECT_EQ(DateFormatters::localizedDateTime(utc(2024, 5, 1, 8, 30, 5), british),
        british.toString(local, u"d MMM yyyy HH:mm:ss"_s));
}

TEST(ReminderFingerprint, NormalizeTextTrimsAndCollapsesWhiteSpace)
{
    const std::pair<std::optional<QString>, QString> cases[] = {
        {u"  a\n\t b  "_s, u"a b"_s},
        {u"   "_s, u""_s},
        {std::nullopt, u""_s},
        {u"Ab  C"_s, u"Ab C"_s},
        {u"x\r\ny"_s, u"x y"_s},
        {u"\u3000全角\u3000空格\u3000"_s, u"全角 空格"_s},
        {u"a\u00a0\u00a0b"_s, u"a b"_s},
        {u"\u000ba\u000b\u0085b\u0085"_s, u"a b"_s},
    };
    for (const auto &[input, expected] : cases) {
        EXPECT_EQ(ReminderFingerprint::normalizeText(input), expected) << input.value_or(u"<absent>"_s).toStdString();
    }
}
