#pragma once

#include "platform/reminderstore/RecurrenceDayOfWeek.h"
#include "platform/reminderstore/RecurrenceEnd.h"

#include <optional>
#include <vector>

namespace quorvin {

// How a reminder repeats. Every list is optional: absent and empty are kept apart, so what was
// saved is read back exactly. The store holds rules as given and never advances them.
struct RecurrenceRule {
    enum class Frequency { Daily = 0, Weekly = 1, Monthly = 2, Yearly = 3 };

    Frequency frequency = Frequency::Daily;
    int interval = 1;
    std::optional<std::vector<RecurrenceDayOfWeek>> daysOfTheWeek {};
    std::optional<std::vector<int>> daysOfTheMonth {};
    std::optional<std::vector<int>> monthsOfTheYear {};
    std::optional<std::vector<int>> weeksOfTheYear {};
    std::optional<std::vector<int>> daysOfTheYear {};
    std::optional<std::vector<int>> setPositions {};
    // 0 = the system's default, else 1 Sunday ... 7 Saturday.
    int firstDayOfTheWeek = 0;
    std::optional<RecurrenceEnd> end {};

    bool operator==(const RecurrenceRule &) const = default;
};

} // namespace quorvin
