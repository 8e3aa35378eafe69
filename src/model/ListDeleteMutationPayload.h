#pragma once

#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// One reminder list to delete on the service.
struct ListDeleteMutationPayload {
    QString list_id {};
    std::optional<QString> client_last_modified {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("list_id", s.list_id);
        v("client_last_modified", s.client_last_modified);
    }
};

} // namespace quorvin
