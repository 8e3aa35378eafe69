#include "matching/CloudPullUploadCheckpoint.h"

namespace quorvin {

namespace {
// The deletions and lists of what was observed, each either written by the apply or a local change.
bool holdsListsOrDeletionsNotWritten(
    const SyncResponseEnvelope &observed, const QSet<QString> &cloudReminderIDs, const QSet<QString> &cloudListIDs)
{
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
} // namespace

CloudPullUploadCheckpoint::CloudPullUploadCheckpoint(const SyncResponseEnvelope &pendingBeforeApply)
    : m_cursor(pendingBeforeApply.next_cursor)
    , m_pending(SyncStateStore::envelopeHoldsChanges(pendingBeforeApply))
{
}

CloudPullUploadCheckpoint::CloudPullUploadCheckpoint(const SyncStateStore::JournalAnswer &pendingBeforeApply)
    : m_cursor(pendingBeforeApply.envelope.next_cursor)
    , m_pending(pendingBeforeApply.holdsChanges())
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
    return holdsListsOrDeletionsNotWritten(observed, cloudReminderIDs, cloudListIDs);
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
    return holdsListsOrDeletionsNotWritten(observed.envelope, cloudReminderIDs, cloudListIDs);
}

} // namespace quorvin
