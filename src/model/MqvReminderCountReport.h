#pragma once

#include "model/JsonField.h"
#include "model/ReminderCountSummary.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// This client's count report as the service stored it.
struct MqvReminderCountReport {
    std::optional<QString> request_id {};
    QString device_id {};
    QString server_cursor {};
    ReminderCountSummary counts {};
    QString reported_at {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("request_id", s.request_id);
        v("device_id", s.device_id);
        v("server_cursor", s.server_cursor);
        v("counts", s.counts);
        v("reported_at", s.reported_at);
    }
};

} // namespace quorvin
