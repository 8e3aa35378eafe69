#pragma once

#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// The service's answer to an upsert; local_id is the service's id of the stored reminder.
struct ReminderUpsertMutationResponse {
    QString local_id {};
    std::optional<QString> request_local_id {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("local_id", s.local_id);
        v("request_local_id", s.request_local_id);
    }
};

} // namespace quorvin
