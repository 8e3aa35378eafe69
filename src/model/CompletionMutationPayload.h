#pragma once

#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// Sets or clears the completion of one reminder on the service, named by the service's id.
struct CompletionMutationPayload {
    QString local_id {};
    bool is_completed = false;
    std::optional<QString> completion_date {};
    std::optional<QString> client_last_modified {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("local_id", s.local_id);
        v("is_completed", s.is_completed);
        v("completion_date", s.completion_date);
        v("client_last_modified", s.client_last_modified);
    }
};

} // namespace quorvin
