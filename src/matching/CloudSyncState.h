#pragma once

#include "matching/CloudIDMappingIndex.h"
#include "matching/CloudRemoteIdentities.h"
#include "model/SyncResponseEnvelope.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace quorvin {

class Clock;
class DiagnosticSink;
class ReminderLookup;
class UserDefaults;

// The cloud-side sync state of this machine: both cursors and the rebase flag, the id mappings of
// reminders and lists, and the remote identity cache, each persisted in the user defaults under
// its own key and read back when the state is built. Clearing it (another token or user, an
// emptied server, a rebuild) never reaches the local reminders or the change journal: this class
// has no way to.
class CloudSyncState {
public:
    // Groups the mapping changes of one push, apply or restart reconciliation: inside it a map is
    // only marked dirty, and the close that ends the outermost batch writes each dirty map once.
    // Every way out of the scope that holds it closes it, a thrown error included.
    class MappingBatch {
    public:
        MappingBatch(MappingBatch &&other) noexcept;
        MappingBatch(const MappingBatch &) = delete;
        MappingBatch &operator=(const MappingBatch &) = delete;
        MappingBatch &operator=(MappingBatch &&) = delete;
        ~MappingBatch();
        // Closes the batch now. The settings changes `alongside` makes go into the same rewrite as
        // the fold that ends the outermost batch, so they are durable together with the mappings
        // and never before them, and a large settings file is rewritten once, not once for each.
        void close(const std::function<void()> &alongside);

    private:
        friend class CloudSyncState;
        explicit MappingBatch(CloudSyncState &state);
        CloudSyncState *m_state;
    };

    // The mappings, the identity cache and the queue of surplus copies as they stood at one moment,
    // to go back to when the local writes made since then are dropped.
    struct MappingCheckpoint {
        CloudIDMappingIndex reminders;
        CloudIDMappingIndex lists;
        QHash<QString, QString> remoteSourceIdentities;
        QSet<QString> remoteServerIDs;
        bool remoteIdentityCacheNeedsWrite = false;
        QSet<QString> redundantCompletedCopies;
        quint64 epoch = 0;
    };

    // With settings kept in a file, the mapping changes of an open batch also go to a journal
    // beside it ("<settings file>.journal") as they are made durable, and the journal is folded
    // into the settings when the batch closes and, within it, every 200 changes or as many changes
    // as the maps hold when that is more; a journal left by a killed process is folded in here.
    // Folds no longer follow the clock; the argument is still taken while callers move.
    CloudSyncState(UserDefaults &defaults, DiagnosticSink &log, const Clock *clock = nullptr);

    // ---- cursors
    // The server's `next_cursor` of the last applied pull; empty: none.
    const QString &cloudPullCursor() const { return m_cloudPullCursor; }
    // The journal sequence already uploaded; empty: none.
    const QString &cloudPushCursor() const { return m_cloudPushCursor; }
    void saveCloudPullCursor(const QString &cursor);
    void saveCloudPushCursor(const QString &cursor);
    // True at every launch and after every change of token or user, never persisted: the next pass
    // takes the restart path.
    bool cloudPushCursorNeedsRebase() const { return m_cloudPushCursorNeedsRebase; }
    void setCloudPushCursorNeedsRebase(bool value) { m_cloudPushCursorNeedsRebase = value; }
    // Sets the flag for a reason found while a pass may be running: that pass, which decided on
    // its path before, leaves the flag for the next one (see rebaseRequests()).
    void requestCloudPushCursorRebase()
    {
        m_cloudPushCursorNeedsRebase = true;
        ++m_rebaseRequests;
    }
    quint64 rebaseRequests() const { return m_rebaseRequests; }
    // "push=<cursor> / pull=<cursor>", an empty cursor shown as "-".
    QString cloudCursorSummary() const;
    // A cursor or a mapping is held.
    bool holdsState() const;

    // ---- id mappings; every change is written at once, or when the open batch closes
    const CloudIDMappingIndex &reminderMappingIndex() const { return m_reminderMappingIndex; }
    const CloudIDMappingIndex &listMappingIndex() const { return m_listMappingIndex; }
    [[nodiscard]] MappingBatch beginCloudMappingMutationBatch();
    void setReminderMapping(const QString &serverID, const QString &localID, bool uniqueLocalID);
    void removeReminderMapping(const QString &serverID);
    void setListMapping(const QString &serverID, const QString &localID, bool uniqueLocalID);
    void removeListMapping(const QString &serverID);
    // Maps a server reminder to the local one a pulled item was written to. A server item that moved
    // to another local reminder (the next occurrence of a series) keeps its identity on the next
    // upload: the server's stored source id still names the old reminder, so the cache now names
    // the new one. Likewise when the stored source id names a reminder that is gone here.
    void mapCloudReminder(const QString &serverID, const QString &localID, const ReminderLookup &reminders);
    // The same for a server item that stood for `previousLocalID` when its apply began; the apply
    // may have dropped that mapping on the way (to write the item into a fresh reminder).
    void mapCloudReminder(const QString &serverID, const QString &localID, const ReminderLookup &reminders,
        const std::optional<QString> &previousLocalID);
    // The server no longer holds that reminder: it loses its mapping and its place in the cache.
    void forgetServerReminder(const QString &serverID);
    // Makes the maps changed so far durable at once, also inside an open batch (which stays open):
    // into the journal when there is one, else into the settings. Called right after each store
    // commit that created a reminder or list or moved a mapping, and after each answer of a push,
    // so that a process ending just then leaves nothing behind without its mapping.
    void flushCloudMappings();
    // Called right before a store commit of the reminders an open batch mapped: their mappings go
    // to the journal as tentative, since a commit killed half-way may have written some of them.
    // The next start keeps those whose reminder resolveTentativeMappings() finds committed. A
    // commit that fails while the app runs may have written some of them too (a database that
    // dies after writing and before answering): when its mappings are dropped
    // (restoreMappingCheckpoint) they stay tentative in memory as well.
    void journalUncommittedMappings();
    // The tentative mappings of a commit that was cut short are kept for the reminders it did
    // write (`committed`), each only when neither its server id nor its reminder is mapped
    // otherwise. At start the others are dropped; while running (`waitForStore`) those whose
    // reminder is not there yet wait, since a database that came back may show it later.
    void resolveTentativeMappings(
        const std::function<bool(const QString &localID)> &committed, bool waitForStore = false);
    // Copies are cheap (the containers share their data until one side changes).
    MappingCheckpoint mappingCheckpoint() const;
    // Goes back to `checkpoint`; the maps are written with the next flush or batch close. Does
    // nothing once the state was cleared since the checkpoint: a cleared state stays cleared.
    void restoreMappingCheckpoint(const MappingCheckpoint &checkpoint);

    // ---- the local reminders the last apply that created any created, ids only. A task database
    // that acknowledged such writes may still lose them when it dies; one of these missing at the
    // next start is the database's loss, not the user's deletion.
    const QSet<QString> &remindersCreatedByLastApply() const { return m_remindersCreatedByLastApply; }
    // Replaces the set with `localIDs` and writes it; an apply that created nothing leaves it.
    void noteRemindersCreatedByApply(const QSet<QString> &localIDs);
    // Reminders the user changed since: they are no longer just what the app wrote.
    void forgetRemindersCreatedByApply(const QList<QString> &localIDs);

    // ---- mapped local reminders the database lost while the app ran (the store names them):
    // never deleted on the service, but brought back from it by a pass over its full snapshot.
    // Kept on disk, so that a quit before that pass does not make deletions of them at the start.
    const QSet<QString> &remindersLostByDatabase() const { return m_remindersLostByDatabase; }
    // Adds those of `localIDs` that are mapped; returns whether any was.
    bool noteRemindersLostByDatabase(const QList<QString> &localIDs);
    // Drops those no longer mapped: restored under a new id, or deleted on the service.
    void forgetRestoredRemindersLostByDatabase();

    // ---- remote identity cache: the server's reminder ids and the source id of each
    const QHash<QString, QString> &cachedRemoteSourceIdentityByServerID() const
    {
        return m_cachedRemoteSourceIdentityByServerID;
    }
    const QSet<QString> &cachedRemoteServerIDs() const { return m_cachedRemoteServerIDs; }
    // The cache as a push checks its mappings against it, built from copies of the cache's two
    // tables. Pure: tens of thousands of entries take long enough to be built away from the
    // window's thread.
    static CloudRemoteIdentities remoteIdentitiesOf(
        const QHash<QString, QString> &sourceIdentityByServerID, const QSet<QString> &serverIDs);
    // 1 once the cache was written from a pull, 0 after a clear; anything but 1 asks for a full pull.
    qint64 remoteIdentityCacheVersion() const { return m_remoteIdentityCacheVersion; }
    // Folds one pulled envelope into the cache and saves it.
    void updateRemoteIdentityCache(const SyncResponseEnvelope &envelope);
    // The same in three steps, so that a full snapshot of tens of thousands of items is folded
    // away from the window's thread: copies of the cache's tables, the fold of an envelope into
    // them (pure; returns whether the cache changed), and taking them as the cache and saving it,
    // which leaves the old tables in `tables`.
    struct RemoteIdentityTables {
        QHash<QString, QString> sourceIdentityByServerID;
        QSet<QString> serverIDs;
        QHash<QString, QString> listByServerID;
        QSet<QString> listMoved;
    };
    RemoteIdentityTables remoteIdentityTables() const;
    static bool foldIntoRemoteIdentityTables(RemoteIdentityTables &tables, const SyncResponseEnvelope &envelope);
    void adoptRemoteIdentityTables(RemoteIdentityTables &tables, bool changed);
    // Whether the item of `serverID` sits in the server list recorded for it before this pass's
    // pulls: the list last synced, so a local reminder found elsewhere was moved here. False when
    // a pull of the pass found it in another list or that is not known (a new item, or no earlier
    // pull recorded lists).
    bool remoteListUnchanged(const QString &serverID) const
    {
        return m_cachedRemoteListByServerID.contains(serverID) && !m_remoteListMoved.contains(serverID);
    }
    // A pass starts: what its pulls find moved is counted from here.
    void forgetRemoteListMoves() { m_remoteListMoved.clear(); }
    // Records one reminder the server has just accepted; saved with the next save.
    void noteRemoteReminderUpsert(const QString &serverID, const std::optional<QString> &sourceID);
    // Writes the cache when it changed since it was last written, or was never written from a pull.
    void saveRemoteIdentityCache();

    // ---- surplus completed copies of one occurrence, queued for deletion on the server. Each stays
    // mapped until its delete succeeds and loses its mapping with it, so a later pull of the
    // delete leaves the reminder be.
    const QSet<QString> &redundantCompletedCopyServerIDs() const { return m_redundantCompletedCopyServerIDs; }
    void noteRedundantCompletedCopy(const QString &serverID) { m_redundantCompletedCopyServerIDs.insert(serverID); }
    void dropRedundantCompletedCopy(const QString &serverID) { m_redundantCompletedCopyServerIDs.remove(serverID); }

    // ---- clearing
    // Raised by every clear and by every token change: a pass that sees it move during an await
    // stops without writing anything.
    quint64 syncStateEpoch() const { return m_syncStateEpoch; }
    void raiseSyncStateEpoch() { ++m_syncStateEpoch; }
    // Empties both cursors (stored as empty texts), both mappings and the remote identity cache, and
    // logs `reason` as the whole line. The rebase flag is left to the caller.
    void clearCloudSyncState(const QString &reason);

private:
    void journal(const QJsonObject &entry);
    bool appendToJournal(const QByteArray &lines);
    void foldMappingJournal(const std::function<void()> &alongside = {});
    void foldedIntoSettings(quint64 fold);
    void replayMappingJournal();
    void saveReminderMappings();
    void saveListMappings();
    void saveRemindersLostByDatabase();
    void endCloudMappingMutationBatch(const std::function<void()> &alongside = {});
    void clearRemoteIdentityCache();

    UserDefaults &m_defaults;
    DiagnosticSink &m_log;

    QString m_cloudPullCursor;
    QString m_cloudPushCursor;
    bool m_cloudPushCursorNeedsRebase = true;
    quint64 m_rebaseRequests = 0;
    quint64 m_syncStateEpoch = 0;

    CloudIDMappingIndex m_reminderMappingIndex;
    CloudIDMappingIndex m_listMappingIndex;
    int m_cloudMappingMutationBatchDepth = 0;
    bool m_reminderMappingsNeedSave = false;
    bool m_listMappingsNeedSave = false;
    // The journal file; absent with settings in memory. Lines not yet appended wait in
    // m_pendingJournal until the next flush, so a change of a stretch whose commit never came is
    // never made durable.
    std::optional<QString> m_journalPath;
    QByteArray m_pendingJournal;
    // The same lines as entries, one each.
    QList<QJsonObject> m_pendingEntries;
    QList<QJsonObject> m_tentativeMappings;
    // The entries of the commit under way (unmarked), until its mappings are flushed or dropped.
    QList<QJsonObject> m_uncommittedMappings;
    int m_changesSinceFold = 0;
    // The journal is cut once the settings a fold wrote are on disk, which is later than the fold:
    // the lines appended after each fold, by the fold's number, are what stays then.
    quint64 m_folds = 0;
    QList<std::pair<quint64, QByteArray>> m_journalSinceFold;
    // Tells the settings' answers that arrive after this object is gone to do nothing.
    std::shared_ptr<const int> m_alive = std::make_shared<const int>(0);

    QHash<QString, QString> m_cachedRemoteSourceIdentityByServerID;
    QSet<QString> m_cachedRemoteServerIDs;
    // The server list of each server item as last pulled ("" for none), and the items this
    // pass's pulls found in another list than the recorded one, or with none recorded.
    QHash<QString, QString> m_cachedRemoteListByServerID;
    QSet<QString> m_remoteListMoved;
    qint64 m_remoteIdentityCacheVersion = 0;
    // The cache differs from what the defaults hold; an unchanged cache is not rewritten.
    bool m_remoteIdentityCacheNeedsWrite = true;

    QSet<QString> m_redundantCompletedCopyServerIDs;
    QSet<QString> m_remindersCreatedByLastApply;
    QSet<QString> m_remindersLostByDatabase;
};

} // namespace quorvin
