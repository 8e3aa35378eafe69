#include "ui/AccountInputRules.h"
#include "ui/CloudDeviceTexts.h"

#include <gtest/gtest.h>

using namespace quorvin;
namespace rules = quorvin::AccountInputRules;
namespace devices = quorvin::CloudDeviceTexts;

namespace {

QString u8(const char *text)
{
    return QString::fromUtf8(text);
}

std::optional<QString> opt(const char *text)
{
    return text ? std::optional<QString>(u8(text)) : std::nullopt;
}

} // namespace

TEST(AccountInputRules, PhoneNumbersAreMaskedShownInFullAndMadeEditable)
{
    struct Row {
        const char *phone;
        const char *masked;
        const char *full;
        const char *editable;
    };
    const Row rows[] = {
        {" 13812345678 ", "+86138****5678", "+8613812345678", "13812345678"},
        {"8613812345678", "+86138****5678", "+8613812345678", "13812345678"},
        {"+86 138-1234-5678", "+86138****5678", "+8613812345678", "13812345678"},
        // Already masked: at most the country code is added, and it cannot be edited back.
        {"138****5678", "+86138****5678", "138****5678", ""},
        {"+86138****5678", "+86138****5678", "+86138****5678", ""},
        {"86138****5678", "+86138****5678", "86138****5678", ""},
        {"23812345678", "23812345678", "23812345678", "23812345678"},
        {"12345", "12345", "12345", "12345"},
        {"", "", "", ""},
        // Decimal digits of any script are the ASCII digits they mean.
        {"１３８１２３４５６７８", "+86138****5678", "+8613812345678", "13812345678"},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(rules::formatPhoneDisplay(u8(row.phone)), u8(row.masked)) << row.phone;
        EXPECT_EQ(rules::formatPhoneFullDisplay(u8(row.phone)), u8(row.full)) << row.phone;
        EXPECT_EQ(rules::accountPhoneTextForEditing(u8(row.phone)), u8(row.editable)) << row.phone;
    }
    EXPECT_EQ(rules::mainlandPhoneDigits(u8("+86 138 1234 5678")), u8("13812345678"));
    EXPECT_EQ(rules::mainlandPhoneDigits(u8("0086 13812345678")), u8("008613812345678"));
    EXPECT_EQ(rules::verificationPhone(u8(" +86 138-1234-5678 ")), u8("13812345678"));
    EXPECT_EQ(rules::verificationPhone(u8("8613812345678")), u8("13812345678"));
    EXPECT_EQ(rules::verificationPhone(u8("86138123456")), u8("86138123456"));
}

TEST(AccountInputRules, CodesAreSixDigitsAfterTrimming)
{
    const std::pair<const char *, bool> rows[] = {
        {" 123456 ", true},
        {"１２３４５６", true},
        {"12345", false},
        {"1234567", false},
        {"12345a", false},
        {"", false},
    };
    for (const auto &[code, valid] : rows) {
        EXPECT_EQ(rules::isVerificationCode(u8(code)), valid) << code;
    }
}

TEST(AccountInputRules, PasswordRulesApplyInTheirOrder)
{
    const QString tooShort = u8("密码至少需要 8 位");
    const QString tooLong = u8("密码不能超过 16 位");
    const QString lettersAndDigits = u8("密码需要同时包含字母和数字");
    const QString tooSimple = u8("密码过于简单，请换一个更难猜的密码");
    const QString containsPhone = u8("密码不能包含手机号");
    struct Row {
        const char *password;
        const char *phone;
        QString message;
    };
    const Row rows[] = {
        // Length comes first, counted in characters a person sees.
        {"abcdefg", "", tooShort},
        {"k9x2m7q", "", tooShort},
        {"k9x2m7q4", "", QString()},
        {"k9x2m7q4w8e5r3t6", "", QString()},
        {"k9x2m7q4w8e5r3t6y", "", tooLong},
        {"e\u0301e\u0301e\u0301e\u0301e\u0301e\u03019", "", tooShort},
        {"e\u0301e\u0301e\u0301e\u0301e\u0301e\u030197", "", QString()},
        // Letters (ideographs too) and decimal digits, both.
        {"abcdxyzw", "", lettersAndDigits},
        {"83920174", "", lettersAndDigits},
        {"k½x¾m⅔q⅞", "", lettersAndDigits},
        {"密码安全密码安全9", "", QString()},
        // Runs of six either way, and weak terms in any case; five in a row are fine.
        {"xabcdefx1", "", tooSimple},
        {"z9876543", "", tooSimple},
        {"abcde9k2x", "", QString()},
        {"myQWERTY9", "", tooSimple},
        {"LetMeIn42", "", tooSimple},
        // The account's digits inside the password, letters between them or not.
        {"a1390b2468135z", "+86 139 0246 8135", containsPhone},
        {"k13902468135", "13902468135", containsPhone},
        {"a1390b2468135z", "1390246813", QString()},
        {"k9x2m7q4", "13902468135", QString()},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(
            rules::profilePasswordRuleMessage(u8(row.password), u8(row.phone)).toStdString(), row.message.toStdString())
            << row.password;
    }
}

TEST(AccountInputRules, DatesShowAsCompactTimesOfTheGivenZone)
{
    const QDateTime instant = QDateTime::fromString(u8("2026-03-01T08:05:30Z"), Qt::ISODate);
    EXPECT_EQ(rules::compactDateTimeString(instant, QTimeZone::utc()), u8("2026-03-01 08:05"));
    EXPECT_EQ(rules::compactDateTimeString(instant, QTimeZone("Asia/Shanghai")), u8("2026-03-01 16:05"));
}

TEST(CloudDeviceTexts, DevicesAreNamedByKindAndLabel)
{
    struct Row {
        const char *kind;
        const char *label;
        bool current;
        const char *title;
    };
    const Row rows[] = {
        {"mqv", "mqv MacBookPro18,3", false, "Mac 设备 MacBookPro18,3"},
        {"mqv", "Mac14,2", false, "Mac 14,2"},
        {"mqv", "MacBook Air", false, "MacBook Air"},
        {"mqv", "Mac 设备 A1B2", false, "Mac 设备 A1B2"},
        {" MQV ", nullptr, false, "Mac 设备"},
        // This computer always shows its own name, whatever the service holds.
        {"mqv", "Someone else", true, "Mac 15,3"},
        {"hqv", "hqv Mate 60", false, "鸿蒙设备 Mate 60"},
        {"hqv", "我的平板", false, "我的平板"},
        {"hqv", nullptr, false, "鸿蒙设备"},
        {"Web", nullptr, false, "web"},
        {nullptr, nullptr, false, "同步服务"},
        {"web", "浏览器", false, "浏览器"},
    };
    for (const Row &row : rows) {
        CloudDeviceSessionPayload session;
        session.client_kind = opt(row.kind);
        session.device_label = opt(row.label);
        EXPECT_EQ(devices::cloudDeviceTitle(session, row.current, u8("Mac15,3")), u8(row.title)) << row.label;
    }
}

TEST(CloudDeviceTexts, SubtitlesTellTheKindAndWhenTheDeviceWasLastSeen)
{
    CloudDeviceSessionPayload session;
    session.client_kind = u8("mqv");
    EXPECT_EQ(devices::cloudDeviceSubtitle(session, QTimeZone::utc()), u8("Mac"));
    session.last_seen_at = u8("2026-03-01T08:05:00Z");
    EXPECT_EQ(devices::cloudDeviceSubtitle(session, QTimeZone::utc()), u8("Mac · 上次活动 2026-03-01 08:05"));
    session.last_seen_at = u8("2026-13-45T99:00Z");
    EXPECT_EQ(devices::cloudDeviceSubtitle(session, QTimeZone::utc()), u8("Mac · 上次活动 2026-13-45 99:00"));
    session.client_kind.reset();
    session.last_seen_at = u8("  ");
    EXPECT_EQ(devices::cloudDeviceSubtitle(session, QTimeZone::utc()), u8("同步服务"));

    EXPECT_EQ(devices::cloudDeviceRemovalConfirmationMessage(u8(" HQV ")),
        u8("移除后，该鸿蒙设备下次访问服务器时会退出 Quorvin 账号，并清空该设备上的 Quorvin 本地数据。"));
    EXPECT_EQ(devices::cloudDeviceRemovalConfirmationMessage(u8("mqv")),
        u8("移除后，该 Mac 下次访问服务器时会退出 Quorvin 账号，并停止与服务器同步；不会删除该 Mac 上的 Apple "
           "Reminders。"));
    EXPECT_EQ(devices::cloudDeviceRemovalConfirmationMessage(std::nullopt),
        u8("移除后，该设备上的 Quorvin 账号将退出，并停止与服务器同步。"));
}
