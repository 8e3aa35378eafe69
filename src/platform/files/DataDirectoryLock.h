#pragma once

#include <QString>

#include <optional>

namespace quorvin {

// Keeps a second copy of the application off the same data: two copies syncing one set of
// reminders each upload what the other has not mapped yet, and the server fills with duplicates.
//
// The first copy to start holds an exclusive lock on "quorvin.lock" in the data directory for as
// long as the object lives, and writes its process id into the file so that a second copy can
// say which copy runs. The lock belongs to the open file, so the system drops it however the
// process ends: a lock file left behind by a crashed copy blocks nothing.
class DataDirectoryLock {
public:
    enum class State {
        Held,
        // Another process holds the lock: holderPid() says which, when it has written its id.
        HeldByAnother,
        // The directory or the lock file could not be had, or the file system cannot lock.
        Failed,
    };

    // Tries to take the lock at once (never waits), creating the directory owner-only when
    // missing. A copy that finds the lock taken writes nothing.
    explicit DataDirectoryLock(QString directory);
    ~DataDirectoryLock();
    DataDirectoryLock(const DataDirectoryLock &) = delete;
    DataDirectoryLock &operator=(const DataDirectoryLock &) = delete;

    static QString fileName();

    State state() const { return m_state; }
    const QString &directory() const { return m_directory; }
    std::optional<qint64> holderPid() const { return m_holderPid; }
    // Why the lock is not held, as a line for the user; empty when it is held.
    const QString &failure() const { return m_failure; }

private:
    QString m_directory;
    int m_fd = -1;
    State m_state = State::Failed;
    std::optional<qint64> m_holderPid;
    QString m_failure;
};

} // namespace quorvin
