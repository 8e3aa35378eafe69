#include "AccountFixture.h"
#include "account/Strings.h"
#include "cloud/ReadableHTTPError.h"
#include "platform/http/QtHttpSession.h"
#include "support/cloudserver/CloudFault.h"
#include "support/cloudserver/LoopbackCloudServer.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace quorvin::test {
namespace {

const CloudServerSession *otherSession(CloudServer &server, const QString &userId, const QString &token)
{
    for (const CloudServerSession &session : server.sessionsOf(userId)) {
        if (session.token != token) {
            return server.sessionById(session.sessionId);
        }
    }
    return nullptr;
}

// Code request, code login, the exchange for a session of this machine and the end of the login
// session, as the login view drives them.
TEST(AccountSignIn, ByCodeGetsThisMachinesOwnSessionAndEndsTheLoginSession)
{
    AccountFixture f;
    f.useService();
    f.build();

    f.account->requestCloudPhoneCode(u" 138 1234 5678 "_s);
    EXPECT_TRUE(f.account->isCloudPhoneCodeRequesting()) << "a view sees the request at once";
    EXPECT_EQ(f.account->cloudPhoneLoginStatus(), u"正在发送验证码"_s);
    f.account->requestCloudPhoneCode(u"13812345678"_s);
    f.settle();
    EXPECT_FALSE(f.account->isCloudPhoneCodeRequesting());
    EXPECT_EQ(f.server.journalFor(u"/auth/phone/code/request"_s).size(), 1) << "a second press is ignored";
    const QString code = f.server.lastSmsCode(f.phone).value_or(QString());
    EXPECT_EQ(f.account->cloudPhoneCodeHint(), u"开发验证码："_s + code);
    EXPECT_EQ(f.account->cloudPhoneLoginStatus(),
        AccountText::cloudPhoneCodeSmsHint + u" 有效期至 2026-01-05 09:05:00.000"_s);

    f.account->verifyCloudPhoneCode(u"13812345678"_s, u" "_s + code);
    EXPECT_TRUE(f.account->isCloudPhoneCodeVerifying());
    f.settle();
    EXPECT_FALSE(f.account->isCloudPhoneCodeVerifying());

    const QString userId = f.server.userByPhone(f.phone)->userId;
    const CloudServerSession *mac = f.server.sessionByToken(f.account->cloudAuthToken());
    ASSERT_NE(mac, nullptr);
    EXPECT_TRUE(mac->isActive());
    EXPECT_EQ(mac->deviceId, f.account->mqvCloudDeviceID(userId));
    EXPECT_TRUE(mac->deviceId.startsWith(u"mqv_machine_"_s));
    EXPECT_EQ(mac->deviceLabel, u"ThinkPad X1 Carbon Gen 11 Intel(R) Core(TM) i7-1365U"_s);
    EXPECT_EQ(mac->platform, u"macos"_s);
    const CloudServerSession *login = otherSession(f.server, userId, mac->token);
    ASSERT_NE(login, nullptr);
    EXPECT_FALSE(login->isActive()) << "the login session is revoked";
    const auto revokes = f.server.journalFor(u"/auth/devices/"_s + login->sessionId);
    ASSERT_EQ(revokes.size(), 1);
    EXPECT_EQ(revokes.first().request.bearerToken(), mac->token) << "with the new token";
    EXPECT_FALSE(f.server.journalFor(u"/auth/phone/code/verify"_s).first().request.jsonBody().contains("device_id"_L1))
        << "the login names no device; only the exchange does";

    EXPECT_EQ(f.account->cloudUserID(), userId);
    EXPECT_EQ(f.account->cloudSessionID(), mac->sessionId);
    EXPECT_EQ(f.account->cloudPhoneNumber(), u"13812345678"_s);
    EXPECT_TRUE(f.account->cloudPhoneLinked());
    EXPECT_TRUE(f.account->cloudPhoneChallengeID().isEmpty());
    EXPECT_TRUE(f.account->cloudPhoneCodeHint().isEmpty());
    EXPECT_EQ(f.account->cloudPhoneLoginStatus(), u"手机号已登录"_s);
    EXPECT_EQ(f.account->cloudDeviceSessions().size(), 1) << "the device list is loaded";
    EXPECT_EQ(f.owner.triggers, QStringList {u"cloud-phone-login"_s});
    EXPECT_EQ(f.owner.realtimeWaitStarts, 1);
    EXPECT_EQ(f.owner.statuses.last(), u"success: 手机号已登录"_s);
    EXPECT_EQ(f.activityLog.activityLogs().first().summary, u"手机号已登录"_s);
}

TEST(AccountSignIn, ByPasswordKeepsTheLoginTokenWhenTheExchangeFails)
{
    AccountFixture f;
    f.useService();
    f.build();
    const QString userId = f.server.createUser(f.phone, u"secret123"_s);

    f.account->loginWithCloudPassword(f.phone, u"wrong-one"_s);
    f.settle();
    EXPECT_TRUE(f.account->cloudAuthToken().isEmpty());
    EXPECT_EQ(f.account->cloudPhoneLoginStatus(), u"手机号或密码不正确（HTTP 401）"_s);
    EXPECT_EQ(f.owner.statuses.last(), u"failure: 密码登录失败"_s);

    f.server.addFault(u"POST"_s, u"/auth/session/exchange"_s, CloudFault::answer(503, R"({"error":"busy"})"));
    f.account->loginWithCloudPassword(u" 13812345678 "_s, u"secret123"_s);
    EXPECT_TRUE(f.account->isCloudPasswordLoggingIn());
    f.settle();
    EXPECT_FALSE(f.account->isCloudPasswordLoggingIn());
    const CloudServerSession *login = f.server.sessionByToken(f.account->cloudAuthToken());
    ASSERT_NE(login, nullptr) << "the login token is stored instead";
    EXPECT_TRUE(login->isActive()) << "and its session is kept";
    EXPECT_EQ(f.account->cloudUserID(), userId);
    EXPECT_TRUE(f.logged(u"Cloud phone login session exchange failed -> using login session: "_s
        + readableHTTPErrorMessage(503, uR"({"error":"busy"})"_s)));
    EXPECT_EQ(f.account->cloudPhoneLoginStatus(), u"手机号已登录"_s);
    EXPECT_EQ(f.owner.statuses.last(), u"success: 手机号密码已登录"_s);
    EXPECT_EQ(f.owner.triggers, QStringList {u"cloud-phone-login"_s});
}

// A token the user supplies: exchanged for a session of this machine, kept as given when the
// exchange fails, and a blank one signs out.
TEST(AccountSignIn, SuppliedTokenIsExchangedOrKeptAsGiven)
{
    AccountFixture f;
    f.useService();
    f.build();
    const QString userId = f.server.createUser(f.phone);
    const QString pasted = f.server.createSession(userId, u"hqv"_s);

    f.account->updateCloudAuthToken(u"Bearer \""_s + pasted + u"\""_s);
    f.settle();
    EXPECT_NE(f.account->cloudAuthToken(), pasted);
    const CloudServerSession *mac = f.server.sessionByToken(f.account->cloudAuthToken());
    ASSERT_NE(mac, nullptr);
    EXPECT_EQ(mac->clientKind, u"mqv"_s);
    EXPECT_EQ(f.account->cloudSessionID(), mac->sessionId);
    EXPECT_TRUE(f.server.sessionByToken(pasted)->isActive()) << "a supplied session is not ended";
    EXPECT_EQ(f.owner.triggers, QStringList {u"cloud-auth-token-exchanged"_s});

    f.server.addFault(u"POST"_s, u"/auth/session/exchange"_s, CloudFault::answer(500));
    f.account->updateCloudAuthToken(pasted);
    f.settle();
    EXPECT_EQ(f.account->cloudAuthToken(), pasted);
    EXPECT_TRUE(f.logged(u"Cloud device context updated [cloud-auth-token-fallback-session] label=ThinkPad X1 Carbon "
                         u"Gen 11 Intel(R) Core(TM) i7-1365U"_s))
        << "the session is refreshed with the supplied token";
    EXPECT_EQ(f.owner.triggers.last(), u"cloud-auth-token-updated"_s);

    f.account->updateCloudAuthToken(u" \n"_s);
    EXPECT_TRUE(f.account->cloudAuthToken().isEmpty());
    EXPECT_TRUE(f.account->cloudUserID().isEmpty());
    EXPECT_TRUE(f.newestLogLine().endsWith(u"] Cloud auth token cleared -> reset cloud cursors and mappings"_s));
}

// The same sign-in over a real socket and the application's own network session.
TEST(AccountSignIn, OverTheLoopbackListenerWithTheRealHttpSession)
{
    AccountFixture f;
    LoopbackCloudServer listener(f.server);
    ASSERT_TRUE(listener.start());
    f.defaults.setString(u"Quorvin.CloudBaseURL"_s, listener.baseUrl());
    f.server.createUser(f.phone, u"secret123"_s);
    QtHttpSession http;
    f.syncState = std::make_unique<CloudSyncState>(f.defaults, f.log);
    CloudAccount account(f.defaults, *f.syncState, f.log, f.activityLog, f.owner, http, f.clock, f.deviceSource);

    account.loginWithCloudPassword(f.phone, u"secret123"_s);
    QElapsedTimer elapsed;
    elapsed.start();
    while (account.isCloudPasswordLoggingIn() && elapsed.elapsed() < 20000) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    EXPECT_FALSE(account.isCloudPasswordLoggingIn());
    const CloudServerSession *mac = f.server.sessionByToken(account.cloudAuthToken());
    ASSERT_NE(mac, nullptr);
    EXPECT_EQ(mac->clientKind, u"mqv"_s);
    EXPECT_EQ(account.cloudPhoneLoginStatus(), u"手机号已登录"_s);
    EXPECT_EQ(f.owner.triggers, QStringList {u"cloud-phone-login"_s});
    listener.stop();
}

} // namespace
} // namespace quorvin::test

namespace quorvin::test {
namespace {

// A login answer without a token signs nobody in, so it is the failure it is and keeps nothing.
TEST(AccountSignIn, AnswerWithoutATokenIsAFailedLoginThatStoresNothing)
{
    AccountFixture f;
    f.useService();
    f.build();
    f.server.createUser(f.phone, u"secret123"_s);
    f.server.addFault(u"POST"_s, u"/auth/password/login"_s,
        CloudFault::answer(200,
            R"({"access_token":"  ","user_id":"user-9","identity":{"identity_id":"i-1","provider":"phone"},)"
            R"("session":{"session_id":"s-1"}})"));
    f.account->loginWithCloudPassword(f.phone, u"secret123"_s);
    f.settle();
    EXPECT_FALSE(f.account->isCloudPasswordLoggingIn());
    EXPECT_TRUE(f.account->cloudAuthToken().isEmpty());
    EXPECT_TRUE(f.account->cloudUserID().isEmpty());
    EXPECT_TRUE(f.account->cloudSessionID().isEmpty());
    EXPECT_TRUE(f.account->cloudPhoneNumber().isEmpty());
    EXPECT_EQ(f.account->cloudPhoneLoginStatus(), u"Cloud login returned empty access token"_s);
    EXPECT_TRUE(f.logged(u"Cloud password login failed: Cloud login returned empty access token"_s));
    EXPECT_EQ(f.owner.statuses.last(), u"failure: 密码登录失败"_s);
    EXPECT_TRUE(f.activityLog.activityLogs().isEmpty());
    EXPECT_TRUE(f.owner.triggers.isEmpty());
}

} // namespace
} // namespace quorvin::test
