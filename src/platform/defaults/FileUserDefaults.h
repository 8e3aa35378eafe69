#pragma once

#include "platform/defaults/UserDefaults.h"
#include "platform/files/AtomicFileWriter.h"

#include <QFileSystemWatcher>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace quorvin {

class Clock;

// Settings kept in one JSON file. Every change rewrites the file atomically (a crash or a full
// disk leaves either the old or the new file, never half of one) with mode 0600, since it holds
// the sign-in token, in a directory created owner-only. A failed write is reported through
// writeFailure() and writeFailed().
//
// The file is encoded and written on a thread of its own, from the map as it stood at one moment
// (its values are implicitly shared, so handing them over copies no bytes): a change costs the
// caller's thread nothing that grows with the file. One write runs at a time; the changes made
// meanwhile are written together once it ends, so every version of the file is the whole map at
// one moment, and a newer one is never replaced by an older one. Every write waiting or running
// when the object is destroyed lands before the destructor returns. On a clock that keeps work on
// the main thread (virtual time in tests) each write is that clock's work instead: in place,
// within the change, or held as long as the clock holds such work.
//
// Another process (the quorvin-defaults tool) may edit the file while this one runs. The file and
// its directory are watched, and the file is also re-read before each change when it is not the
// one last read or written, so such an edit is seen without a restart, is neither lost nor
// overwritten, and its keys are signalled like any change. A write about to replace a file that
// someone else wrote since is dropped instead; that file is read, and the changes not in it are
// written over it again.
//
// A file that is not a JSON object when the settings are opened is moved aside to
// "<file>.corrupt" ("<file>.corrupt-2", -3… when that exists: an earlier copy is never
// overwritten), a line on standard error says so, and the settings start empty, so the next write
// cannot silently destroy what might still be rescued by hand. Met later (an edit caught half-written), it leaves the
// settings as they were.
class FileUserDefaults final : public UserDefaults {
    Q_OBJECT
public:
    explicit FileUserDefaults(QString filePath, QObject *parent = nullptr);
    FileUserDefaults(QString filePath, Clock &clock, QObject *parent = nullptr);
    ~FileUserDefaults() override;
    FileUserDefaults(const FileUserDefaults &) = delete;
    FileUserDefaults &operator=(const FileUserDefaults &) = delete;

    // The settings file of the application: "Quorvin/settings.json" in the user's config directory
    // (~/.config/Quorvin/settings.json).
    static QString standardFilePath();

    const QString &filePath() const { return m_filePath; }

    std::optional<QString> companionFilePath(const QString &suffix) const override { return m_filePath + suffix; }

    // Re-reads the file now; keys whose value differs are signalled.
    void reload();

    // The reason of the most recent failed write or load, empty when the last one succeeded.
    const QString &lastError() const { return m_lastError; }

    // What was said on standard error about a damaged file met at opening; the application puts
    // it in its diagnostic log too.
    const std::optional<QString> &damageNotice() const { return m_damageNotice; }

    // The writer of the file; tests replace its system calls to fail a write. Each write takes a
    // copy as it starts.
    AtomicFileWriter &fileWriter() { return m_writer; }

protected:
    void startWrite(const Values &values) override;
    void waitForWrite() override;
    void refresh() override;

private:
    // What identifies one version of the file: a rename puts a new inode in place, and an edit in
    // place changes the time or the size.
    struct FileStamp {
        bool exists = false;
        quint64 inode = 0;
        qint64 modifiedNs = 0;
        qint64 size = -1;
        friend bool operator==(const FileStamp &, const FileStamp &) = default;
    };
    struct WriteJob;

    // Absent when the file is unreadable or not a JSON object.
    std::optional<QJsonObject> readFile(bool moveCorruptAside);
    static FileStamp stampOf(const QString &path);
    FileStamp currentStamp() const { return stampOf(m_filePath); }
    void watch();
    static void runJob(WriteJob &job);
    QCoro::Task<void> runOnClock(std::shared_ptr<WriteJob> job);
    void writerLoop();
    void answer(const std::shared_ptr<WriteJob> &job);

    QString m_filePath;
    QString m_lastError;
    std::optional<QString> m_damageNotice;
    FileStamp m_seen;
    QFileSystemWatcher m_watcher;
    AtomicFileWriter m_writer;
    // Set when writes are the clock's work rather than the writer thread's.
    Clock *m_workClock = nullptr;

    // The writer's thread, started with the first write. The mutex guards the queue, the stop
    // flag and each job's done flag.
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::shared_ptr<WriteJob>> m_queue;
    bool m_stopping = false;
    std::shared_ptr<WriteJob> m_running;
};

} // namespace quorvin
