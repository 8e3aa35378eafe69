#pragma once

#include "matching/ReminderMatchIndex.h"
#include "matching/ReminderMatchRecord.h"
#include "matching/ReminderPayloadRef.h"
#include "model/ReminderPayload.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

namespace quorvin {

class ReminderLookup;

// The working set of one apply of a cloud envelope: every local reminder payload by local id, with
// a match index over normalised copies of them. The apply keeps it current as it writes, so later
// items of the same envelope match against what Reminders holds now. Lookups return the local
// payloads, oldest first.
class CloudReminderMatchSession {
public:
    explicit CloudReminderMatchSession(const QList<ReminderPayload> &items);
    explicit CloudReminderMatchSession(const std::vector<ReminderPayloadRef> &items);

    CloudReminderMatchSession(const CloudReminderMatchSession &) = delete;
    CloudReminderMatchSession &operator=(const CloudReminderMatchSession &) = delete;

    // The normalised form the index holds of a payload.
    static ReminderMatchRecord record(const ReminderPayload &payload);

    // Null when no payload is held under that id.
    ReminderPayloadRef exactCandidate(const QString &localID);
    QList<ReminderPayloadRef> externalCandidates(const QSet<QString> &externalIDs);
    QList<ReminderPayloadRef> stableCandidates(const ReminderPayload &matching);
    QList<ReminderPayloadRef> completionAgnosticCandidates(const ReminderPayload &matching);
    QList<ReminderPayloadRef> completedOccurrenceCandidates(const ReminderPayload &matching);

    // Stores a payload under its own local id and re-indexes it.
    void upsert(ReminderPayloadRef payload);
    // Forgets one local id, payload and index entry alike.
    void remove(const QString &localID);
    // Forgets every reminder whose list id equals `listID` exactly.
    void removeAll(const QString &listID);

    ReminderMatchIndex &index() { return m_index; }
    const ReminderMatchIndex &index() const { return m_index; }
    const QHash<QString, ReminderPayloadRef> &payloadsByLocalID() const { return m_payloadsByLocalID; }
    // Null when no payload is held under that id.
    ReminderPayloadRef payload(const QString &localID) const { return m_payloadsByLocalID.value(localID); }

    // How many candidates the resolver compared in full; the apply reports it.
    qint64 fullComparisonCount() const { return m_fullComparisonCount; }
    void addFullComparisons(qint64 count) { m_fullComparisonCount += count; }

private:
    void build();
    QList<ReminderPayloadRef> payloads(const QList<ReminderMatchRecord> &records) const;

    ReminderMatchIndex m_index;
    QHash<QString, ReminderPayloadRef> m_payloadsByLocalID;
    qint64 m_fullComparisonCount = 0;
};

// Re-reads the given reminders after local writes: a reminder that still exists and maps to a
// payload is stored and re-indexed under its own local id; any other id leaves the session.
void refreshMatchSession(
    CloudReminderMatchSession &session, const QStringList &localIDs, const ReminderLookup &reminders);

} // namespace quorvin
