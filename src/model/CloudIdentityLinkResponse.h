#pragma once

#include "model/CloudIdentityPayload.h"
#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// Answer to phone linking.
struct CloudIdentityLinkResponse {
    QString user_id {};
    CloudIdentityPayload identity {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("user_id", s.user_id);
        v("identity", s.identity);
    }
};

} // namespace quorvin
