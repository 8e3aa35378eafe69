#pragma once

#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// The count report of this client; the counts stand at the top level.
struct MqvReminderCountReportRequest {
    QString request_id {};
    QString server_cursor {};
    qint64 total_count = 0;
    qint64 completed_count = 0;
    qint64 incomplete_count = 0;

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("request_id", s.request_id);
        v("server_cursor", s.server_cursor);
        v("total_count", s.total_count);
        v("completed_count", s.completed_count);
        v("incomplete_count", s.incomplete_count);
    }
};

} // namespace quorvin
