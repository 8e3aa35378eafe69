#pragma once

#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// Answer to the account deletion.
struct CloudAccountDeletionResponse {
    bool deleted = false;

    template <class S, class V> static void fields(S &s, V &v) { v("deleted", s.deleted); }
};

} // namespace quorvin
