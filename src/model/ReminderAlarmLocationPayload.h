#pragma once

#include "model/JsonField.h"

#include <QString>

#include <optional>

namespace quorvin {

// The geofence of a location alarm.
struct ReminderAlarmLocationPayload {
    std::optional<QString> title {};
    std::optional<double> latitude {};
    std::optional<double> longitude {};
    std::optional<double> radius_meters {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("title", s.title);
        v("latitude", s.latitude);
        v("longitude", s.longitude);
        v("radius_meters", s.radius_meters);
    }
};

} // namespace quorvin
