#pragma once

#include <QString>

#include <optional>

namespace quorvin::test {

// One device session (bearer token) of an account.
struct CloudServerSession {
    QString token;
    QString sessionId;
    QString userId;
    QString clientKind; // "mqv" this client, "hqv" the phone
    QString deviceId;
    QString deviceLabel;
    QString platform;
    QString appVersion;
    QString createdAt;
    QString lastSeenAt;
    std::optional<QString> revokedAt;
    // Set by a linked-phone verification; lets the next password change go without the old one.
    bool phoneVerifiedRecently = false;

    bool isActive() const { return !revokedAt.has_value(); }
};

} // namespace quorvin::test
