#pragma once

#include <QDateTime>
#include <QString>

namespace quorvin::test {

// One SMS code sent to a phone number.
struct CloudServerChallenge {
    QString challengeId;
    QString phoneNumber;
    QString code;
    QDateTime expiresAt;
    bool used = false;
};

} // namespace quorvin::test
