#pragma once

#include "matching/ChangeBatch.h"
#include "matching/ReminderPayloadRef.h"
#include "matching/ReminderRefreshEvent.h"
#include "matching/ReminderRefreshListChange.h"
#include "matching/SyncStateSnapshot.h"
#include "model/ReminderListDirectoryPayload.h"
#include "model/ReminderPayload.h"
#include "model/SyncResponseEnvelope.h"

#include <QHash>
#include <QList>
#include <QString>

#include <deque>
#include <optional>
#include <vector>

namespace quorvin {

class Clock;

// The in-memory journal of the reminder database. After every fetch the bridge hands it the whole
// list directory and then the whole reminder snapshot; the store keeps the latest of both, numbers
// every set of changes with a growing sequence and keeps the newest batches, so the engine can ask
// for everything that changed after a sequence it has already uploaded.
//
// Lives on the main thread; every operation is synchronous and none throws. Sequences restart at 0
// with every process.
class SyncStateStore {
public:
    static constexpr int maxBatches = 200;

    explicit SyncStateStore(Clock &clock);
    // Uses the process-wide real clock for the stamps of new lists and answers.
    SyncStateStore();

    SyncStateStore(const SyncStateStore &) = delete;
    SyncStateStore &operator=(const SyncStateStore &) = delete;

    // Stores the new list directory and journals new, changed and removed lists. Returns the
    // changes: new and changed lists in directory order, then removed lists by ascending id.
    QList<ReminderRefreshListChange> replaceListDirectory(QList<ReminderListDirectoryPayload> lists);

    // Stores the new reminder snapshot and journals every reminder that is new, whose content hash
    // changed, or that is gone. A reminder equal in every field to the stored one keeps the stored
    // payload, so an unchanged database costs no copy.
    ReminderRefreshEvent applySnapshot(const QList<ReminderPayload> &reminders);
    // The same for payloads the caller already shares.
    ReminderRefreshEvent applySnapshot(const std::vector<ReminderPayloadRef> &reminders);
    // A freshly mapped payload as a shared one: the stored payload when it is equal in every
    // field, so that a reminder that did not change is held once however often it is read.
    ReminderPayloadRef share(ReminderPayload payload) const;

    // The local changes after `cursor` (a sequence as decimal text), or the full snapshot when the
    // cursor is absent, unreadable, ahead of the journal or older than its oldest batch.
    SyncResponseEnvelope syncResponse(const std::optional<QString> &cursor) const;
    // The same answer in two steps: what it holds, read here with the items as shared references,
    // and the envelope made from that, which touches nothing of the journal and so may be built on
    // another thread (copying thousands of payloads is the expensive part).
    struct JournalAnswer {
        SyncResponseEnvelope envelope; // everything but the items
        std::vector<ReminderPayloadRef> items;
        // Items, deletions or lists: anything at all to upload or apply.
        bool holdsChanges() const
        {
            return !items.empty() || !envelope.deleted_ids.isEmpty() || !envelope.lists.isEmpty()
                || !envelope.deleted_list_ids.isEmpty();
        }
    };
    JournalAnswer journalAnswer(const std::optional<QString> &cursor) const;
    static SyncResponseEnvelope envelopeOf(JournalAnswer answer);

    // Reminders by ascending local id and the list directory, as copies.
    SyncStateSnapshot currentSnapshot() const;
    // The same reminders without copying them.
    std::vector<ReminderPayloadRef> snapshotPayloads() const;
    // The same by local id, unordered: taking it costs nothing, so a worker can sort it instead.
    QHash<QString, ReminderPayloadRef> payloadsByLocalID() const { return m_snapshotById; }
    const QList<ReminderListDirectoryPayload> &listDirectory() const { return m_listDirectory; }

    qint64 currentSequence() const { return m_currentSequence; }
    int reminderCount() const { return int(m_snapshotById.size()); }
    const std::deque<ChangeBatch> &batches() const { return m_batches; }

    // Reads a cursor: an optional single sign and one or more ASCII digits, nothing else, within
    // the signed 64-bit range.
    static std::optional<qint64> parseCursor(const QString &text);

private:
    void appendBatch(ChangeBatch batch);
    // The event of a refresh that found every reminder as it was.
    ReminderRefreshEvent unchangedRefresh() const;
    QString nowText() const;

    Clock &m_clock;
    QHash<QString, ReminderPayloadRef> m_snapshotById;
    QList<ReminderListDirectoryPayload> m_listDirectory;
    qint64 m_currentSequence = 0;
    std::deque<ChangeBatch> m_batches;
};

} // namespace quorvin
