#pragma once

// CloudSyncPassPhase: what every phase of a sync pass shares over the pass's context — the
// components, the client, and the one awaiter.
//
// Every await of a phase goes through `fenced()`: it awaits, then checks that the owner is still
// there and that the sync state's epoch has not moved (sign-out, another account, a reset), and
// throws otherwise — so no phase applies a late answer to another account or to a cleared state.

#include "cloud/CloudSyncClient.h"
#include "model/SyncResponseEnvelope.h"
#include "sync/CloudSyncPassContext.h"

#include <QSet>
#include <QString>
#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>
#include <optional>
#include <type_traits>

namespace quorvin {

class CloudSyncPassPhase {
public:
    CloudSyncPassPhase(const CloudSyncPassPhase &) = delete;
    CloudSyncPassPhase &operator=(const CloudSyncPassPhase &) = delete;

protected:
    explicit CloudSyncPassPhase(CloudSyncPassContext &context);
    ~CloudSyncPassPhase() = default;

    // Awaits `task`; once it has answered, throws unless the pass may go on (see ensureCurrent).
    template <typename T> QCoro::Task<T> fenced(QCoro::Task<T> task)
    {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(task);
            ensureCurrent();
        } else {
            auto value = co_await std::move(task);
            ensureCurrent();
            co_return value;
        }
    }
    // Throws CancelledError when the owner is gone, SyncStateFencedError when the sync state was
    // cleared or the token changed since the pass began, and CancelledError once the owner is
    // stopping, so a pass never goes on past the first wait after a stop request. Called by hand
    // only where a phase handles an await's failure itself: the fence is checked once the failure
    // is judged, as after an answer.
    void ensureCurrent() const;
    // Long walks over cloud items (the apply, the due-date alignment) let other main-thread work run
    // before every twelfth item.
    static constexpr qsizetype itemsBetweenYields = 12;
    // An apply commits the store and saves its mappings at most this often.
    static constexpr std::chrono::milliseconds minimumCommitStretch {1000};
    // ... and never before the items written since took this many times the last commit.
    static constexpr int commitShareOfStretch = 20;
    // Store-wide work on fewer reminders than this stays on the main thread: handing it over
    // would cost more than it takes.
    static constexpr std::size_t copiedInPlace = 256;
    // Runs store-wide work over `items` items: in place below copiedInPlace, else on a worker
    // thread. The work may read only shared copies and values of its own.
    QCoro::Task<void> runStoreWide(std::size_t items, std::function<void()> work);
    // Throws SettingsWriteError when the settings could not be written: a pass never reports
    // success, or goes on creating reminders, with its cursors or mappings not on disk. Knows of
    // the writes that have ended; settingsWritten() waits for the pass's own first.
    void ensureSettingsWritten() const;
    // Waits until every settings change made so far is on disk (the file is written away from the
    // main thread), then ensureSettingsWritten().
    QCoro::Task<void> settingsWritten();
    // Called by a push after each answer it recorded in the mappings: makes them durable.
    void noteMappingProgress();
    // Writes the mappings changed so far at once (right after a store commit that created a
    // reminder or list or moved a mapping), then ensureSettingsWritten().
    void saveMappingsNow();
    // The journal's changes since `cursor` (none: the whole snapshot), read at once; the copies of
    // a large answer's items are made on a worker thread.
    QCoro::Task<SyncResponseEnvelope> journalChanges(std::optional<QString> cursor);

    // The context.
    QPointer<QObject> m_lifetime;
    UserDefaults &m_defaults;
    Clock &m_clock;
    ReminderStore &m_store;
    DiagnosticLog &m_log;
    ActivityLog &m_activityLog;
    CloudSyncState &m_syncState;
    CloudAccount &m_account;
    SyncStateStore *m_stateStore;
    ReminderMonitor *m_reminderMonitor;
    std::optional<QString> &m_pullRetryCursor;
    QString &m_lastPullCursor;
    QSet<QString> &m_localRemindersAwaitingUpload;
    CloudSyncPassOwner &m_owner;

    CloudSyncClient &m_client;
    quint64 &m_epoch;
};

} // namespace quorvin
