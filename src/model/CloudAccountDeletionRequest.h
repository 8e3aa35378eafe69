#pragma once

#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// Body of the permanent account deletion.
struct CloudAccountDeletionRequest {
    QString phone_number {};
    QString challenge_id {};
    QString code {};
    QString confirmation_text {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("phone_number", s.phone_number);
        v("challenge_id", s.challenge_id);
        v("code", s.code);
        v("confirmation_text", s.confirmation_text);
    }
};

} // namespace quorvin
