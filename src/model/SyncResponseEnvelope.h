#pragma once

#include "model/JsonField.h"
#include "model/ReminderListDirectoryPayload.h"
#include "model/ReminderPayload.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// One batch of changes: the service's sync answer and the local journal's delta alike. The four
// arrays are required even when empty.
struct SyncResponseEnvelope {
    QList<ReminderPayload> items {};
    QList<QString> deleted_ids {};
    QList<QString> deleted_list_ids {};
    QList<ReminderListDirectoryPayload> lists {};
    QString next_cursor {};
    QString generated_at {};
    std::optional<qint64> rebuild_generation {};
    bool full_snapshot = false;

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("items", s.items);
        v("deleted_ids", s.deleted_ids);
        v("deleted_list_ids", s.deleted_list_ids);
        v("lists", s.lists);
        v("next_cursor", s.next_cursor);
        v("generated_at", s.generated_at);
        v("rebuild_generation", s.rebuild_generation);
        v("full_snapshot", s.full_snapshot);
    }
};

} // namespace quorvin
