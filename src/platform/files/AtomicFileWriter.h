#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <sys/types.h>

namespace quorvin {

// Replaces a file's content as a whole. The new bytes go to a temporary file beside it, which
// takes the file's place only once every byte is written and on the disk; a crash, a full disk or
// any failed step leaves the old file exactly as it was, and the failure is thrown. Every file
// whose loss loses data (settings, reminders) is written through this.
//
// Each step's result is checked here rather than trusted to QSaveFile, which can report success
// when its final flush failed and so replace a good file with an empty one on a full disk.
class AtomicFileWriter {
public:
    // The steps that fail when the disk is full. Tests put in their own to fail one of them.
    struct SystemCalls {
        std::function<ssize_t(int fd, const char *data, size_t size)> write;
        std::function<int(int fd)> fsync;
    };
    static SystemCalls realSystemCalls();

    AtomicFileWriter();
    explicit AtomicFileWriter(SystemCalls calls);

    // Makes `path` hold exactly `bytes`, with permission bits `mode` from the start (a secret is
    // never in a file others may read). A symbolic link is followed and kept. The directory must
    // exist. Throws FileError naming the file and the reason; nothing is then left behind.
    // `beforeReplace`, when given, is called with the new file's descriptor once all of it is on
    // the disk, right before it takes the old file's place; when it answers false the new file is
    // removed, the old one stays, and write() returns false.
    bool write(const QString &path, const QByteArray &bytes, mode_t mode,
        const std::function<bool(int fd)> &beforeReplace = {}) const;

    void setSystemCalls(SystemCalls calls) { m_calls = std::move(calls); }

    // Removes the temporary files that writes of `path` left behind when the process was killed
    // in the middle of one: regular files of this user beside the (resolved) file, named exactly
    // as write() names them. Only safe while no other process writes `path`: the application calls
    // it at start, holding its one-copy lock. Returns how many it removed.
    static int removeLeftovers(const QString &path);

private:
    SystemCalls m_calls;
};

} // namespace quorvin
