#pragma once

#include "model/JsonField.h"
#include "model/MqvReminderCountReport.h"
#include "model/ReminderCountSummary.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// The service's verdict on a count report; state is free text ("matched", "mismatched", ...).
struct SyncCountVerificationResponse {
    QString state {};
    std::optional<QString> request_id {};
    std::optional<QString> requested_at {};
    QString server_cursor {};
    ReminderCountSummary server_counts {};
    std::optional<MqvReminderCountReport> mqv_report {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("state", s.state);
        v("request_id", s.request_id);
        v("requested_at", s.requested_at);
        v("server_cursor", s.server_cursor);
        v("server_counts", s.server_counts);
        v("mqv_report", s.mqv_report);
    }
};

} // namespace quorvin
