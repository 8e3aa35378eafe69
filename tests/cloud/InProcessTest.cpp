#include "cloud/CloudHTTPError.h"
#include "cloud/CloudSyncClient.h"
#include "platform/concurrency/ManualClock.h"
#include "platform/http/TransportError.h"
#include "support/cloudserver/CloudServer.h"
#include "support/cloudserver/InProcessHttpSession.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonObject>

using namespace quorvin;
using namespace quorvin::test;
using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;

namespace {

class InProcessTest : public ::testing::Test {
protected:
    InProcessTest()
    {
        userId = server.createUser(u"+8613812345678"_s);
        token = server.createSession(userId, u"mqv"_s, u"dev-1"_s);
    }

    CloudSyncClient client(const QString &withToken)
    {
        return CloudSyncClient(InProcessHttpSession::baseUrl(), withToken, http, clock);
    }
    CloudSyncClient client() { return client(token); }

    // Runs the task in virtual time and tells how it ended and when.
    template <typename T> std::pair<std::optional<TransportError::Kind>, qint64> outcome(QCoro::Task<T> task)
    {
        const QDateTime start = clock.now();
        std::optional<TransportError::Kind> kind;
        try {
            runInVirtualTime(clock, std::move(task), 10min);
        } catch (const TransportError &error) {
            kind = error.kind();
        }
        return {kind, start.msecsTo(clock.now())};
    }

    ManualClock clock;
    CloudServer server {clock};
    InProcessHttpSession http {server, clock};
    QString userId;
    QString token;
};

QCoro::Task<void> after(ManualClock &clock, std::chrono::milliseconds delay, std::function<void()> action)
{
    co_await clock.sleep(delay);
    action();
}

CloudResponse waitAnswer(bool changed)
{
    return CloudResponse::json(
        {{u"changed"_s, changed}, {u"current_cursor"_s, u"c9"_s}, {u"generated_at"_s, u"2026-01-05T09:00:00.000Z"_s}});
}

} // namespace

TEST_F(InProcessTest, DelaysHangsAndCancellationRunInVirtualTime)
{
    // A delay inside the time-out answers after exactly that delay.
    server.addFault(u"GET"_s, u"/auth/session"_s, CloudFault::delayed(10s));
    auto [kind, elapsed] = outcome(client().currentSession());
    EXPECT_FALSE(kind.has_value());
    EXPECT_EQ(elapsed, 10000);

    // A longer delay, or a hang, ends at the request's own time-out.
    server.addFault(u"GET"_s, u"/auth/session"_s, CloudFault::delayed(20s));
    std::tie(kind, elapsed) = outcome(client().currentSession());
    EXPECT_EQ(kind, TransportError::Kind::TimedOut);
    EXPECT_EQ(elapsed, 15000);

    server.addFault(u"GET"_s, u"/sync/wait"_s, CloudFault::hanging());
    std::tie(kind, elapsed) = outcome(client().waitForChange(std::nullopt, std::nullopt, 1500));
    EXPECT_EQ(kind, TransportError::Kind::TimedOut);
    EXPECT_EQ(elapsed, 6500);

    server.addFault(u"POST"_s, u"/auth/avatar"_s, CloudFault::hanging());
    std::tie(kind, elapsed) = outcome(client().uploadCloudAvatar(u"image/jpeg"_s, u"QUJD"_s));
    EXPECT_EQ(kind, TransportError::Kind::TimedOut);
    EXPECT_EQ(elapsed, 30000);

    // Cancelling a held request ends it at once, as cancelled.
    server.addFault(u"GET"_s, u"/sync/wait"_s, CloudFault::hanging());
    CancelSource cancel;
    auto canceller = after(clock, 3s, [cancel]() mutable { cancel.cancel(); });
    std::tie(kind, elapsed) = outcome(client().waitForChange(std::nullopt, std::nullopt, 25000, cancel.token()));
    EXPECT_EQ(kind, TransportError::Kind::Cancelled);
    EXPECT_EQ(elapsed, 3000);

    server.addFault(u"GET"_s, u"/auth/devices"_s, CloudFault::dropped());
    std::tie(kind, elapsed) = outcome(client().devices());
    EXPECT_EQ(kind, TransportError::Kind::ConnectionLost);
}

TEST_F(InProcessTest, HeldLongPollAnswersOnAChangeOrWhenItsWaitRunsOut)
{
    server.authenticatedRoute(u"GET"_s, u"/sync/wait"_s, [this](const CloudRequest &request, CloudServerSession &) {
        const quint64 seen = server.changeGeneration();
        const auto wait = std::chrono::milliseconds(request.queryValue(u"timeout_ms"_s).value_or(u"0"_s).toLongLong());
        return CloudResponse::later(wait, [this, seen](bool timedOut) -> std::optional<CloudResponse> {
            if (server.changeGeneration() != seen) {
                return waitAnswer(true);
            }
            if (timedOut) {
                return waitAnswer(false);
            }
            return std::nullopt;
        });
    });

    auto changer = after(clock, 7s, [this] { server.notifyChanged(); });
    QDateTime start = clock.now();
    CloudSyncWaitResponse answer = runInVirtualTime(clock, client().waitForChange(u"c1"_s, std::nullopt, 25000));
    EXPECT_TRUE(answer.changed);
    EXPECT_EQ(start.msecsTo(clock.now()), 7000);
    EXPECT_EQ(server.journal().last().status, 200);

    start = clock.now();
    answer = runInVirtualTime(clock, client().waitForChange(u"c9"_s, std::nullopt, 25000));
    EXPECT_FALSE(answer.changed);
    EXPECT_EQ(start.msecsTo(clock.now()), 25000);
}

TEST_F(InProcessTest, AccountLifeFromCodeToLogoutReadsTheServiceMessages)
{
    const QString phone = u"138 1234 5678"_s;
    const CloudSyncClient anonymous = client(u""_s);

    const auto code = runInVirtualTime(clock, anonymous.requestPhoneLoginCode(phone));
    ASSERT_TRUE(code.dev_code.has_value());
    EXPECT_EQ(server.lastSmsCode(u"+8613812345678"_s), *code.dev_code);
    const auto login = runInVirtualTime(
        clock, anonymous.loginWithPhoneCode(phone, code.challenge_id, *code.dev_code, u"mqv"_s, u"dev-2"_s));
    EXPECT_EQ(login.user_id, userId);

    // The used code cannot sign in twice.
    try {
        runInVirtualTime(clock, anonymous.loginWithPhoneCode(phone, code.challenge_id, *code.dev_code, u"mqv"_s));
        ADD_FAILURE() << "a used code signed in";
    } catch (const CloudHTTPError &error) {
        EXPECT_EQ(error.description(), u"手机号验证码已使用（HTTP 400）"_s);
    }

    const auto exchanged = runInVirtualTime(
        clock, client(login.access_token).exchangeCloudSession(u"mqv"_s, u"dev-2"_s, u"Mac"_s, u"macos"_s, u"1.0"_s));
    const CloudSyncClient mac = client(exchanged.access_token);
    ASSERT_TRUE(login.session.session_id.has_value());
    runInVirtualTime(clock, mac.revokeCloudDeviceSession(*login.session.session_id));
    const auto devices = runInVirtualTime(clock, mac.devices());
    QStringList sessions;
    for (const auto &session : devices.sessions) {
        sessions.append(session.session_id.value_or(QString()));
    }
    EXPECT_EQ(sessions.size(), 2); // the first session of the fixture and the Mac's
    EXPECT_FALSE(sessions.contains(*login.session.session_id));

    const auto expectMessage = [&](auto task, const QString &message) {
        try {
            runInVirtualTime(clock, std::move(task));
            ADD_FAILURE() << "no error for " << message.toStdString();
        } catch (const CloudHTTPError &error) {
            EXPECT_EQ(error.description(), message);
        }
    };
    expectMessage(mac.revokeCloudDeviceSession(*exchanged.session.session_id),
        u"不能在设备列表中移除当前设备，请使用退出账号（HTTP 400）"_s);
    expectMessage(anonymous.loginWithPassword(phone, u"abc12345x"_s, u"mqv"_s),
        u"该账号还没有设置密码，请先用验证码登录（HTTP 400）"_s);
    CloudUserProfileUpdateRequest password;
    password.new_password = u"quorvin2026"_s;
    expectMessage(mac.updateProfile(password), u"请先完成手机号验证码验证后再修改密码（HTTP 403）"_s);

    const auto check = runInVirtualTime(clock, anonymous.requestPhoneLoginCode(phone));
    runInVirtualTime(clock, mac.verifyLinkedPhoneCode(phone, check.challenge_id, *check.dev_code));
    EXPECT_EQ(runInVirtualTime(clock, mac.updateProfile(password)).profile.password_set, true);
    runInVirtualTime(clock, anonymous.loginWithPassword(phone, u"quorvin2026"_s, u"mqv"_s));
    expectMessage(anonymous.loginWithPassword(phone, u"wrong-pass1"_s, u"mqv"_s), u"手机号或密码不正确（HTTP 401）"_s);

    runInVirtualTime(clock, mac.logout());
    expectMessage(mac.currentSession(), u"服务器登录已失效，请重新登录（HTTP 401）"_s);
    expectMessage(anonymous.currentSession(), u"服务器登录已失效，请重新登录（HTTP 401）"_s);
}

TEST_F(InProcessTest, OnlyStatuses200To299AreSuccessAndAnAnswerWithoutAStatusIsRefused)
{
    const std::pair<int, std::optional<QString>> cases[] = {
        {199, u"HTTP 199"_s},
        {200, std::nullopt},
        {299, std::nullopt},
        {300, u"HTTP 300"_s},
        {304, u"HTTP 304"_s},
        {404, u"HTTP 404"_s},
        {599, u"HTTP 599"_s},
    };
    for (const auto &[status, error] : cases) {
        server.failNext(1, CloudFault::answer(status));
        try {
            EXPECT_EQ(
                runInVirtualTime(clock, client().request<QString>(u"/auth/logout"_s, u"POST"_s, std::nullopt, 15)),
                QString());
            EXPECT_FALSE(error.has_value()) << status;
        } catch (const CloudHTTPError &failure) {
            EXPECT_EQ(failure.code(), status);
            EXPECT_EQ(std::optional<QString>(failure.description()), error);
        }
    }

    // A stack that yields no HTTP status at all.
    struct NoStatus final : HttpSession {
        QCoro::Task<HttpResponse> send(HttpRequest) override { co_return HttpResponse {}; }
    } noStatus;
    try {
        runInVirtualTime(clock, CloudSyncClient(u"http://x.test"_s, u""_s, noStatus).logout());
        ADD_FAILURE() << "an answer without a status succeeded";
    } catch (const TransportError &failure) {
        EXPECT_EQ(failure.kind(), TransportError::Kind::BadServerResponse);
    }
}

TEST_F(InProcessTest, SignInsAndTheExchangeSendTheApplicationVersionOnlyWhenTheAppHasOne)
{
    const QString before = QCoreApplication::applicationVersion();
    const auto sentVersion = [this](const QString &appVersion) -> std::optional<QJsonValue> {
        QCoreApplication::setApplicationVersion(appVersion);
        const QByteArray login = R"({"access_token":"t","user_id":"u1","identity":{},"session":{}})";
        std::optional<QJsonValue> version;
        server.failNext(1, CloudFault::answer(200, login));
        runInVirtualTime(clock, client(u""_s).loginWithPassword(u"13812345678"_s, u"pw"_s, u"mqv"_s));
        const QJsonObject password = server.lastRequest()->request.jsonBody();
        server.failNext(1, CloudFault::answer(200, login));
        runInVirtualTime(clock, client(u""_s).loginWithPhoneCode(u"13812345678"_s, u"c"_s, u"123456"_s, u"mqv"_s));
        const QJsonObject code = server.lastRequest()->request.jsonBody();
        server.failNext(1, CloudFault::answer(200, R"({"access_token":"t2","user_id":"u1","session":{}})"));
        runInVirtualTime(clock, client().exchangeCloudSession(u"mqv"_s));
        const QJsonObject exchange = server.lastRequest()->request.jsonBody();
        EXPECT_EQ(password.value(u"app_version"_s), code.value(u"app_version"_s));
        EXPECT_EQ(password.value(u"app_version"_s), exchange.value(u"app_version"_s));
        if (password.contains(u"app_version"_s)) {
            version = password.value(u"app_version"_s);
        }
        return version;
    };
    EXPECT_EQ(sentVersion(u"3.4.1"_s), QJsonValue(u"3.4.1"_s));
    EXPECT_EQ(sentVersion(QString()), std::nullopt);
    QCoreApplication::setApplicationVersion(before);
}
