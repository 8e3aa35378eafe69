#include "platform/files/AtomicFileWriter.h"

#include "platform/files/FileError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

namespace {

// Where the bytes really go: the target of a link, so that the link itself stays in place.
QString resolvedTarget(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink()) {
        return info.symLinkTarget();
    }
    return info.absoluteFilePath();
}

// Once the rename is done the new content is in place; this only makes the rename itself survive
// a power loss, so a failure here is no failure of the write.
void syncDirectory(const QString &directory)
{
    const int fd = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// What follows the file's name in a temporary file's name, before mkostemp's six characters.
constexpr char temporarySuffix[] = ".tmp-";

bool isTemporaryTail(const QString &tail)
{
    return tail.size() == 6 && std::all_of(tail.cbegin(), tail.cend(), [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
    });
}

} // namespace

AtomicFileWriter::SystemCalls AtomicFileWriter::realSystemCalls()
{
    return SystemCalls {
        [](int fd, const char *data, size_t size) { return ::write(fd, data, size); },
        [](int fd) { return ::fsync(fd); },
    };
}

AtomicFileWriter::AtomicFileWriter()
    : m_calls(realSystemCalls())
{
}

AtomicFileWriter::AtomicFileWriter(SystemCalls calls)
    : m_calls(std::move(calls))
{
}

int AtomicFileWriter::removeLeftovers(const QString &path)
{
    const QFileInfo target(resolvedTarget(path));
    const QString prefix = target.fileName() + u'.';
    QDir directory = target.absoluteDir();
    int removed = 0;
    for (const QString &name : directory.entryList({prefix + u'*'}, QDir::Files | QDir::Hidden | QDir::System)) {
        const QString suffix = name.mid(prefix.size());
        // Ours: ".tmp-" and the six characters mkostemp fills in. An earlier version used the six
        // characters alone; of those only names no person would choose (a digit or a capital
        // among them) are taken for ours, so "<file>.backup" is never touched.
        const bool current = suffix.size() == 10 && suffix.startsWith(QLatin1String(temporarySuffix + 1))
            && isTemporaryTail(suffix.mid(4));
        const bool earlier = suffix.size() == 6 && isTemporaryTail(suffix)
            && std::any_of(suffix.cbegin(), suffix.cend(), [](QChar c) { return c.isDigit() || c.isUpper(); });
        if (!current && !earlier) {
            continue;
        }
        const QByteArray leftover = QFile::encodeName(directory.filePath(name));
        struct stat status { };
        if (::lstat(leftover.constData(), &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == ::getuid()
            && ::unlink(leftover.constData()) == 0) {
            ++removed;
        }
    }
    return removed;
}

bool AtomicFileWriter::write(
    const QString &path, const QByteArray &bytes, mode_t mode, const std::function<bool(int fd)> &beforeReplace) const
{
    const QString target = resolvedTarget(path);
    const QByteArray targetName = QFile::encodeName(target);
    QByteArray temporaryName = targetName + temporarySuffix + "XXXXXX";
    int fd = ::mkostemp(temporaryName.data(), O_CLOEXEC);
    if (fd < 0) {
        throw FileError(target, errno, u"write"_s);
    }
    const auto fail = [&](int error) {
        if (fd >= 0) {
            ::close(fd);
        }
        ::unlink(temporaryName.constData());
        return FileError(target, error, u"write"_s);
    };

    if (::fchmod(fd, mode) != 0) {
        throw fail(errno);
    }
    const char *data = bytes.constData();
    auto left = size_t(bytes.size());
    while (left > 0) {
        const ssize_t written = m_calls.write(fd, data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            // A write that makes no progress and names no reason can only be a full device.
            throw fail(written < 0 ? errno : ENOSPC);
        }
        data += written;
        left -= size_t(written);
    }
    // Some file systems only find out at the flush that the blocks are not there.
    if (m_calls.fsync(fd) != 0) {
        throw fail(errno);
    }
    if (beforeReplace && !beforeReplace(fd)) {
        ::close(fd);
        ::unlink(temporaryName.constData());
        return false;
    }
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) {
        throw fail(errno);
    }
    if (::rename(temporaryName.constData(), targetName.constData()) != 0) {
        throw fail(errno);
    }
    syncDirectory(QFileInfo(target).absolutePath());
    return true;
}

} // namespace quorvin
