#pragma once

#include "model/JSONValue.h"
#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// One diagnostics report.
struct DiagnosticReportUploadRequest {
    qint64 schema_version = 0;
    QString client_kind {};
    QString platform {};
    std::optional<QString> app_version {};
    std::optional<QString> device_id {};
    QString generated_at {};
    JSONValue report {};
    std::optional<QString> parent_report_id {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("schema_version", s.schema_version);
        v("client_kind", s.client_kind);
        v("platform", s.platform);
        v("app_version", s.app_version);
        v("device_id", s.device_id);
        v("generated_at", s.generated_at);
        v("report", s.report);
        v("parent_report_id", s.parent_report_id);
    }
};

} // namespace quorvin
