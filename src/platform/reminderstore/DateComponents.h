#pragma once

#include <QString>

#include <optional>

namespace quorvin {

// A calendar date, with or without a time of day, as the user entered it: plain components, not
// an instant. Turning them into an instant needs a calendar and a time zone, which is the
// reader's business.
struct DateComponents {
    std::optional<int> era {};
    std::optional<int> year {};
    std::optional<int> month {};
    std::optional<int> day {};
    std::optional<int> hour {};
    std::optional<int> minute {};
    std::optional<int> second {};
    // IANA id ("Asia/Shanghai"); absent for a floating date.
    std::optional<QString> timeZone {};

    // True when any of hour, minute or second is present.
    bool hasTimeOfDay() const { return hour.has_value() || minute.has_value() || second.has_value(); }

    bool operator==(const DateComponents &) const = default;
};

} // namespace quorvin
