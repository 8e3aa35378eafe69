#include "platform/concurrency/ManualClock.h"
#include "support/cloudserver/CloudServer.h"

#include <QJsonDocument>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace quorvin::test {
namespace {

class AccountRoutesTest : public ::testing::Test {
protected:
    ManualClock clock;
    CloudServer server {clock};
    QString phone = u"+8613812345678"_s;
    QString userId = server.createUser(phone);

    CloudResponse call(const QString &method, const QString &path, const QJsonObject &body, const QString &token = {})
    {
        CloudRequest request;
        request.method = method;
        request.rawPath = path;
        if (!token.isEmpty()) {
            request.headers.set("Authorization", ("Bearer " + token).toUtf8());
        }
        if (!body.isEmpty()) {
            request.body = QJsonDocument(body).toJson(QJsonDocument::Compact);
            request.hasBody = true;
        }
        return server.handle(request);
    }
    static QJsonObject parse(const CloudResponse &response) { return QJsonDocument::fromJson(response.body).object(); }

    QString requestCode(const QString &number)
    {
        const CloudResponse answer = call(u"POST"_s, u"/auth/phone/code/request"_s, {{"phone_number"_L1, number}});
        EXPECT_EQ(answer.status, 200);
        return parse(answer).value("challenge_id"_L1).toString();
    }
};

TEST_F(AccountRoutesTest, FixedCodeSignsInAndDeletionWaitsForItsConfirmation)
{
    server.setFixedSmsCode(phone, u"123456"_s);
    const QString signIn = requestCode(phone);
    EXPECT_EQ(server.lastSmsCode(phone), u"123456"_s);
    const CloudResponse login = call(u"POST"_s, u"/auth/phone/code/verify"_s,
        {{"phone_number"_L1, phone}, {"challenge_id"_L1, signIn}, {"code"_L1, u"123456"_s},
            {"client_kind"_L1, u"mqv"_s}});
    ASSERT_EQ(login.status, 200) << login.body.constData();
    // The token survives the client's normalisation whole.
    const QString token = parse(login).value("access_token"_L1).toString();
    EXPECT_TRUE(QRegularExpression(u"^qvk_[A-Za-z0-9_-]+$"_s).match(token).hasMatch()) << token.toStdString();

    const QString deletion = requestCode(phone);
    const auto remove = [&](const QString &code, const QString &confirmation) {
        return call(u"POST"_s, u"/auth/account/delete"_s,
            {{"phone_number"_L1, phone}, {"challenge_id"_L1, deletion}, {"code"_L1, code},
                {"confirmation_text"_L1, confirmation}},
            token);
    };
    EXPECT_EQ(remove(u"654321"_s, u"我已阅读以上提示，确定注销"_s).status, 400);
    const CloudResponse unconfirmed = remove(u"123456"_s, u"确定"_s);
    EXPECT_EQ(parse(unconfirmed).value("deleted"_L1), QJsonValue(false));
    ASSERT_NE(server.user(userId), nullptr);

    // The same code still serves the corrected confirmation; then the account and its sessions end.
    EXPECT_EQ(parse(remove(u"123456"_s, u"我已阅读以上提示，确定注销"_s)).value("deleted"_L1), QJsonValue(true));
    EXPECT_EQ(server.user(userId), nullptr);
    EXPECT_EQ(call(u"GET"_s, u"/auth/session"_s, {}, token).status, 401);
}

TEST_F(AccountRoutesTest, AvatarDeviceContextAndLinkKeepWhatArrivedAndRefuseTheRest)
{
    const QString token = server.createSession(userId, u"mqv"_s, u"mqv_device_a"_s, u"Desk"_s, u"linux"_s, u"1.2"_s);
    const auto upload = [&](const QString &type, const QByteArray &data) {
        return call(u"POST"_s, u"/auth/avatar"_s,
            {{"content_type"_L1, type}, {"data_base64"_L1, QString::fromLatin1(data.toBase64())}}, token)
            .status;
    };
    QByteArray largest("\xff\xd8\xff\xe0", 4);
    largest.resize(3145728, 'x');
    EXPECT_EQ(upload(u"image/jpeg"_s, largest + 'x'), 413);
    EXPECT_EQ(upload(u"image/jpeg"_s, "\x89PNG\r\n\x1a\n"), 400);
    EXPECT_EQ(upload(u"image/jpeg"_s, {}), 400);
    EXPECT_EQ(upload(u"image/jpeg"_s, largest), 200);
    EXPECT_EQ(server.user(userId)->avatarData, largest);
    EXPECT_EQ(server.user(userId)->avatarContentType, u"image/jpeg"_s);

    // What the update leaves out stays as it was.
    const QJsonObject current = parse(call(u"POST"_s, u"/auth/devices/current"_s,
        {{"client_kind"_L1, u"mqv"_s}, {"device_id"_L1, u"mqv_machine_b"_s}}, token));
    EXPECT_EQ(current.value("device_id"_L1).toString(), u"mqv_machine_b"_s);
    EXPECT_EQ(current.value("device_label"_L1).toString(), u"Desk"_s);
    EXPECT_EQ(current.value("app_version"_L1).toString(), u"1.2"_s);

    // A phone of another account is refused without using the code up.
    const QString otherPhone = u"+8613900000000"_s;
    server.createUser(otherPhone);
    server.setNextSmsCode(u"111111"_s);
    const QString challenge = requestCode(otherPhone);
    const QJsonObject link {{"phone_number"_L1, otherPhone}, {"challenge_id"_L1, challenge}, {"code"_L1, u"111111"_s}};
    EXPECT_EQ(call(u"POST"_s, u"/auth/phone/code/link"_s, link, token).status, 409);
    EXPECT_FALSE(server.challenge(challenge)->used);
}

} // namespace
} // namespace quorvin::test
