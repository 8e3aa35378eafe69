#pragma once

#include "model/CloudDeviceSessionPayload.h"
#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// Answer to the device-list query.
struct CloudDevicesResponse {
    QList<CloudDeviceSessionPayload> sessions {};

    template <class S, class V> static void fields(S &s, V &v) { v("sessions", s.sessions); }
};

} // namespace quorvin
