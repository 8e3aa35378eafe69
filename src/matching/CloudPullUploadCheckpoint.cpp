#include "matching/CloudPullUploadCheckpoint.h"

namespace quorvin {

CloudPullUploadCheckpoint::CloudPullUploadCheckpoint(const SyncResponseEnvelope &pendingBeforeApply)
    : m_cursor(pendingBeforeApply.next_cursor)
    , m_pending(!pendingBeforeApply.items.isEmpty() || !pendingBeforeApply.deleted_ids.isEmpty()
          || !pendingBeforeApply.lists.isEmpty() || !pendingBeforeApply.deleted_list_ids.isEmpty())
{
}

bool CloudPullUploadCheckpoint::requiresLocalUpload(const SyncResponseEnvelope &observed,
    const QSet<QString> &cloudReminderIDs, const QSet<QString> &cloudListIDs) const
{
    if (m_pending || observed.full_snapshot) {
        return true;
    }
    for (const auto &item : observed.items) {
        if (!cloudReminderIDs.contains(item.local_id)) {
            return true;
        }
    }
    for (const auto &id : observed.deleted_ids) {
        if (!cloudReminderIDs.contains(id)) {
            return true;
        }
    }
    for (const auto &list : observed.lists) {
        if (!cloudListIDs.contains(list.list_id)) {
            return true;
        }
    }
    for (const auto &id : observed.deleted_list_ids) {
        if (!cloudListIDs.contains(id)) {
            return true;
        }
    }
    return false;
}

} // namespace quorvin
