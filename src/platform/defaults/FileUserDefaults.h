#pragma once

#include "platform/defaults/UserDefaults.h"
#include "platform/files/AtomicFileWriter.h"

#include <QFileSystemWatcher>

#include <optional>

namespace quorvin {

// Settings kept in one JSON file. Every change rewrites the file atomically (a crash or a full
// disk leaves either the old or the new file, never half of one) with mode 0600, since it holds
// the sign-in token, in a directory created owner-only. A failed write is reported through
// writeFailure() and writeFailed().
//
// Another process (the quorvin-defaults tool) may edit the file while this one runs. The file and
// its directory are watched, and the file is also re-read before each change when it is not the
// one last read or written, so such an edit is seen without a restart, is neither lost nor
// overwritten, and its keys are signalled like any change.
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

    // The writer of the file; tests replace its system calls to fail a write.
    AtomicFileWriter &fileWriter() { return m_writer; }

protected:
    std::optional<QString> persist(const QJsonObject &values) override;
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

    // Absent when the file is unreadable or not a JSON object.
    std::optional<QJsonObject> readFile(bool moveCorruptAside);
    FileStamp currentStamp() const;
    void watch();

    QString m_filePath;
    QString m_lastError;
    std::optional<QString> m_damageNotice;
    FileStamp m_seen;
    QFileSystemWatcher m_watcher;
    AtomicFileWriter m_writer;
};

} // namespace quorvin
