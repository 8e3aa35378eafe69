#pragma once

#include "model/CloudIdentityPayload.h"
#include "model/CloudSessionPayload.h"
#include "model/CloudUserProfilePayload.h"
#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// Answer to the current-session query.
struct CloudAuthSessionResponse {
    QString user_id {};
    std::optional<CloudUserProfilePayload> profile {};
    std::optional<QList<CloudIdentityPayload>> identities {};
    CloudSessionPayload session {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("user_id", s.user_id);
        v("profile", s.profile);
        v("identities", s.identities);
        v("session", s.session);
    }
};

} // namespace quorvin
