#pragma once

#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// The service's answer to a list create; list_id is the id the service gave the list.
struct ListMutationResponse {
    QString list_id {};
    QString list_name {};
    std::optional<QString> last_modified {};
    std::optional<QString> source {};
    std::optional<QString> source_list_id {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("list_id", s.list_id);
        v("list_name", s.list_name);
        v("last_modified", s.last_modified);
        v("source", s.source);
        v("source_list_id", s.source_list_id);
    }
};

} // namespace quorvin
