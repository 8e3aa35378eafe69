#pragma once

#include "matching/SyncStateStore.h"
#include "model/SyncResponseEnvelope.h"

#include <QSet>
#include <QString>

namespace quorvin {

// Tells the echo of an apply's own writes from local changes that still need uploading. Made from
// the journal's local changes just before a pull is applied; asked with the changes seen after it
// and the local ids the apply itself wrote or deleted.
class CloudPullUploadCheckpoint {
public:
    // Only ids and cursors of the journal's answers are read, so their payloads are never copied.
    explicit CloudPullUploadCheckpoint(const SyncStateStore::JournalAnswer &pendingBeforeApply);

    // The journal cursor of the envelope taken before the apply.
    const QString &cursor() const { return m_cursor; }
    // True when that envelope held any local change.
    bool hadPendingChanges() const { return m_pending; }

    bool requiresLocalUpload(const SyncStateStore::JournalAnswer &observedDuringApply,
        const QSet<QString> &cloudReminderIDs, const QSet<QString> &cloudListIDs) const;

private:
    QString m_cursor;
    bool m_pending = false;
};

} // namespace quorvin
