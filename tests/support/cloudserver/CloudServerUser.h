#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace quorvin::test {

struct CloudServerIdentity {
    QString identityId;
    QString provider; // "phone", "huawei_account"
    QString providerSubject;
    QString displayLabel;
    QString linkedAt;
    QString lastLoginAt;
};

// One account of the test service.
struct CloudServerUser {
    QString userId;
    // Normalised ("+86..."); empty when the account has no phone linked.
    QString phoneNumber;
    std::optional<QString> password;
    QString nickname;
    QString avatarUrl;
    // The last uploaded avatar as it arrived (decoded from Base64), and its media type.
    QByteArray avatarData;
    QString avatarContentType;
    QString profileUpdatedAt;
    QList<CloudServerIdentity> identities;
};

} // namespace quorvin::test
