#pragma once

#include "model/JsonField.h"
#include "model/SyncCountVerificationRequestSignal.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// The answer of one long-poll call.
struct CloudSyncWaitResponse {
    std::optional<QString> diagnostic_request_id {};
    bool changed = false;
    QString current_cursor {};
    QString generated_at {};
    std::optional<SyncCountVerificationRequestSignal> count_verification_request {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("diagnostic_request_id", s.diagnostic_request_id);
        v("changed", s.changed);
        v("current_cursor", s.current_cursor);
        v("generated_at", s.generated_at);
        v("count_verification_request", s.count_verification_request);
    }
};

} // namespace quorvin
