#pragma once

#include "model/JsonField.h"
#include "model/ReminderListDirectoryPayload.h"
#include "model/ReminderPayload.h"

#include <QList>
#include <QString>

namespace quorvin {

// Every reminder and list as the bridge reads them, for the diagnostics report.
struct ReminderMonitorDiagnosticSnapshot {
    QString generated_at;
    QList<ReminderPayload> reminders;
    QList<ReminderListDirectoryPayload> lists;

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("generated_at", s.generated_at);
        v("reminders", s.reminders);
        v("lists", s.lists);
    }
};

} // namespace quorvin
