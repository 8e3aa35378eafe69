#pragma once

#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// Body of the SMS-code request.
struct CloudPhoneCodeRequest {
    QString phone_number {};

    template <class S, class V> static void fields(S &s, V &v) { v("phone_number", s.phone_number); }
};

} // namespace quorvin
