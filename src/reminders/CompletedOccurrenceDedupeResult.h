#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// What a cleanup of local completed copies of one occurrence did.
struct CompletedOccurrenceDedupeResult {
    std::optional<QString> keptLocalID;
    // In candidate order.
    QList<QString> removedLocalIDs;
};

} // namespace quorvin
