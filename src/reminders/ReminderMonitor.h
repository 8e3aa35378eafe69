#pragma once

#include "matching/ReminderLookup.h"
#include "matching/ReminderRefreshEvent.h"
#include "model/ReminderListDirectoryPayload.h"
#include "model/ReminderPayload.h"
#include "model/ReminderUpsertMutationPayload.h"
#include "platform/concurrency/CancelToken.h"
#include "platform/concurrency/Clock.h"
#include "platform/concurrency/Wakeup.h"
#include "platform/reminderstore/ReminderStore.h"
#include "reminders/CompletedOccurrenceDedupeResult.h"
#include "reminders/NextOccurrence.h"
#include "reminders/ReminderMapper.h"
#include "reminders/ReminderMonitorDiagnosticSnapshot.h"

#include <QObject>
#include <QSet>
#include <QTimeZone>
#include <qcoro/qcorotask.h>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace quorvin {

class SyncStateStore;
class CloudReminderMatchSession;

// The one object through which the system reads and writes the reminder store: the access check,
// full refreshes journalled into the SyncStateStore, the debounce of store-change signals, and
// every write (fields, lists, completion, deletion, recurring alignment). Lives on the main
// thread.
class ReminderMonitor : public QObject, public ReminderLookup {
    Q_OBJECT
public:
    using RefreshCallback = std::function<void(const ReminderRefreshEvent &)>;
    using DiagnosticCallback = std::function<void(const QString &)>;

    // While a group is open, the writes below are staged instead of each committing on its own,
    // and commit() makes all of them durable in one commit of the store. A long apply of cloud
    // changes writes its items in groups: the store is written once per group instead of once
    // per item, and the group's mappings are saved right after its commit.
    //
    // A group may stay open across waits, but staged writes are not in the database for anyone
    // else, and an outside change of the database meanwhile drops them: commit() then fails as a
    // commit that could not be written does. A write that fails inside a group drops everything
    // the group staged (the store cannot drop less), so the group's owner has to forget whatever
    // it derived from those writes; commit() reports such a failure even when the write's error
    // was caught. Closing the group drops what is still staged.
    class WriteGroup {
    public:
        WriteGroup(WriteGroup &&other) noexcept;
        WriteGroup(const WriteGroup &) = delete;
        WriteGroup &operator=(const WriteGroup &) = delete;
        WriteGroup &operator=(WriteGroup &&) = delete;
        ~WriteGroup();

        // Commits what the group staged since its last commit. Throws when the commit fails or a
        // write of the group failed; what was staged is dropped then.
        void commit();
        // Drops what the group staged since its last commit.
        void drop();

    private:
        friend class ReminderMonitor;
        explicit WriteGroup(ReminderMonitor &monitor);
        ReminderMonitor *m_monitor;
        // The store's count of outside changes when the group began or last committed.
        int m_outsideChanges = 0;
    };

    // Store changes are debounced: a refresh 1 s after the last change, another 2 s after that.
    ReminderMonitor(ReminderStore &eventStore, SyncStateStore &stateStore, RefreshCallback onRefresh,
        DiagnosticCallback onDiagnostic, Clock &clock = Clock::system(),
        QTimeZone timeZone = QTimeZone::systemTimeZone(), QObject *parent = nullptr);
    ~ReminderMonitor() override;

    ReminderStore &eventStore() const { return m_eventStore; }
    SyncStateStore &stateStore() const { return m_stateStore; }

    // Access check, the "startup" refresh, then observation of store changes.
    QCoro::Task<void> start();
    // Stops following store changes and drops a pending debounced refresh (quitting).
    void stopObserving();
    // Re-reads everything, journals it and hands the event to onRefresh. A failed read throws and
    // leaves the journal as it was. Refreshes run one at a time, in the order they were asked for.
    QCoro::Task<void> refresh(QString reason);
    QCoro::Task<ReminderMonitorDiagnosticSnapshot> diagnosticSnapshot();

    // Reads.
    // `version`, when given, receives the store's contents version the copy was read at.
    QCoro::Task<std::vector<Reminder>> fetchRawReminders(quint64 *version = nullptr);
    std::optional<ReminderPayload> mapReminder(const Reminder &reminder, bool emitDiagnostics) const;
    std::vector<ReminderListDirectoryPayload> fetchAllReminderLists() const;
    bool isChinaMidnight(const QDateTime &date) const { return m_mapper.isChinaMidnight(date); }
    const GregorianCalendar &chinaCalendar() const { return m_mapper.chinaCalendar(); }
    const GregorianCalendar &calendar() const { return m_mapper.calendar(); }
    RecurrenceInfo recurrenceInfo(const Reminder &reminder, bool emitDiagnostics) const
    {
        return m_mapper.recurrenceInfo(reminder, emitDiagnostics);
    }

    // ReminderLookup.
    std::optional<LocalReminderState> reminder(const QString &localID) const override;
    ReminderPayloadRef mapReminder(const QString &localID) const override;
    std::optional<QString> localListID(const std::optional<QString> &sourceListID) const override;

    // Opens a write group (above); one at a time.
    [[nodiscard]] WriteGroup groupWrites();

    // Writes. With `refreshAfterWrite` each ends with refresh("android-write").
    QCoro::Task<QString> updateReminderFields(
        ReminderUpsertMutationPayload payload, bool refreshAfterWrite, bool forceSaveWhenRemoteIsNewer);
    QCoro::Task<std::pair<QString, QString>> createList(QString name, bool refreshAfterWrite);
    QCoro::Task<void> updateList(QString listID, QString newName, bool refreshAfterWrite);
    QCoro::Task<void> deleteList(QString listID, bool refreshAfterWrite);
    QCoro::Task<std::optional<QString>> setReminderCompletion(
        QString localID, bool isCompleted, std::optional<QDateTime> completionDateOverride, bool refreshAfterWrite);
    QCoro::Task<void> deleteReminder(QString localID, bool refreshAfterWrite);
    // The completed-reminder cleanup: removes those of `localIDs` that are still completed
    // reminders, all in one commit, and counts the others in one diagnostic line. A failed removal
    // or commit drops every removal staged so far, so a delete reported as failed changes nothing.
    // With `refreshAfterWrite` it ends with refresh("completed-cleanup"). Returns how many it removed.
    QCoro::Task<int> deleteCompletedCleanupCandidates(QStringList localIDs, bool refreshAfterWrite);

    // Recurring series against the cloud's view of them. The match session must outlive the call.
    QCoro::Task<bool> alignActiveRecurringReminderDate(QString localID, ReminderPayload item);
    QCoro::Task<std::optional<QString>> applyRemoteRecurringCompletionIfNeeded(ReminderPayload activeItem,
        std::optional<ReminderPayload> completedOccurrence, QString localID, CloudReminderMatchSession *matchSession);
    QCoro::Task<CompletedOccurrenceDedupeResult> removeLocalCompletedOccurrences(ReminderPayload matching,
        std::optional<QString> excludingLocalID, bool keepOne, CloudReminderMatchSession *matchSession);
    QCoro::Task<QList<QString>> removeLocalUncompletedDuplicates(ReminderPayload matchingCompleted,
        std::optional<QString> excludingLocalID, QSet<QString> protectedLocalIDs,
        CloudReminderMatchSession *matchSession);

    // The matching rules of recurring completions, as the bridge applies them.
    static bool sameRemoteRecurringCompletionIdentity(const ReminderPayload &a, const ReminderPayload &b);
    static bool isRemoteRecurringCompletionPair(
        const ReminderPayload &activeItem, const ReminderPayload &completedOccurrence);
    static bool localReminderCanApplyRemoteRecurringCompletion(
        const ReminderPayload &local, const ReminderPayload &activeItem, const ReminderPayload &completedOccurrence);
    static bool localCompletedOccurrence(const ReminderPayload &local, const ReminderPayload &remote);
    static bool stableReminderPayloadIgnoringCompletion(
        const ReminderPayload &local, const ReminderPayload &cloudItem, const std::optional<QString> &localListID);
    static bool remoteReminderHasRecurrence(const ReminderPayload &payload);

    // The list a record names (by id, then by exact title); none when it names none. Throws
    // "Target list not found".
    std::optional<ReminderList> resolveTargetCalendar(
        const std::optional<QString> &listID, const std::optional<QString> &listName) const;

    // Splits those of the given reminders that are completed but still carry their rules, as a
    // completion from outside is split (see splitOutsideRecurringCompletions), for a completion
    // made while the app was not running: no refresh saw those reminders open. The caller knows
    // they were (their series is open on the server). Returns whether it wrote; the next refresh
    // journals the result.
    bool splitRecurringCompletionsMadeWhileClosed(const QSet<QString> &localIDs);

    // Building blocks of the writes, public for the cleanup and the tests.
    std::optional<Reminder> makeDetachedNextRecurringReminderIfNeeded(
        const Reminder &reminder, const QDateTime &completionDate) const;
    bool recurrenceMatchesUpsert(const Reminder &reminder, const ReminderUpsertMutationPayload &payload,
        const std::optional<DateComponents> &desiredDueComponents) const;
    const NextOccurrence &nextOccurrence() const { return m_next; }

private:
    void requestAccess();
    void handleStoreChanged();
    void scheduleDebouncedRefresh();
    QCoro::Task<void> debounce(CancelToken token);
    QCoro::Task<std::vector<ReminderPayloadRef>> fetchAllReminders();
    // One entry per reminder of the store, in its order: the record it was mapped to, or none
    // for one mapped afresh each time (or that gave no record).
    struct MappingEntry {
        QString id;
        ReminderPayloadRef payload;
    };
    // What a refresh mapped, at which contents version of the store and in which placements: a
    // refresh that finds the store still at that version reads and compares nothing again.
    struct LastMapping {
        quint64 version = 0;
        quint64 placements = 0;
        std::vector<MappingEntry> entries;
    };
    // With `record`, sets it to the mapping's placements and entries when its kept records stand.
    QCoro::Task<std::vector<ReminderPayloadRef>> mapAllReminders(
        std::vector<Reminder> raw, std::optional<LastMapping> *record = nullptr);
    // The records of the last refresh again, when the store has not changed since it read it;
    // nothing when it has (or changes meanwhile).
    QCoro::Task<std::optional<std::vector<ReminderPayloadRef>>> remapUnchangedStore();
    // Each list with its source, and one placement for a reminder in no known list: every reminder
    // of one placement shares its summaries.
    struct Placements {
        QHash<QString, ReminderMapper::Placement> byList;
        ReminderMapper::Placement nowhere;
        const ReminderMapper::Placement &of(const QString &listID) const
        {
            const auto found = byList.constFind(listID);
            return found != byList.constEnd() ? *found : nowhere;
        }
    };
    static Placements placementsOf(std::vector<ReminderList> lists, std::vector<ReminderSource> sources);
    // A reminder mapped afresh (its rules logged), as the journal's payload when equal to it.
    std::optional<ReminderPayloadRef> mapAfresh(const Reminder &item, const Placements &placements) const;
    // Deletions of reminders the database lost are nobody's change: they move from the event's
    // changes to its lost ids.
    void separateRemindersLostByDatabase(ReminderRefreshEvent &event) const;
    // A recurring reminder completed from outside (another app or an edit of the database) still
    // carries its rules. It is split as a reminders app splits it: the completed occurrence keeps
    // its id without the rules, and a new open reminder carries them to the next occurrence.
    // Returns whether it wrote.
    bool splitOutsideRecurringCompletions(const std::vector<Reminder> &raw);
    // The split itself, of the reminders in `raw` that `wasOpen` says were open before.
    bool splitRecurringCompletions(
        const std::vector<Reminder> &raw, const std::function<bool(const QString &)> &wasOpen);
    // The placements of the lists and sources the store holds now. They are kept while those
    // stay: the refreshes and the apply's one-at-a-time look-ups all map in them, and each
    // placement makes its raw summary once for all of them.
    const Placements &currentPlacements() const;
    // The record the last mapping of every reminder made of this very reminder, in the lists and
    // sources as they are now; null when there is none.
    ReminderPayloadRef keptRecord(const Reminder &item) const;
    std::optional<Reminder> findReminder(const QString &localID) const;
    Reminder requireReminder(const QString &localID) const;
    // The zone date components name, else the calendar's.
    QTimeZone zoneOf(const DateComponents &components) const;
    // The zone a reminder's dates are read in: its due date's, else its own, else the calendar's.
    QTimeZone reminderZone(const Reminder &item) const;
    void emitRepeatDiagnostic(const QString &line) const { m_mapper.emitRepeatDiagnostic(line); }
    // Runs a write of the store. When it throws, what it left staged is dropped: a change the
    // caller is told failed must never be committed by a later, unrelated write.
    template <typename Write> decltype(auto) committing(Write &&write)
    {
        try {
            return write();
        } catch (...) {
            m_eventStore.reset();
            if (m_writeGroupOpen) {
                m_writeGroupFailure = std::current_exception();
            }
            throw;
        }
    }
    // Whether a write commits by itself: not inside a write group.
    bool commitsEachWrite() const { return !m_writeGroupOpen; }
    void commitUnlessGrouped();
    void diagnostic(const QString &line) const;

    ReminderStore &m_eventStore;
    SyncStateStore &m_stateStore;
    RefreshCallback m_onRefresh;
    DiagnosticCallback m_onDiagnostic;
    Clock &m_clock;
    ReminderMapper m_mapper;
    NextOccurrence m_next;
    // The record each reminder was last mapped to, with the reminder it was made from: a refresh
    // maps tens of thousands of reminders, nearly all as they were, and an equal reminder in the
    // same lists and sources gives an equal record. A reminder with rules is mapped afresh each
    // time, since its mapping is what logs the rules it read.
    struct MappedReminder {
        Reminder reminder;
        ReminderPayloadRef payload;
    };
    QHash<QString, MappedReminder> m_mapped;
    // The lists and sources the kept records were mapped in; any change of them drops the records.
    std::vector<ReminderList> m_mappedLists;
    std::vector<ReminderSource> m_mappedSources;
    quint64 m_mappedPlacements = 0;
    struct KeptPlacements {
        std::vector<ReminderList> lists;
        std::vector<ReminderSource> sources;
        Placements placements;
    };
    mutable std::optional<KeptPlacements> m_currentPlacements;
    std::optional<LastMapping> m_lastMapping;
    QMetaObject::Connection m_observer;
    std::unique_ptr<CancelSource> m_pendingTask;
    // Fired when the last refresh asked for has ended; the next one waits for it.
    std::optional<Wakeup> m_lastRefreshEnded;
    bool m_writeGroupOpen = false;
    // The first write of the open group that failed, for its commit to report.
    std::exception_ptr m_writeGroupFailure;
};

} // namespace quorvin
