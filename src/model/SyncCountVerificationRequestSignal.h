#pragma once

#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// The service's request for a count report, carried in a long-poll answer.
struct SyncCountVerificationRequestSignal {
    QString request_id {};
    QString server_cursor {};
    QString requested_at {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("request_id", s.request_id);
        v("server_cursor", s.server_cursor);
        v("requested_at", s.requested_at);
    }
};

} // namespace quorvin
