#include "AccountFixture.h"
#include "AvatarPictures.h"
#include "cloud/ReadableHTTPError.h"
#include "model/SyncError.h"
#include "support/cloudserver/CloudFault.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace quorvin::test {
namespace {

QString expectedError(int status, const QString &message)
{
    return readableHTTPErrorMessage(status, u"{\"error\":\""_s + message + u"\"}"_s);
}

TEST(AccountOperations, DevicesListTheAccountAndRemoveOnlyAnotherDevice)
{
    AccountFixture f;
    f.signIn();
    const QString phoneToken = f.server.createSession(f.userId, u"hqv"_s, u"phone-1"_s, u"Mate 60"_s, u"harmonyos"_s);
    const QString phoneSession = f.server.sessionByToken(phoneToken)->sessionId;
    EXPECT_EQ(f.server.sessionByToken(f.token)->deviceId, f.account->mqvCloudDeviceID(f.userId))
        << "the session refresh registered this machine";
    EXPECT_EQ(f.account->cloudSessionDeviceID(), f.account->mqvCloudDeviceID(f.userId));
    // Own edits are told by the session's device id, or else by the id this machine presents.
    const QString sessionID = f.account->cloudSessionID();
    f.account->applyCurrentCloudDeviceSession(CloudDeviceSessionPayload {.device_id = u" mqv_machine_session "_s});
    EXPECT_EQ(f.account->currentCloudDeviceIDForOwnEdits(), u"mqv_machine_session"_s);
    f.account->applyCloudSession(CloudAuthSessionResponse {f.userId, std::nullopt, std::nullopt,
        CloudSessionPayload {.session_id = sessionID, .client_kind = f.account->cloudSessionClientKind()}});
    EXPECT_EQ(f.account->currentCloudDeviceIDForOwnEdits(), f.account->mqvCloudDeviceID(f.userId));

    f.account->refreshCloudDevices();
    f.settle();
    EXPECT_EQ(f.account->cloudDeviceSessions().size(), 2);
    EXPECT_TRUE(f.logged(u"Cloud devices refreshed [manual-refresh] count=2"_s));
    EXPECT_EQ(f.owner.statuses.last(), u"success: 云端设备已刷新"_s);

    // Guards, in their order: a blank id, this machine's own session, then the removal itself.
    const qsizetype requests = f.server.journal().size();
    f.account->revokeCloudDeviceSession(u"  "_s);
    f.account->revokeCloudDeviceSession(u" "_s + f.account->cloudSessionID() + u" "_s);
    EXPECT_EQ(f.owner.statuses.last(), u"failure: 不能移除当前设备"_s);
    EXPECT_EQ(f.server.journal().size(), requests);

    f.account->revokeCloudDeviceSession(phoneSession);
    EXPECT_EQ(f.account->cloudDeviceRevokingSessionID(), phoneSession);
    f.account->revokeCloudDeviceSession(u"another"_s);
    f.settle();
    EXPECT_FALSE(f.server.sessionByToken(phoneToken)->isActive());
    EXPECT_EQ(f.server.journalFor(u"/auth/devices/another"_s).size(), 0) << "one removal at a time";
    EXPECT_TRUE(f.account->cloudDeviceRevokingSessionID().isEmpty());
    ASSERT_EQ(f.account->cloudDeviceSessions().size(), 1);
    EXPECT_EQ(f.account->cloudDeviceSessions().first().session_id, f.account->cloudSessionID());
    EXPECT_EQ(f.owner.statuses.last(), u"success: 已移除云端设备"_s);
    EXPECT_EQ(f.activityLog.activityLogs().first().summary, u"已移除一台云端设备"_s);
    EXPECT_TRUE(f.logged(u"Cloud devices refreshed [device-revoked] count=1"_s));
}

TEST(AccountOperations, AvatarArrivesUprightAsAJpegAndTheProfileFollows)
{
    AccountFixture f;
    f.signIn();
    QTemporaryDir dir;
    QFile file(dir.filePath(u"me.png"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // Lying on its side: orientation 6 turns the red left half to the top.
    file.write(pngWithOrientation(halves(QSize(80, 40), Qt::blue), 6));
    file.close();

    f.account->uploadCloudAvatar(QUrl::fromLocalFile(file.fileName()));
    EXPECT_TRUE(f.account->isCloudProfileSaving());
    EXPECT_EQ(f.account->cloudProfileStatus(), u"正在上传头像"_s);
    f.account->updateCloudProfile(u"ignored"_s, QString());
    EXPECT_TRUE(f.account->cloudProfileNickname().isEmpty()) << "nothing else saves meanwhile, not even locally";
    f.settle();

    const CloudServerUser *user = f.server.user(f.userId);
    EXPECT_EQ(user->avatarContentType, u"image/jpeg"_s);
    const QImage avatar = decodeJpeg(user->avatarData);
    EXPECT_EQ(avatar.size(), QSize(40, 80));
    expectColor(avatar, {20, 10}, Qt::red);
    expectColor(avatar, {20, 70}, Qt::blue);
    EXPECT_EQ(f.account->cloudProfileAvatarURL(), user->avatarUrl);
    EXPECT_EQ(f.account->cloudProfileAvatarRefreshToken(), user->profileUpdatedAt);
    EXPECT_EQ(f.account->cloudProfileStatus(), u"头像已保存"_s);
    EXPECT_FALSE(f.account->isCloudProfileSaving());
    EXPECT_EQ(f.activityLog.activityLogs().first().summary, u"头像已保存"_s);

    f.account->uploadCloudAvatar(QUrl::fromLocalFile(dir.filePath(u"notes.txt"_s)));
    EXPECT_NE(f.account->cloudProfileStatus(), u"头像已保存"_s) << "an unreadable file shows its error";
    EXPECT_EQ(f.owner.statuses.last(), u"failure: 头像上传失败"_s);
    EXPECT_FALSE(f.account->isCloudProfileSaving());
}

// The password by the old password and by a phone code, and a phone linked to the account.
TEST(AccountOperations, PasswordOnBothPathsAndPhoneLinking)
{
    AccountFixture f;
    f.signIn(u"first1234"_s);
    ASSERT_TRUE(f.account->cloudProfilePasswordSet());

    f.account->updateCloudPassword(u"short 7"_s, u"first1234"_s, {}, {}, false);
    EXPECT_EQ(f.account->cloudProfileStatus(), u"密码至少 8 位"_s);
    f.account->updateCloudPassword(u"second123"_s, u"  "_s, {}, {}, false);
    EXPECT_EQ(f.account->cloudProfileStatus(), u"请先输入原密码"_s);
    f.account->updateCloudPassword(u"second123"_s, u"wrong999"_s, {}, {}, false);
    f.settle();
    EXPECT_EQ(f.account->cloudProfileStatus(), expectedError(400, u"current profile password is incorrect"_s));
    EXPECT_EQ(f.owner.statuses.last(), u"failure: 密码更新失败"_s);

    f.account->updateCloudPassword(u"second123"_s, u" first1234 "_s, {}, {}, false);
    EXPECT_EQ(f.account->cloudProfileStatus(), u"正在更新密码"_s);
    f.settle();
    EXPECT_EQ(f.server.user(f.userId)->password, u"second123"_s);
    EXPECT_EQ(f.account->cloudProfileStatus(), u"密码已更新"_s);

    // The phone path: the code is checked first, then the new password goes without the old one.
    f.account->updateCloudPassword(u" third123"_s, {}, f.phone, u"123456"_s, true);
    EXPECT_EQ(f.account->cloudProfileStatus(), u"请先用手机号验证码验证"_s) << "no code was requested";
    f.account->requestCloudPhoneCode(f.phone);
    f.settle();
    const QString code = f.server.lastSmsCode(f.phone).value_or(QString());
    f.account->updateCloudPassword(u" third123"_s, {}, f.phone, u" "_s + code + u" "_s, true);
    EXPECT_EQ(f.account->cloudProfileStatus(), u"正在验证手机号"_s);
    f.settle();
    EXPECT_EQ(f.server.user(f.userId)->password, u" third123"_s) << "sent as typed";
    EXPECT_FALSE(f.server.journalFor(u"/auth/profile"_s).last().request.jsonBody().contains("current_password"_L1));
    EXPECT_EQ(f.account->cloudProfileStatus(), u"密码已更新"_s);
    EXPECT_TRUE(f.account->cloudPhoneChallengeID().isEmpty());
    EXPECT_EQ(f.owner.statuses.last(), u"success: 密码已更新"_s);

    // Linking another number moves the account's phone to it.
    f.account->linkCloudPhoneCode(u"13900001111"_s, u"12345"_s);
    EXPECT_EQ(f.account->cloudPhoneLoginStatus(), u"请先输入手机号并获取验证码"_s);
    f.account->requestCloudPhoneCode(u"13900001111"_s);
    f.settle();
    f.account->linkCloudPhoneCode(
        u"+86 139-0000-1111"_s, f.server.lastSmsCode(u"+8613900001111"_s).value_or(QString()));
    EXPECT_TRUE(f.account->isCloudPhoneCodeVerifying());
    f.settle();
    EXPECT_EQ(f.server.user(f.userId)->phoneNumber, u"+8613900001111"_s);
    EXPECT_EQ(f.account->cloudPhoneNumber(), u"13900001111"_s);
    EXPECT_EQ(f.account->cloudPhoneDisplayLabel(), u"*******1111"_s);
    EXPECT_EQ(f.account->cloudPhoneLoginStatus(), u"手机号已保存"_s);
    EXPECT_EQ(f.activityLog.activityLogs().first().summary, u"手机号已保存"_s);
}

TEST(AccountOperations, LogoutEndsTheSessionAndSignsOutEvenWhenTheServiceFails)
{
    AccountFixture f;
    f.signIn();
    f.holdSyncState();
    f.account->logoutCloudSession();
    f.settle();
    EXPECT_FALSE(f.server.sessionByToken(f.token)->isActive());
    EXPECT_TRUE(f.logged(u"Cloud session revoked on server"_s));
    EXPECT_TRUE(f.account->cloudAuthToken().isEmpty());
    EXPECT_TRUE(f.account->cloudUserID().isEmpty());
    EXPECT_FALSE(f.syncState->holdsState());
    EXPECT_EQ(f.owner.statuses.last(), u"success: 已退出云账号，本地提醒保留"_s);
    EXPECT_EQ(f.activityLog.activityLogs().first().details, QStringList {u"本机任务已保留"_s});

    AccountFixture failing;
    failing.signIn();
    failing.server.addFault(u"POST"_s, u"/auth/logout"_s, CloudFault::answer(503));
    failing.account->logoutCloudSession();
    failing.settle();
    EXPECT_TRUE(failing.account->cloudAuthToken().isEmpty());
    EXPECT_TRUE(failing.server.sessionByToken(failing.token)->isActive());
    EXPECT_TRUE(failing.logged(u"Cloud logout request failed, clearing local token anyway: HTTP 503"_s));
    EXPECT_EQ(failing.owner.statuses.last(), u"success: 已退出云账号，本地提醒保留"_s);
}

TEST(AccountOperations, DeletionNeedsTheServicesConfirmationAndThenSignsOut)
{
    AccountFixture f;
    f.signIn();
    f.holdSyncState();
    const auto challenge = runInVirtualTime(f.clock, f.account->requestCloudAccountDeletionCode(f.phone));
    const QString code = f.server.lastSmsCode(f.phone).value_or(QString());
    ASSERT_EQ(challenge.challenge_id, f.server.challenge(challenge.challenge_id)->challengeId);

    // Not confirmed: an error for the page, nothing changes here.
    auto deletion = [&](const QString &confirmation) {
        return f.account->deleteCloudAccount(u"+86 138 1234 5678"_s, challenge.challenge_id, code, confirmation);
    };
    EXPECT_THROW(runInVirtualTime(f.clock, deletion(u"确定"_s)), SyncError);
    EXPECT_FALSE(f.account->isCloudAccountDeleting());
    EXPECT_EQ(f.account->cloudAuthToken(), f.token);
    EXPECT_TRUE(f.syncState->holdsState());

    // A second press while the first runs neither waits nor sends.
    auto first = deletion(u" 我已阅读以上提示，确定注销\n"_s);
    EXPECT_TRUE(f.account->isCloudAccountDeleting());
    runInVirtualTime(f.clock, deletion(u"我已阅读以上提示，确定注销"_s));
    runInVirtualTime(f.clock, std::move(first));
    EXPECT_EQ(f.server.journalFor(u"/auth/account/delete"_s).size(), 2);
    EXPECT_EQ(f.server.user(f.userId), nullptr);
    EXPECT_FALSE(f.account->isCloudAccountDeleting());
    EXPECT_TRUE(f.account->cloudAuthToken().isEmpty());
    EXPECT_TRUE(f.account->cloudProfileNickname().isEmpty());
    EXPECT_FALSE(f.syncState->holdsState());
    EXPECT_EQ(f.owner.statuses.last(), u"success: 账号已注销，服务器数据和所有设备登录已删除；本机提醒保留"_s);
    EXPECT_EQ(f.activityLog.activityLogs().first().details,
        QStringList({u"服务器数据与所有设备会话已删除"_s, u"本机 Reminders 数据已保留"_s}));

    // Signed out, no code is asked for.
    EXPECT_THROW(runInVirtualTime(f.clock, f.account->requestCloudAccountDeletionCode(f.phone)), SyncError);
}

} // namespace
} // namespace quorvin::test

namespace quorvin::test {
namespace {

// A logout or a deletion acts on the account it was started for: when another account signed in
// while its request waited, that account keeps its token and state.
TEST(AccountOperations, LogoutAndDeletionLeaveAnAccountThatSignedInMeanwhile)
{
    AccountFixture f;
    f.signIn();
    const QString next = f.server.createSession(f.userId, u"mqv"_s, u"mqv_machine_next"_s);
    f.server.addFault(u"POST"_s, u"/auth/logout"_s, CloudFault::delayed(std::chrono::seconds(5)));
    f.account->logoutCloudSession();
    f.account->applyCloudAuthToken(next, u"signed in again"_s);
    f.clock.advance(std::chrono::seconds(6));
    EXPECT_EQ(f.account->cloudAuthToken(), next);
    EXPECT_TRUE(f.logged(u"Cloud logout finished after another account signed in -> current account kept"_s));
    EXPECT_TRUE(f.activityLog.activityLogs().isEmpty());

    const auto challenge = runInVirtualTime(f.clock, f.account->requestCloudAccountDeletionCode(f.phone));
    const QString code = f.server.lastSmsCode(f.phone).value_or(QString());
    f.server.addFault(u"POST"_s, u"/auth/account/delete"_s, CloudFault::delayed(std::chrono::seconds(5)));
    auto deletion
        = f.account->deleteCloudAccount(f.phone, challenge.challenge_id, code, u"我已阅读以上提示，确定注销"_s);
    const QString third = u"qvk_third"_s;
    f.account->applyCloudAuthToken(third, u"signed in again"_s);
    runInVirtualTime(f.clock, std::move(deletion));
    EXPECT_FALSE(f.account->isCloudAccountDeleting());
    EXPECT_EQ(f.account->cloudAuthToken(), third);
    EXPECT_TRUE(f.logged(u"Cloud account deleted after another account signed in -> current account kept"_s));
}

} // namespace
} // namespace quorvin::test
