#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// The parsed form of a "custom:" repeat summary.
struct StructuredRecurrenceSummary {
    QString repeatType; // "weekly", "monthly" or "yearly"
    int interval = 1; // at least 1
    std::optional<QString> mode; // "dates" or "ordinal"; absent for weekly
    QList<QString> weekdayTokens;
    QList<int> monthDays;
    QList<int> months;
    std::optional<int> ordinal; // 1-4, or -1 for the last
    std::optional<QString> weekdayToken;

    bool operator==(const StructuredRecurrenceSummary &) const = default;
};

} // namespace quorvin
