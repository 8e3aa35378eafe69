#pragma once

#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// The service's receipt for a diagnostics report.
struct DiagnosticReportUploadResponse {
    QString report_id {};
    QString created_at {};
    std::optional<QString> server_cursor {};
    std::optional<qint64> retained_days {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("report_id", s.report_id);
        v("created_at", s.created_at);
        v("server_cursor", s.server_cursor);
        v("retained_days", s.retained_days);
    }
};

} // namespace quorvin
