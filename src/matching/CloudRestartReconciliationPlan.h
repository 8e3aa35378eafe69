#pragma once

#include "matching/CloudRestartMappingRepair.h"

#include <QList>
#include <QStringList>

namespace quorvin {

// What to do, after a restart, with the local reminders the server does not know through a
// mapping. Every list is sorted by local id.
struct CloudRestartReconciliationPlan {
    QList<CloudRestartMappingRepair> mappingRepairs;
    // Strict duplicates of an already mapped completed occurrence: delete.
    QStringList duplicateLocalIDs;
    QStringList uploadLocalIDs;
    // Cannot be decided safely: the pass stops.
    QStringList ambiguousLocalIDs;
    int inspectedLocalCount = 0;
    int identityLookupCount = 0;
    int semanticLookupCount = 0;
};

} // namespace quorvin
