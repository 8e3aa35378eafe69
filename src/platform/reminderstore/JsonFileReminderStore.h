#pragma once

#include "platform/files/AtomicFileWriter.h"
#include "platform/reminderstore/InMemoryReminderStore.h"
#include "platform/reminderstore/ReminderStoreJson.h"

#include <QFileSystemWatcher>

#include <memory>

namespace quorvin {

// The reminder store of the desktop: held in memory and kept in one JSON file, in a directory
// created owner-only. The file is read on first use; every commit rewrites it atomically, and a
// commit whose write fails (a full disk) throws and leaves the old file as it was. A change of the
// file from outside (another process, an editor) is picked up through a watch on its directory:
// the store reloads it, drops its own staged writes and signals changed().
//
// As a database would, the store dates the changes it is given: a reminder that an outside change
// altered without moving its last-modified date gets the current time as that date, written back
// to the file, so the edit counts as the newest version of the reminder.
//
// A missing file is an empty store when the store starts. A file that cannot be read or parsed,
// or that disappears while the store runs, is never taken for an empty one: every call then
// throws ReminderStoreError (Unreadable) and nothing is written over it, until the file is
// mended, removed (when unreadable) or back (when it disappeared).
class JsonFileReminderStore final : public InMemoryReminderStore {
    Q_OBJECT
public:
    JsonFileReminderStore(QString filePath, Clock &clock, QObject *parent = nullptr);
    ~JsonFileReminderStore() override;

    // "reminders.json" in the application's data directory.
    static QString defaultFilePath();

    const QString &filePath() const { return m_path; }

    // The writer of the file; tests replace its system calls to fail a write.
    AtomicFileWriter &fileWriter() { return m_writer; }

    // Also encodes the saved reminder's text for the file at once, so that a commit after many
    // staged saves does not encode them all in one go.
    Reminder saveReminder(Reminder reminder, bool commit = true) override;

    QCoro::Task<void> loadAhead() override;
    void reserveReminders(std::size_t count) override;

protected:
    void ensureLoaded() override;
    void persist(const State &state) override;

private:
    // What the file holds right now; absent when there is no file. Throws when it exists but
    // cannot be read.
    std::optional<QByteArray> readFile() const { return readFile(m_path); }
    static std::optional<QByteArray> readFile(const QString &path);
    void fileMayHaveChanged();
    void watchFile();
    // Replaces the file with `bytes` unless someone else changed it since we last saw it.
    void writeFile(const QByteArray &bytes);
    // The reminders as last committed (or as last read while the file is unreadable), to tell
    // what an outside change altered.
    std::vector<Reminder> committedReminders();
    // Gives every reminder that `state` changed against `before` without a new last-modified
    // date the current time as that date, and writes the dated state back to the file.
    void dateAndWriteBack(State &state, const std::vector<Reminder> &before);
    // The file cannot be read, or is gone: every call fails until it is back.
    void markUnreadable();

    QString m_path;
    QFileSystemWatcher m_watcher;
    AtomicFileWriter m_writer;
    Clock &m_clock;
    ReminderStoreJson m_json;
    bool m_loaded = false;
    // What identifies one version of the file: a rename puts a new inode in place, and an edit in
    // place changes the time or the size.
    struct FileStamp {
        quint64 inode = 0;
        qint64 modifiedNs = 0;
        qint64 size = -1;
        friend bool operator==(const FileStamp &, const FileStamp &) = default;
    };
    // Absent when there is no file or it cannot be examined.
    std::optional<FileStamp> currentStamp() const { return stampOf(m_path); }
    static std::optional<FileStamp> stampOf(const QString &path);
    // The first read and decode of the file, done by a worker ahead of the first call or by that
    // call itself, whichever comes first.
    struct PendingLoad;
    std::shared_ptr<PendingLoad> m_pendingLoad;
    // Takes `bytes` (absent: no file), read or written just now, as the known file; `stampBefore`
    // is the stamp from before they were read, absent for our own write.
    void remember(const std::optional<QByteArray> &bytes, std::optional<FileStamp> stampBefore);
    // True when the file is still the one last read or written. The stamp answers at once; only
    // when it moved are the bytes read, into `read`, and compared.
    bool fileIsKnown(std::optional<QByteArray> *read = nullptr) const;

    // A digest of the file as last read or written (absent: no file), to tell our own writes and
    // repeated watch events from real outside changes without keeping a second copy of the file,
    // and its stamp then (absent: unknown, the bytes decide).
    std::optional<QByteArray> m_knownDigest;
    std::optional<FileStamp> m_knownStamp;
    bool m_knownBytesBroken = false;
    // The file was there and is gone: not an empty database.
    bool m_fileVanished = false;
    // The reminders of the last good file while the file is unreadable or gone, to date the
    // outside changes found once it is back.
    std::optional<std::vector<Reminder>> m_lastGoodReminders;
};

} // namespace quorvin
