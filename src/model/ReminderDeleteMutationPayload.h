#pragma once

#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// One reminder to delete on the service, named by the service's id.
struct ReminderDeleteMutationPayload {
    QString local_id {};
    std::optional<QString> client_last_modified {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("local_id", s.local_id);
        v("client_last_modified", s.client_last_modified);
    }
};

} // namespace quorvin
