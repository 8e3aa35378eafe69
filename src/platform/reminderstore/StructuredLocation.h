#pragma once

#include <QString>

#include <optional>

namespace quorvin {

// The place of a location alarm: a title, an optional coordinate and a geofence radius.
struct StructuredLocation {
    struct Coordinate {
        double latitude = 0;
        double longitude = 0;
        bool operator==(const Coordinate &) const = default;
    };

    std::optional<QString> title {};
    std::optional<Coordinate> geoLocation {};
    // Metres; 0 means the system's default radius.
    double radius = 0;

    bool operator==(const StructuredLocation &) const = default;
};

} // namespace quorvin
