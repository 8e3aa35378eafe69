#pragma once

#include <QDateTime>

#include <optional>

namespace quorvin {

// Where a recurrence stops: at an instant, or after a number of occurrences.
struct RecurrenceEnd {
    std::optional<QDateTime> endDate {};
    // Meaningful only without endDate; 0 when the end is by date.
    int occurrenceCount = 0;

    static RecurrenceEnd byDate(QDateTime date)
    {
        RecurrenceEnd end;
        end.endDate = std::move(date);
        return end;
    }
    static RecurrenceEnd byCount(int count)
    {
        RecurrenceEnd end;
        end.occurrenceCount = count;
        return end;
    }

    bool operator==(const RecurrenceEnd &) const = default;
};

} // namespace quorvin
