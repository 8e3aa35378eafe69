#include "support/cloudserver/AccountRoutes.h"

#include "support/cloudserver/CloudServer.h"

#include <QJsonArray>
#include <QRegularExpression>

namespace quorvin::test {

namespace {

// The largest avatar image the service keeps (3 MiB).
constexpr qsizetype maxAvatarBytes = 3145728;

QString requiredText(const QJsonObject &body, const QString &key)
{
    const QJsonValue value = body.value(key);
    if (!value.isString()) {
        throw CloudHttpFailure(400, key + QStringLiteral(" is required"));
    }
    return value.toString();
}

QString optionalText(const QJsonObject &body, const QString &key)
{
    const QJsonValue value = body.value(key);
    if (!value.isUndefined() && !value.isNull() && !value.isString()) {
        throw CloudHttpFailure(400, key + QStringLiteral(" must be a string"));
    }
    return value.toString();
}

void insertIfPresent(QJsonObject &object, const QString &key, const QString &value)
{
    if (!value.isEmpty()) {
        object.insert(key, value);
    }
}

QString checkedPhone(const QJsonObject &body)
{
    const QString phone = requiredText(body, QStringLiteral("phone_number"));
    if (!phone.startsWith(u'+')) {
        throw CloudHttpFailure(400, QStringLiteral("phone number must be in E.164 format"));
    }
    static const QRegularExpression mainland(QStringLiteral("^\\+861[0-9]{10}$"));
    if (!mainland.match(phone).hasMatch()) {
        throw CloudHttpFailure(400, QStringLiteral("phone number must be a mainland China mobile number"));
    }
    return phone;
}

QJsonObject profileJson(const CloudServerUser &user)
{
    QJsonObject profile;
    insertIfPresent(profile, QStringLiteral("nickname"), user.nickname);
    insertIfPresent(profile, QStringLiteral("avatar_url"), user.avatarUrl);
    profile.insert(QStringLiteral("password_set"), user.password.has_value());
    insertIfPresent(profile, QStringLiteral("updated_at"), user.profileUpdatedAt);
    return profile;
}

QJsonObject identityJson(const CloudServerIdentity &identity)
{
    QJsonObject object;
    insertIfPresent(object, QStringLiteral("identity_id"), identity.identityId);
    insertIfPresent(object, QStringLiteral("provider"), identity.provider);
    insertIfPresent(object, QStringLiteral("provider_subject"), identity.providerSubject);
    insertIfPresent(object, QStringLiteral("display_label"), identity.displayLabel);
    insertIfPresent(object, QStringLiteral("linked_at"), identity.linkedAt);
    insertIfPresent(object, QStringLiteral("last_login_at"), identity.lastLoginAt);
    return object;
}

QJsonArray identitiesJson(const CloudServerUser &user)
{
    QJsonArray array;
    for (const CloudServerIdentity &identity : user.identities) {
        array.append(identityJson(identity));
    }
    return array;
}

QJsonObject sessionJson(const CloudServerSession &session)
{
    QJsonObject object;
    insertIfPresent(object, QStringLiteral("session_id"), session.sessionId);
    insertIfPresent(object, QStringLiteral("device_id"), session.deviceId);
    insertIfPresent(object, QStringLiteral("client_kind"), session.clientKind);
    insertIfPresent(object, QStringLiteral("created_at"), session.createdAt);
    insertIfPresent(object, QStringLiteral("last_seen_at"), session.lastSeenAt);
    if (session.revokedAt) {
        object.insert(QStringLiteral("revoked_at"), *session.revokedAt);
    }
    return object;
}

QJsonObject deviceSessionJson(const CloudServerSession &session)
{
    QJsonObject object = sessionJson(session);
    insertIfPresent(object, QStringLiteral("device_label"), session.deviceLabel);
    insertIfPresent(object, QStringLiteral("platform"), session.platform);
    insertIfPresent(object, QStringLiteral("app_version"), session.appVersion);
    return object;
}

CloudServerUser &userOf(CloudServer &server, const CloudServerSession &session)
{
    CloudServerUser *user = server.user(session.userId);
    if (!user) {
        throw CloudHttpFailure(401, QStringLiteral("invalid authentication token"));
    }
    return *user;
}

CloudServerIdentity *phoneIdentity(CloudServerUser &user)
{
    for (CloudServerIdentity &identity : user.identities) {
        if (identity.provider == QLatin1String("phone")) {
            return &identity;
        }
    }
    return nullptr;
}

// The session fields a client presents at sign-in, exchange and the current-device update.
struct DeviceFields {
    QString clientKind;
    QString deviceId;
    QString deviceLabel;
    QString platform;
    QString appVersion;
};

DeviceFields deviceFields(const QJsonObject &body)
{
    return DeviceFields {requiredText(body, QStringLiteral("client_kind")),
        optionalText(body, QStringLiteral("device_id")), optionalText(body, QStringLiteral("device_label")),
        optionalText(body, QStringLiteral("platform")), optionalText(body, QStringLiteral("app_version"))};
}

CloudResponse loginAnswer(CloudServer &server, CloudServerUser &user, const DeviceFields &device)
{
    const QString token = server.createSession(
        user.userId, device.clientKind, device.deviceId, device.deviceLabel, device.platform, device.appVersion);
    CloudServerIdentity *identity = phoneIdentity(user);
    if (identity) {
        identity->lastLoginAt = server.nowText();
    }
    return CloudResponse::json({{QStringLiteral("access_token"), token}, {QStringLiteral("user_id"), user.userId},
        {QStringLiteral("profile"), profileJson(user)},
        {QStringLiteral("identity"), identity ? identityJson(*identity) : QJsonObject {}},
        {QStringLiteral("session"), sessionJson(*server.sessionByToken(token))}});
}

void checkNewPassword(const QString &password, const CloudServerUser &user)
{
    if (password.size() < 8) {
        throw CloudHttpFailure(400, QStringLiteral("profile password must be at least 8 characters"));
    }
    if (password.size() > 16) {
        throw CloudHttpFailure(400, QStringLiteral("profile password is too long"));
    }
    static const QRegularExpression letter(QStringLiteral("[A-Za-z]"));
    static const QRegularExpression digit(QStringLiteral("[0-9]"));
    if (!letter.match(password).hasMatch() || !digit.match(password).hasMatch()) {
        throw CloudHttpFailure(400, QStringLiteral("profile password must contain both letters and numbers"));
    }
    static const QStringList common {QStringLiteral("password1"), QStringLiteral("passw0rd"),
        QStringLiteral("qwerty123"), QStringLiteral("abc12345"), QStringLiteral("a1234567")};
    if (common.contains(password.toLower())) {
        throw CloudHttpFailure(400, QStringLiteral("profile password is too common"));
    }
    const QString localNumber = user.phoneNumber.right(11);
    if (localNumber.size() == 11 && password.contains(localNumber)) {
        throw CloudHttpFailure(400, QStringLiteral("profile password must not contain phone number"));
    }
}

} // namespace

void registerAccountRoutes(CloudServer &server)
{
    CloudServer *s = &server;

    server.route(QStringLiteral("POST"), QStringLiteral("/auth/phone/code/request"), [s](const CloudRequest &request) {
        const QString phone = checkedPhone(request.jsonBody());
        const CloudServerChallenge &challenge = s->issueChallenge(phone);
        QJsonObject answer {{QStringLiteral("challenge_id"), challenge.challengeId},
            {QStringLiteral("expires_at"), challenge.expiresAt.toString(Qt::ISODateWithMs)},
            {QStringLiteral("resend_after_seconds"), 60}};
        if (s->returnsDevCodes()) {
            answer.insert(QStringLiteral("dev_code"), challenge.code);
        }
        return CloudResponse::json(answer);
    });

    server.route(QStringLiteral("POST"), QStringLiteral("/auth/phone/code/verify"), [s](const CloudRequest &request) {
        const QJsonObject body = request.jsonBody();
        const QString phone = checkedPhone(body);
        const DeviceFields device = deviceFields(body);
        s->consumeChallenge(
            phone, requiredText(body, QStringLiteral("challenge_id")), requiredText(body, QStringLiteral("code")));
        CloudServerUser *user = s->userByPhone(phone);
        if (!user) {
            user = s->user(s->createUser(phone));
        }
        return loginAnswer(*s, *user, device);
    });

    server.route(QStringLiteral("POST"), QStringLiteral("/auth/password/login"), [s](const CloudRequest &request) {
        const QJsonObject body = request.jsonBody();
        const QString phone = checkedPhone(body);
        const QString password = requiredText(body, QStringLiteral("password"));
        const DeviceFields device = deviceFields(body);
        CloudServerUser *user = s->userByPhone(phone);
        if (user && !user->password) {
            throw CloudHttpFailure(400, QStringLiteral("profile password is not set"));
        }
        if (!user || *user->password != password) {
            throw CloudHttpFailure(401, QStringLiteral("invalid phone number or password"));
        }
        return loginAnswer(*s, *user, device);
    });

    server.authenticatedRoute(QStringLiteral("POST"), QStringLiteral("/auth/session/exchange"),
        [s](const CloudRequest &request, CloudServerSession &session) {
            const DeviceFields device = deviceFields(request.jsonBody());
            CloudServerUser &user = userOf(*s, session);
            const QString token = s->createSession(user.userId, device.clientKind, device.deviceId, device.deviceLabel,
                device.platform, device.appVersion);
            return CloudResponse::json({{QStringLiteral("access_token"), token},
                {QStringLiteral("user_id"), user.userId}, {QStringLiteral("profile"), profileJson(user)},
                {QStringLiteral("session"), sessionJson(*s->sessionByToken(token))}});
        });

    server.authenticatedRoute(
        QStringLiteral("GET"), QStringLiteral("/auth/session"), [s](const CloudRequest &, CloudServerSession &session) {
            CloudServerUser &user = userOf(*s, session);
            return CloudResponse::json({{QStringLiteral("user_id"), user.userId},
                {QStringLiteral("profile"), profileJson(user)}, {QStringLiteral("identities"), identitiesJson(user)},
                {QStringLiteral("session"), sessionJson(session)}});
        });

    server.authenticatedRoute(QStringLiteral("POST"), QStringLiteral("/auth/devices/current"),
        [](const CloudRequest &request, CloudServerSession &session) {
            const DeviceFields device = deviceFields(request.jsonBody());
            // What the client leaves out (the desktop client sends no app version here) stays.
            session.clientKind = device.clientKind;
            for (const auto &[value, stored] :
                {std::pair {&device.deviceId, &session.deviceId}, {&device.deviceLabel, &session.deviceLabel},
                    {&device.platform, &session.platform}, {&device.appVersion, &session.appVersion}}) {
                if (!value->isEmpty()) {
                    *stored = *value;
                }
            }
            return CloudResponse::json(deviceSessionJson(session));
        });

    server.authenticatedRoute(
        QStringLiteral("GET"), QStringLiteral("/auth/devices"), [s](const CloudRequest &, CloudServerSession &session) {
            QJsonArray sessions;
            for (const CloudServerSession &each : s->sessionsOf(session.userId)) {
                if (each.isActive()) {
                    sessions.append(deviceSessionJson(each));
                }
            }
            return CloudResponse::json({{QStringLiteral("sessions"), sessions}});
        });

    server.authenticatedRoute(QStringLiteral("DELETE"), QStringLiteral("/auth/devices/:session_id"),
        [s](const CloudRequest &request, CloudServerSession &session) {
            const QString id = request.pathParams.value(QStringLiteral("session_id"));
            if (id == session.sessionId) {
                throw CloudHttpFailure(400, QStringLiteral("cannot revoke current session"));
            }
            CloudServerSession *target = s->sessionById(id);
            if (!target) {
                throw CloudHttpFailure(404, QStringLiteral("device session not found"));
            }
            if (target->userId != session.userId) {
                throw CloudHttpFailure(403, QStringLiteral("device belongs to another user"));
            }
            s->revokeSession(id);
            return CloudResponse::json({{QStringLiteral("revoked"), true}});
        });

    const auto profileAnswer = [](const CloudServerUser &user) {
        return CloudResponse::json({{QStringLiteral("user_id"), user.userId},
            {QStringLiteral("profile"), profileJson(user)}, {QStringLiteral("identities"), identitiesJson(user)}});
    };

    server.authenticatedRoute(QStringLiteral("GET"), QStringLiteral("/auth/profile"),
        [s, profileAnswer](
            const CloudRequest &, CloudServerSession &session) { return profileAnswer(userOf(*s, session)); });

    server.authenticatedRoute(QStringLiteral("POST"), QStringLiteral("/auth/profile"),
        [s, profileAnswer](const CloudRequest &request, CloudServerSession &session) {
            const QJsonObject body = request.jsonBody();
            CloudServerUser &user = userOf(*s, session);
            if (body.contains(QStringLiteral("new_password"))) {
                const QString newPassword = requiredText(body, QStringLiteral("new_password"));
                if (body.contains(QStringLiteral("current_password"))) {
                    if (!user.password) {
                        throw CloudHttpFailure(400, QStringLiteral("profile password is not set"));
                    }
                    if (*user.password != requiredText(body, QStringLiteral("current_password"))) {
                        throw CloudHttpFailure(400, QStringLiteral("current profile password is incorrect"));
                    }
                } else if (!session.phoneVerifiedRecently) {
                    throw CloudHttpFailure(
                        403, QStringLiteral("phone verification is required before updating profile password"));
                }
                checkNewPassword(newPassword, user);
                user.password = newPassword;
                session.phoneVerifiedRecently = false;
            }
            if (body.contains(QStringLiteral("nickname"))) {
                user.nickname = requiredText(body, QStringLiteral("nickname"));
            }
            if (body.contains(QStringLiteral("avatar_url"))) {
                user.avatarUrl = requiredText(body, QStringLiteral("avatar_url"));
            }
            user.profileUpdatedAt = s->nowText();
            return profileAnswer(user);
        });

    server.authenticatedRoute(QStringLiteral("POST"), QStringLiteral("/auth/avatar"),
        [s, profileAnswer](const CloudRequest &request, CloudServerSession &session) {
            const QJsonObject body = request.jsonBody();
            const QString contentType = requiredText(body, QStringLiteral("content_type"));
            const auto base64 = QByteArray::fromBase64Encoding(
                requiredText(body, QStringLiteral("data_base64")).toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
            const QByteArray &decoded = base64.decoded;
            if (!contentType.startsWith(QLatin1String("image/")) || !base64 || decoded.isEmpty()
                || (contentType == QLatin1String("image/jpeg") && !decoded.startsWith("\xff\xd8\xff"))) {
                throw CloudHttpFailure(400, QStringLiteral("invalid avatar image"));
            }
            if (decoded.size() > maxAvatarBytes) {
                throw CloudHttpFailure(413, QStringLiteral("avatar image too large"));
            }
            CloudServerUser &user = userOf(*s, session);
            user.avatarData = decoded;
            user.avatarContentType = contentType;
            user.avatarUrl = QStringLiteral("https://avatars.quorvin.invalid/") + s->nextId(QStringLiteral("avatar"))
                + QStringLiteral(".jpg");
            user.profileUpdatedAt = s->nowText();
            return profileAnswer(user);
        });

    server.authenticatedRoute(QStringLiteral("POST"), QStringLiteral("/auth/phone/code/verify-linked"),
        [s](const CloudRequest &request, CloudServerSession &session) {
            const QJsonObject body = request.jsonBody();
            const QString phone = checkedPhone(body);
            CloudServerUser &user = userOf(*s, session);
            if (user.phoneNumber != phone) {
                throw CloudHttpFailure(400, QStringLiteral("invalid phone verification code"));
            }
            s->consumeChallenge(
                phone, requiredText(body, QStringLiteral("challenge_id")), requiredText(body, QStringLiteral("code")));
            session.phoneVerifiedRecently = true;
            QJsonObject answer {{QStringLiteral("user_id"), user.userId}};
            if (CloudServerIdentity *identity = phoneIdentity(user)) {
                answer.insert(QStringLiteral("identity"), identityJson(*identity));
            }
            return CloudResponse::json(answer);
        });

    server.authenticatedRoute(QStringLiteral("POST"), QStringLiteral("/auth/phone/code/link"),
        [s](const CloudRequest &request, CloudServerSession &session) {
            const QJsonObject body = request.jsonBody();
            const QString phone = checkedPhone(body);
            CloudServerUser &user = userOf(*s, session);
            if (CloudServerUser *owner = s->userByPhone(phone); owner && owner->userId != user.userId) {
                throw CloudHttpFailure(409, QStringLiteral("identity already linked to another user"));
            }
            s->consumeChallenge(
                phone, requiredText(body, QStringLiteral("challenge_id")), requiredText(body, QStringLiteral("code")));
            user.phoneNumber = phone;
            CloudServerIdentity *identity = phoneIdentity(user);
            if (!identity) {
                user.identities.append(CloudServerIdentity {
                    s->nextId(QStringLiteral("identity")), QStringLiteral("phone"), phone, {}, s->nowText(), {}});
                identity = &user.identities.last();
            }
            identity->providerSubject = phone;
            identity->displayLabel = QStringLiteral("*******") + phone.right(4);
            return CloudResponse::json(
                {{QStringLiteral("user_id"), user.userId}, {QStringLiteral("identity"), identityJson(*identity)}});
        });

    server.authenticatedRoute(
        QStringLiteral("POST"), QStringLiteral("/auth/logout"), [s](const CloudRequest &, CloudServerSession &session) {
            s->revokeSession(session.sessionId);
            return CloudResponse::json({{QStringLiteral("ok"), true}});
        });

    server.authenticatedRoute(QStringLiteral("POST"), QStringLiteral("/auth/account/delete"),
        [s](const CloudRequest &request, CloudServerSession &session) {
            const QJsonObject body = request.jsonBody();
            const QString phone = checkedPhone(body);
            const QString userId = session.userId;
            CloudServerUser &user = userOf(*s, session);
            if (user.phoneNumber != phone) {
                throw CloudHttpFailure(400, QStringLiteral("invalid phone verification code"));
            }
            const QString challengeId = requiredText(body, QStringLiteral("challenge_id"));
            const QString code = requiredText(body, QStringLiteral("code"));
            s->checkChallenge(phone, challengeId, code);
            // Not confirmed: nothing happens, and the code stays good for a corrected confirmation.
            if (requiredText(body, QStringLiteral("confirmation_text"))
                != QStringLiteral("我已阅读以上提示，确定注销")) {
                return CloudResponse::json({{QStringLiteral("deleted"), false}});
            }
            s->consumeChallenge(phone, challengeId, code);
            s->deleteUser(userId);
            return CloudResponse::json({{QStringLiteral("deleted"), true}});
        });
}

} // namespace quorvin::test
