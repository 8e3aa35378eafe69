#pragma once

#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// Answer to the SMS-code request.
struct CloudPhoneCodeRequestResponse {
    QString challenge_id {};
    QString expires_at {};
    qint64 resend_after_seconds = 0;
    std::optional<QString> dev_code {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("challenge_id", s.challenge_id);
        v("expires_at", s.expires_at);
        v("resend_after_seconds", s.resend_after_seconds);
        v("dev_code", s.dev_code);
    }
};

} // namespace quorvin
