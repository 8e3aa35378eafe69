#include "ViewRig.h"
#include "account/CloudAccount.h"
#include "ui/QuorvinLoginViewModel.h"

#include <gtest/gtest.h>

using namespace quorvin;
using namespace quorvin::test;
using Tone = QuorvinLoginViewModel::StatusTone;
using Mode = QuorvinLoginViewModel::LoginMode;
using Field = QuorvinLoginViewModel::LoginField;

TEST(QuorvinLoginViewModel, PhoneNumbersAreNormalisedThenCheckedAsMainlandMobiles)
{
    struct Row {
        const char *typed;
        const char *forRequest;
        bool mobile;
    };
    const Row rows[] = {
        {"13812345678", "13812345678", true},
        {" +86 138-1234-5678 \n", "13812345678", true},
        {"(86)13812345678", "13812345678", true},
        {"8613812345678", "13812345678", true},
        // Eleven characters beginning with 86 stay as they are, and fail the leading 1.
        {"86123456789", "86123456789", false},
        // "+86" goes whatever the length of the rest.
        {"+86123", "123", false},
        // Only spaces, "-", "(" and ")" are removed after trimming.
        {"138.1234.5678", "138.1234.5678", false},
        {"138/12345678", "138/12345678", false},
        {"138\t12345678", "138\t12345678", false},
        {"1381234567", "1381234567", false},
        {"138123456789", "138123456789", false},
        {"23812345678", "23812345678", false},
        // Decimal digits of any script are the ASCII digits they mean; other numerals stay as
        // typed (numeric to the card; the service refuses them).
        {"１３８１２３４５６７８", "13812345678", true},
        {"+８６ 1３８-１２３４-５６７８", "13812345678", true},
        {"1三八一二三四五六七八", "1三八一二三四五六七八", true},
        {"1381234567a", "1381234567a", false},
    };
    for (const auto &row : rows) {
        const QString forRequest = QuorvinLoginViewModel::phoneNumberForRequest(QString::fromUtf8(row.typed));
        EXPECT_EQ(forRequest, QString::fromUtf8(row.forRequest)) << row.typed;
        EXPECT_EQ(QuorvinLoginViewModel::isMainlandMobileNumber(forRequest), row.mobile) << row.typed;
    }
}

TEST(QuorvinLoginViewModel, CodesAreSixNumericCharactersAfterTrimming)
{
    const std::pair<const char *, bool> rows[] = {
        {"123456", true},
        {"  123456\n", true},
        {"１２３４５６", true},
        {"12345", false},
        {"1234567", false},
        {"12 456", false},
        {"12345a", false},
        {"", false},
        // A digit with a combining mark is one character.
        {"12345\u0036\u0301", true},
    };
    for (const auto &[code, valid] : rows) {
        EXPECT_EQ(QuorvinLoginViewModel::isPhoneCode(QString::fromUtf8(code)), valid) << code;
    }
}

TEST(QuorvinLoginViewModel, StatusLinesNamingAFailureShowInTheDangerColour)
{
    const std::pair<const char *, Tone> rows[] = {
        {"缺少云端地址", Tone::Danger},
        {"验证码不正确", Tone::Danger},
        {"请先阅读并同意用户协议和隐私政策", Tone::Danger},
        {"手机号登录失败", Tone::Danger},
        {"令牌无效", Tone::Danger},
        {"服务器没有响应", Tone::Danger},
        {"服务器未返回令牌", Tone::Danger},
        {"暂未开放", Tone::Danger},
        {"已取消", Tone::Danger},
        {"请输入手机号", Tone::Danger},
        {"正在登录云账号", Tone::Secondary},
        {"正在发送验证码", Tone::Secondary},
        {"开发验证码：123456", Tone::Secondary},
        {"", Tone::Secondary},
    };
    for (const auto &[text, tone] : rows) {
        EXPECT_EQ(QuorvinLoginViewModel::statusTone(QString::fromUtf8(text)), tone) << text;
    }
}

TEST(QuorvinLoginViewModel, ACodeSignInFollowsTheCardsRulesFromConsentToTheStoredToken)
{
    ViewRig rig;
    rig.server.createUser(QStringLiteral("+8613812345678"));
    rig.server.setFixedSmsCode(QStringLiteral("+8613812345678"), QStringLiteral("123456"));
    rig.account().rememberCloudPhoneNumber(QStringLiteral("13812345678"));
    QuorvinLoginViewModel card(rig.account());
    const auto settle = [&] { rig.clock.runUntil([&] { return card.canUseLogin(); }, std::chrono::minutes(1)); };

    // It opens in password mode with the stored number and the focus on it; without consent only
    // Return says what is missing.
    card.appear();
    EXPECT_EQ(card.loginMode(), Mode::Password);
    EXPECT_EQ(card.phoneNumberText(), QStringLiteral("13812345678"));
    EXPECT_EQ(card.focusedField(), Field::Phone);
    card.setPasswordText(QStringLiteral("   "));
    EXPECT_FALSE(card.canSubmitPrimaryLogin());
    card.submitPrimaryLogin();
    EXPECT_EQ(card.statusText(), QStringLiteral("请先阅读并同意用户协议和隐私政策"));
    EXPECT_EQ(card.statusTone(), Tone::Danger);
    card.setHasAcceptedPolicies(true);
    EXPECT_TRUE(card.canSubmitPrimaryLogin()) << "a password of blanks is a password";

    // Code mode needs a requested code; while it is requested nothing else may start.
    card.toggleLoginMode();
    EXPECT_EQ(card.loginMode(), Mode::Code);
    EXPECT_TRUE(card.statusText().isEmpty());
    EXPECT_EQ(card.focusedField(), Field::Code);
    card.setPhoneCodeText(QStringLiteral("654321"));
    EXPECT_FALSE(card.canSubmitPrimaryLogin());
    EXPECT_EQ(card.phoneCodeRequestButtonLabel(), QStringLiteral("获取验证码"));
    card.requestPhoneCode();
    EXPECT_EQ(card.phoneCodeRequestButtonLabel(), QStringLiteral("发送中"));
    EXPECT_FALSE(card.canRequestPhoneCode());
    card.toggleLoginMode();
    EXPECT_EQ(card.loginMode(), Mode::Code);
    settle();
    // The development code does not replace a typed one.
    EXPECT_EQ(card.phoneCodeRequestButtonLabel(), QStringLiteral("重新发送"));
    EXPECT_EQ(card.phoneCodeText(), QStringLiteral("654321"));
    EXPECT_EQ(card.statusTone(), Tone::Secondary);

    // Editing the number drops the challenge, the hint, the status and the code.
    card.setPhoneNumberText(QStringLiteral("+86 138-1234-5678"));
    EXPECT_TRUE(rig.account().cloudPhoneChallengeID().isEmpty());
    EXPECT_TRUE(card.statusText().isEmpty());
    EXPECT_TRUE(card.phoneCodeText().isEmpty());
    EXPECT_EQ(card.phoneCodeRequestButtonLabel(), QStringLiteral("获取验证码"));

    // Into an empty field the development code goes, with the focus.
    card.setFocusedField(Field::Phone);
    card.requestPhoneCode();
    settle();
    EXPECT_EQ(card.phoneCodeText(), QStringLiteral("123456"));
    EXPECT_EQ(card.focusedField(), Field::Code);
    // Typed again in full-width digits it is the same code, and goes out in ASCII digits.
    card.setPhoneCodeText(QStringLiteral("１２３４５６"));
    ASSERT_TRUE(card.canSubmitPrimaryLogin());
    card.submitPrimaryLogin();
    EXPECT_EQ(card.primaryLoginButtonLabel(), QStringLiteral("登录中…"));
    settle();
    EXPECT_FALSE(rig.account().cloudAuthToken().isEmpty());
    EXPECT_EQ(rig.server.journalFor(QStringLiteral("/auth/phone/code/verify")).size(), 1);
}
