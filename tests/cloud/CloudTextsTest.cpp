#include "cloud/CloudSyncClient.h"
#include "cloud/CloudURLEscaping.h"
#include "cloud/ReadableHTTPError.h"
#include "cloud/Strings.h"
#include "platform/defaults/InMemoryUserDefaults.h"

#include <gtest/gtest.h>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

TEST(ReadableHTTPError, EveryPhraseIsFoundWhateverItsCaseAndInsideJson)
{
    for (const auto &[phrase, message] : CloudText::serverErrorMessages) {
        const QString mixedCase = QString::fromUtf16(phrase).toUpper();
        const QString body = uR"({"error": ")"_s + mixedCase + uR"("})"_s;
        EXPECT_EQ(readableHTTPErrorMessage(400, body), QString::fromUtf16(message) + u"（HTTP 400）"_s)
            << mixedCase.toStdString();
    }
}

TEST(ReadableHTTPError, MessagesFollowTheRowOrderAndTheSuffixRules)
{
    struct Case {
        int status;
        QByteArray body;
        QString expected;
    };
    const Case cases[] = {
        {401, "invalid authentication token", u"服务器登录已失效，请重新登录（HTTP 401）"_s},
        {400, R"({"error":"Invalid Phone Verification Code"})", u"手机号验证码不正确（HTTP 400）"_s},
        // The earlier row wins when a body holds two phrases.
        {401, "invalid phone number or password; authentication required",
            u"服务器登录已失效，请重新登录（HTTP 401）"_s},
        {400, "phone verification code expired (phone verification code already used)",
            u"手机号验证码已过期（HTTP 400）"_s},
        {400, "phone number must be in E.164 format", u"请输入中国大陆 11 位手机号（HTTP 400）"_s},
        {400, "Profile password must be at least 8 characters", u"密码至少需要 8 位（HTTP 400）"_s},
        // No row: the trimmed body with its letters as sent.
        {500, "  Upstream Database EXPLODED \n", u"Upstream Database EXPLODED（HTTP 500）"_s},
        {502, "", u"HTTP 502"_s},
        {502, " \n\t ", u"HTTP 502"_s},
        {502, QByteArray("\xff\xfe invalid authentication token", 31), u"HTTP 502"_s},
        {503, QByteArray("ok \xe6\x9c", 5), u"HTTP 503"_s},
        // Overlong forms, encoded surrogates and code points past U+10FFFF are not UTF-8 either.
        {503, QByteArray("\xc0\xaf authentication required", 26), u"HTTP 503"_s},
        {503, QByteArray("\xed\xa0\x80 authentication required", 27), u"HTTP 503"_s},
        {503, QByteArray("\xf4\x90\x80\x80 authentication required", 28), u"HTTP 503"_s},
        {404, "服务不可用", u"服务不可用（HTTP 404）"_s},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(readableHTTPErrorMessage(c.status, decodeUtf8OrEmpty(c.body)), c.expected) << c.body.toStdString();
    }
    EXPECT_EQ(readableServerErrorBody(u"  \n"_s), QString());
    // The suffix uses the full-width parentheses and an ASCII space.
    const QString message = readableHTTPErrorMessage(401, u"authentication required"_s);
    EXPECT_TRUE(message.contains(QChar(0xFF08)));
    EXPECT_TRUE(message.endsWith(u"HTTP 401"_s + QChar(0xFF09)));
}

TEST(CloudURLEscaping, QueryAndPathSetsKeepWhatTheyAllowAndNoValueCanBreakOut)
{
    EXPECT_EQ(escapeQueryValue(u"a b"_s), u"a%20b"_s);
    EXPECT_EQ(escapeQueryValue(u"c+1/2?x"_s), u"c+1/2?x"_s);
    EXPECT_EQ(escapeQueryValue(u"-._~!$'()*+,;:@/?"_s), u"-._~!$'()*+,;:@/?"_s);
    EXPECT_EQ(escapeQueryValue(u"a&b=c#d"_s), u"a%26b%3Dc%23d"_s);
    EXPECT_EQ(escapeQueryValue(u"游标%"_s), u"%E6%B8%B8%E6%A0%87%25"_s);
    EXPECT_EQ(escapeQueryValue(u"v1:opaque-cursor_42"_s), u"v1:opaque-cursor_42"_s);
    EXPECT_FALSE(escapeQueryValue(QString(QChar(0xD800))).has_value());

    EXPECT_EQ(escapePathSegment(u"session 1"_s), u"session%201"_s);
    EXPECT_EQ(escapePathSegment(u"a/b?c#d"_s), u"a%2Fb%3Fc%23d"_s);
    EXPECT_EQ(escapePathSegment(u"id-&=+:@,"_s), u"id-&=+:@,"_s);
    EXPECT_EQ(escapePathSegment(u"id;jsessionid=1"_s), u"id%3Bjsessionid=1"_s);
    EXPECT_EQ(escapePathSegment(u"3f2a9c1e-0b7d-4e8a-9f1c-2d3e4f5a6b7c"_s), u"3f2a9c1e-0b7d-4e8a-9f1c-2d3e4f5a6b7c"_s);
}

TEST(CloudSyncClient, MainlandPhoneNumbersGetTheCountryCodeOnce)
{
    const std::pair<QString, QString> cases[] = {
        {u"138 1234 5678"_s, u"+8613812345678"_s},
        {u"(138)1234-5678"_s, u"+8613812345678"_s},
        {u" 13812345678\n"_s, u"+8613812345678"_s},
        {u"+86 138 1234 5678"_s, u"+8613812345678"_s},
        {u"8613812345678"_s, u"8613812345678"_s},
        {u"23812345678"_s, u"23812345678"_s},
        {u"1381234567"_s, u"1381234567"_s},
        {u"1381234567a"_s, u"1381234567a"_s},
        {u"138.1234.5678"_s, u"138.1234.5678"_s},
        // Full-width digits are numerals too.
        {u"１３８１２３４５６７８"_s.replace(0, 1, u"1"_s), u"+861３８１２３４５６７８"_s},
        // Numerals outside the basic plane count as one character each, not two.
        {u"1𝟑𝟖𝟏𝟐𝟑𝟒𝟓𝟔𝟕𝟖"_s, u"+861𝟑𝟖𝟏𝟐𝟑𝟒𝟓𝟔𝟕𝟖"_s},
        // Numeric as the account screens judge it: numeric ideographs count, and a digit with a
        // combining mark is one character.
        {u"1三八一二三四五六七八"_s, u"+861三八一二三四五六七八"_s},
        {u"1381234567\u0038\u0301"_s, u"+861381234567\u0038\u0301"_s},
        {u""_s, u""_s},
        {u"   "_s, u""_s},
    };
    for (const auto &[input, expected] : cases) {
        EXPECT_EQ(CloudSyncClient::normalizeMainlandPhoneNumber(input), expected) << input.toStdString();
    }
}

TEST(CloudSyncClient, BaseURLsAreTrimmedOfBlanksThenSlashes)
{
    const std::pair<QString, QString> cases[] = {
        {u"  https://sync.example.org/\n"_s, u"https://sync.example.org"_s},
        {u"https://sync.example.org/api/v1//"_s, u"https://sync.example.org/api/v1"_s},
        {u"/"_s, u""_s},
        {u"   "_s, u""_s},
        {u" / https://x / "_s, u" https://x "_s},
    };
    for (const auto &[input, expected] : cases) {
        EXPECT_EQ(CloudSyncClient::normalizeBaseURL(input), expected) << input.toStdString();
    }

    InMemoryUserDefaults defaults;
    EXPECT_EQ(normalizedCloudBaseURL(defaults), u"https://api.quorvin.invalid"_s);
    defaults.setString(u"Quorvin.CloudBaseURL"_s, u"  http://127.0.0.1:8080/ "_s);
    EXPECT_EQ(normalizedCloudBaseURL(defaults), u"http://127.0.0.1:8080"_s);
    for (const QString &blank : {u"/"_s, u"   "_s, u""_s}) {
        defaults.setString(u"Quorvin.CloudBaseURL"_s, blank);
        EXPECT_EQ(normalizedCloudBaseURL(defaults), QString());
    }

    struct UnusedSession final : HttpSession {
        QCoro::Task<HttpResponse> send(HttpRequest) override { co_return HttpResponse {}; }
    } unused;
    const CloudSyncClient client(u" https://a.example/ "_s, u"  tok/en \n"_s, unused);
    EXPECT_EQ(client.baseURL(), u"https://a.example"_s);
    EXPECT_EQ(client.authToken(), u"tok/en"_s);
}
