#pragma once

#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// One session as the session answers carry it.
struct CloudSessionPayload {
    std::optional<QString> session_id {};
    std::optional<QString> device_id {};
    std::optional<QString> client_kind {};
    std::optional<QString> created_at {};
    std::optional<QString> last_seen_at {};
    std::optional<QString> revoked_at {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("session_id", s.session_id);
        v("device_id", s.device_id);
        v("client_kind", s.client_kind);
        v("created_at", s.created_at);
        v("last_seen_at", s.last_seen_at);
        v("revoked_at", s.revoked_at);
    }
};

} // namespace quorvin
