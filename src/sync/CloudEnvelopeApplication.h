#pragma once

#include "model/SyncResponseEnvelope.h"
#include "sync/RemoteRecurringCompletionPair.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <memory>

namespace quorvin {

class CloudReminderMatchSession;

// One apply of a pulled envelope, shared by its phases (deletes, lists, items). Built before
// anything is written.
struct CloudEnvelopeApplication {
    SyncResponseEnvelope envelope;
    // Matches cloud items to the local reminders as they were before the apply; every write of the
    // apply keeps it current.
    std::shared_ptr<CloudReminderMatchSession> session;
    // Active recurring items by server id, each with the completed copy of an earlier occurrence.
    QHash<QString, RemoteRecurringCompletionPair> pairs;
    // Server ids of those completed copies.
    QSet<QString> pairCompletedIDs;
    // Local ids that items of the envelope claim: never removed as duplicates.
    QSet<QString> protectedLocalReminderIDs;
    QSet<QString> deletedReminderIDs;
    QSet<QString> deletedListIDs;

    // Local reminders and lists the cloud touched, which the push cursor may move past.
    QSet<QString> cloudReminderIDs;
    QSet<QString> cloudListIDs;
    // Local reminders the apply created (not those it only updated).
    QSet<QString> createdReminderIDs;
    // Something was written (or an item reached the item step).
    bool wrote = false;
    // A local change is left that a follow-up pass must upload.
    bool followUp = false;
    // Server ids of items whose write left such a change, and of those the store refused: a
    // refused item needs no follow-up, only the next pass's pull.
    QSet<QString> followUpServerIDs;
    QSet<QString> refusedServerIDs;
};

} // namespace quorvin
