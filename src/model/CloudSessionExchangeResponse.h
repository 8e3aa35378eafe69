#pragma once

#include "model/CloudSessionPayload.h"
#include "model/CloudUserProfilePayload.h"
#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// Answer to the session exchange.
struct CloudSessionExchangeResponse {
    QString access_token {};
    QString user_id {};
    std::optional<CloudUserProfilePayload> profile {};
    CloudSessionPayload session {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("access_token", s.access_token);
        v("user_id", s.user_id);
        v("profile", s.profile);
        v("session", s.session);
    }
};

} // namespace quorvin
