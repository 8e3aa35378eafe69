#include "AccountFixture.h"
#include "AvatarPictures.h"
#include "cloud/CloudHTTPError.h"
#include "cloud/ReadableHTTPError.h"
#include "support/cloudserver/CloudFault.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace quorvin::test {
namespace {

const QString sessionEnded = u"failure: 云账号会话已失效，已清除本机同步状态"_s;

QString invalidTokenError()
{
    return readableHTTPErrorMessage(401, uR"({"error":"invalid authentication token"})"_s);
}

// Signed in with cursors and mappings held, then the session is revoked on the service.
void revokedSession(AccountFixture &f)
{
    f.signIn(u"first1234"_s);
    f.holdSyncState();
    f.server.revokeSession(f.server.sessionByToken(f.token)->sessionId);
}

// A 401 of the session, device, profile or avatar requests ends the session here; the password
// change, the phone link and the deletion only report it.
TEST(AccountSession, A401EndsTheSessionOnlyWhereTheAccessFailureIsConsulted)
{
    QTemporaryDir dir;
    QFile picture(dir.filePath(u"me.png"_s));
    ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
    picture.write(pngWithOrientation(halves(QSize(8, 8), Qt::blue), 1));
    picture.close();

    const std::vector<std::pair<QString, std::function<void(AccountFixture &)>>> ending {
        {u"startup"_s, [](AccountFixture &f) { f.account->refreshCloudSession(u"startup"_s); }},
        {u"manual-refresh-devices"_s, [](AccountFixture &f) { f.account->refreshCloudDevices(); }},
        {u"manual-refresh"_s, [](AccountFixture &f) { f.account->refreshCloudDevices(u"manual-refresh"_s, true); }},
        {u"device-revoke"_s, [](AccountFixture &f) { f.account->revokeCloudDeviceSession(u"other"_s); }},
        {u"account-popover"_s, [](AccountFixture &f) { f.account->refreshCloudProfileSilently(); }},
        {u"cloud-profile-update"_s, [](AccountFixture &f) { f.account->updateCloudProfile(u"Li"_s, {}); }},
        {u"cloud-avatar-upload"_s,
            [&](AccountFixture &f) { f.account->uploadCloudAvatar(QUrl::fromLocalFile(picture.fileName())); }},
    };
    for (const auto &[trigger, run] : ending) {
        SCOPED_TRACE(trigger.toStdString());
        AccountFixture f;
        revokedSession(f);
        run(f);
        f.settle();
        EXPECT_TRUE(f.account->cloudAuthToken().isEmpty());
        EXPECT_TRUE(f.account->cloudUserID().isEmpty());
        EXPECT_FALSE(f.syncState->holdsState());
        // (The manual device refresh then goes on to the list, which reports the missing token.)
        EXPECT_TRUE(f.owner.statuses.contains(sessionEnded));
        EXPECT_TRUE(f.logged(u"Cloud auth token invalid or revoked ["_s + trigger
            + u"] -> local account and cloud sync state cleared"_s));
        if (trigger == u"cloud-profile-update"_s || trigger == u"cloud-avatar-upload"_s) {
            EXPECT_EQ(f.account->cloudProfileStatus(), u"服务器会话已失效，请重新登录"_s);
        }
    }

    AccountFixture f;
    revokedSession(f);
    f.account->updateCloudPassword(u"second123"_s, u"first1234"_s, {}, {}, false);
    f.settle();
    EXPECT_EQ(f.account->cloudProfileStatus(), invalidTokenError());
    f.account->setCloudPhoneChallengeID(u"challenge"_s);
    f.account->linkCloudPhoneCode(u"13900001111"_s, u"123456"_s);
    f.settle();
    EXPECT_EQ(f.account->cloudPhoneLoginStatus(), invalidTokenError());
    EXPECT_THROW(
        runInVirtualTime(f.clock, f.account->deleteCloudAccount(f.phone, u"c"_s, u"123456"_s, u"x"_s)), CloudHTTPError);
    EXPECT_EQ(f.account->cloudAuthToken(), f.token);
    EXPECT_TRUE(f.syncState->holdsState());
}

// An answer that arrives after the token changed belongs to another account: it is dropped, and
// its task only clears its own busy flag. Here the late answers are a 401 and a device list.
TEST(AccountSession, ALateAnswerNeverLandsInAnotherAccount)
{
    AccountFixture f;
    f.signIn();
    const QString otherUser = f.server.createUser(u"+8613900001111"_s);
    const QString otherToken = f.server.createSession(otherUser, u"mqv"_s);
    f.server.createSession(f.userId, u"hqv"_s);
    f.server.addFault(u"GET"_s, u"/auth/devices"_s, CloudFault::delayed(10s));
    f.server.addFault(u"GET"_s, u"/auth/profile"_s, CloudFault::delayed(10s));
    ASSERT_EQ(f.account->cloudDeviceSessions().size(), 1);

    runInVirtualTime(f.clock, [&]() -> QCoro::Task<void> {
        // The list is answered (two sessions), then the session is revoked and the profile refused.
        auto devices = f.account->refreshCloudDevices(u"manual-refresh"_s, true);
        f.server.revokeSession(f.server.sessionByToken(f.token)->sessionId);
        auto profile = f.account->refreshCloudProfile(u"account-popover"_s, true);
        EXPECT_TRUE(f.account->isCloudDevicesRefreshing());
        EXPECT_TRUE(f.account->isCloudProfileRefreshing());
        f.account->applyCloudAuthToken(otherToken, u"signed in elsewhere"_s);
        co_await std::move(devices);
        co_await std::move(profile);
    }());

    EXPECT_EQ(f.account->cloudAuthToken(), otherToken) << "the old session's 401 ends nothing";
    EXPECT_FALSE(f.account->isCloudDevicesRefreshing());
    EXPECT_FALSE(f.account->isCloudProfileRefreshing());
    EXPECT_EQ(f.account->cloudDeviceSessions().size(), 1) << "the old account's late list stays out";
    EXPECT_TRUE(f.account->cloudProfileStatus().isEmpty());
    EXPECT_TRUE(f.owner.statuses.isEmpty() || f.owner.statuses.last() != sessionEnded);
    EXPECT_FALSE(f.logged(u"Cloud auth token invalid or revoked [account-popover] -> local account and cloud sync "
                          u"state cleared"_s));
}

// The account's rules around its session: a start with a token other than the one whose state is
// held clears that state; only a 401 ends the session (a 403 is reported and changes nothing); the
// code request logs the phone masked; an account without a password proves a new one by phone
// code even when the user did not ask for it; a sign-out forgets the stored phone, and a session
// check or avatar upload answered after it lands nowhere.
TEST(AccountSession, StartSignOutAndLateAnswerRules)
{
    QTemporaryDir dir;
    QFile picture(dir.filePath(u"me.png"_s));
    ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
    picture.write(pngWithOrientation(halves(QSize(8, 8), Qt::blue), 1));
    picture.close();

    AccountFixture f;
    f.signIn();
    f.holdSyncState();
    const QString nextToken = f.server.createSession(f.userId, u"mqv"_s, u"mqv_machine_next"_s);
    f.defaults.setString(u"Quorvin.CloudAuthToken"_s, u" "_s + nextToken + u"\n"_s);
    f.build();
    f.account->normalizePersistedCloudAuthTokenIfNeeded();
    f.account->reconcileCloudSyncStateWithAuthToken();
    EXPECT_FALSE(f.syncState->holdsState()) << "the cursors and mappings were another token's";
    EXPECT_TRUE(f.syncState->cloudPushCursorNeedsRebase());
    EXPECT_EQ(f.defaults.string(u"Quorvin.CloudAuthTokenMarker"_s), CloudAccount::cloudAuthTokenMarkerValue(nextToken));

    f.server.addFault(u"GET"_s, u"/auth/session"_s, CloudFault::answer(403));
    runInVirtualTime(f.clock, f.account->refreshCloudSession(u"startup"_s));
    EXPECT_EQ(f.account->cloudAuthToken(), nextToken);
    EXPECT_EQ(f.account->cloudUserID(), f.userId);
    EXPECT_EQ(f.owner.statuses.last(), u"failure: 云账号校验失败"_s);

    ASSERT_FALSE(f.account->cloudProfilePasswordSet());
    f.account->requestCloudPhoneCode(f.phone);
    f.settle();
    EXPECT_TRUE(f.logged(u"Cloud phone code requested for +86138****5678"_s));
    const QString code = f.server.lastSmsCode(f.phone).value_or(QString());
    f.account->updateCloudPassword(u"first1234"_s, {}, f.phone, code, false);
    EXPECT_EQ(f.account->cloudProfileStatus(), u"正在验证手机号"_s);
    f.settle();
    EXPECT_EQ(f.server.user(f.userId)->password, u"first1234"_s);
    EXPECT_FALSE(f.server.journalFor(u"/auth/profile"_s).last().request.jsonBody().contains("current_password"_L1));

    f.account->rememberCloudPhoneNumber(f.phone);
    ASSERT_TRUE(f.defaults.contains(u"Quorvin.CloudPhoneNumber"_s));
    f.server.addFault(u"GET"_s, u"/auth/session"_s, CloudFault::delayed(10s));
    f.server.addFault(u"POST"_s, u"/auth/avatar"_s, CloudFault::delayed(10s));
    runInVirtualTime(f.clock, [&]() -> QCoro::Task<void> {
        auto session = f.account->refreshCloudSession(u"cloud-auth-token-updated"_s);
        f.account->uploadCloudAvatar(QUrl::fromLocalFile(picture.fileName()));
        f.account->updateCloudAuthToken(QString());
        co_await std::move(session);
    }());
    f.clock.advance(15s);
    EXPECT_FALSE(f.account->isCloudProfileSaving());
    EXPECT_TRUE(f.account->cloudUserID().isEmpty());
    EXPECT_FALSE(f.defaults.contains(u"Quorvin.CloudUserID"_s));
    EXPECT_TRUE(f.account->cloudProfileAvatarURL().isEmpty());
    EXPECT_TRUE(
        f.activityLog.activityLogs().isEmpty() || f.activityLog.activityLogs().first().summary != u"头像已保存"_s);
    EXPECT_TRUE(f.account->cloudPhoneNumber().isEmpty());
    EXPECT_FALSE(f.defaults.contains(u"Quorvin.CloudPhoneNumber"_s));
}

} // namespace
} // namespace quorvin::test
