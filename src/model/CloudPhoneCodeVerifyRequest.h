#pragma once

#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// Body of the linked-phone verification and of phone linking.
struct CloudPhoneCodeVerifyRequest {
    QString phone_number {};
    QString challenge_id {};
    QString code {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("phone_number", s.phone_number);
        v("challenge_id", s.challenge_id);
        v("code", s.code);
    }
};

} // namespace quorvin
