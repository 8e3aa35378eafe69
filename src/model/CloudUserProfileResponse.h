#pragma once

#include "model/CloudIdentityPayload.h"
#include "model/CloudUserProfilePayload.h"
#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// Answer to the profile query, the profile update and the avatar upload.
struct CloudUserProfileResponse {
    QString user_id {};
    CloudUserProfilePayload profile {};
    std::optional<QList<CloudIdentityPayload>> identities {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("user_id", s.user_id);
        v("profile", s.profile);
        v("identities", s.identities);
    }
};

} // namespace quorvin
