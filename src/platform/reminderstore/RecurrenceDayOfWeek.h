#pragma once

namespace quorvin {

// A weekday of a recurrence rule, optionally the n-th of its kind in the month or year
// (weekNumber 2 = second, -1 = last, 0 = every).
struct RecurrenceDayOfWeek {
    // 1 Sunday, 2 Monday ... 7 Saturday.
    int dayOfTheWeek = 1;
    int weekNumber = 0;

    bool operator==(const RecurrenceDayOfWeek &) const = default;
};

} // namespace quorvin
