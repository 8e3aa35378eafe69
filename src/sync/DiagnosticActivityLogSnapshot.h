#pragma once

#include <QList>
#include <QString>

namespace quorvin {

// One activity entry as a diagnostics report carries it.
struct DiagnosticActivityLogSnapshot {
    QString created_at;
    QString category;
    QString summary;
    QList<QString> details;

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("created_at", s.created_at);
        v("category", s.category);
        v("summary", s.summary);
        v("details", s.details);
    }
};

} // namespace quorvin
