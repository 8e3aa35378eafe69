#pragma once

#include "matching/CloudRestartReconciliationPlan.h"
#include "matching/ReminderPayloadRef.h"
#include "model/ReminderPayload.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <vector>

namespace quorvin {

// Decides, after a launch and before anything is uploaded, which unmapped local reminders are new,
// which are a server item whose mapping was lost (found through one shared identity), and which
// are leftover copies of a completed occurrence. A pure computation; reads and writes no state.
class CloudRestartReconciliationPlanner {
public:
    CloudRestartReconciliationPlanner() = delete;

    // `remoteItems` carry the server id in `local_id`; `serverToLocalReminderIDs` is the reminder
    // mapping's server-to-local map.
    static CloudRestartReconciliationPlan makePlan(const QList<ReminderPayload> &localItems,
        const QList<ReminderPayload> &remoteItems, const QHash<QString, QString> &serverToLocalReminderIDs);
    static CloudRestartReconciliationPlan makePlan(const std::vector<ReminderPayloadRef> &localItems,
        const QList<ReminderPayload> &remoteItems, const QHash<QString, QString> &serverToLocalReminderIDs);

    // The trimmed, non-empty source item id, source external id, external id and (when asked)
    // local id.
    static QSet<QString> identities(const ReminderPayload &item, bool includeLocalID);
};

} // namespace quorvin
