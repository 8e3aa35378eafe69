#include "matching/CloudPullUploadCheckpoint.h"

namespace quorvin {

CloudPullUploadCheckpoint::CloudPullUploadCheckpoint(const SyncStateStore::JournalAnswer &pendingBeforeApply)
    : m_cursor(pendingBeforeApply.envelope.next_cursor)
    , m_pending(pendingBeforeApply.holdsChanges())
{
}

bool CloudPullUploadCheckpoint::requiresLocalUpload(const SyncStateStore::JournalAnswer &observed,
    const QSet<QString> &cloudReminderIDs, const QSet<QString> &cloudListIDs) const
{
    if (m_pending || observed.envelope.full_snapshot) {
        return true;
    }
    for (const auto &item : observed.items) {
        if (!cloudReminderIDs.contains(item->local_id)) {
            return true;
        }
    }
    for (const auto &id : observed.envelope.deleted_ids) {
        if (!cloudReminderIDs.contains(id)) {
            return true;
        }
    }
    for (const auto &list : observed.envelope.lists) {
        if (!cloudListIDs.contains(list.list_id)) {
            return true;
        }
    }
    for (const auto &id : observed.envelope.deleted_list_ids) {
        if (!cloudListIDs.contains(id)) {
            return true;
        }
    }
    return false;
}

} // namespace quorvin
