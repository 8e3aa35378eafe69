#include "platform/files/DataDirectoryLock.h"

#include "platform/files/FileError.h"
#include "platform/files/PrivateDirectory.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

namespace {

// What the holder wrote: its process id, or nothing when it has not written it yet.
std::optional<qint64> readPid(int fd)
{
    char buffer[32] = {};
    const ssize_t size = ::pread(fd, buffer, sizeof buffer - 1, 0);
    if (size <= 0) {
        return std::nullopt;
    }
    bool ok = false;
    const qint64 pid = QByteArray(buffer, size).trimmed().toLongLong(&ok);
    return ok && pid > 0 ? std::optional(pid) : std::nullopt;
}

} // namespace

DataDirectoryLock::DataDirectoryLock(QString directory)
    : m_directory(std::move(directory))
{
    const QString path = QDir(m_directory).filePath(fileName());
    try {
        makePrivateDirectory(m_directory);
    } catch (const FileError &error) {
        m_failure = u"Cannot lock the data directory: %1"_s.arg(error.description());
        return;
    }
    // Opening an existing file changes nothing in it, so a second copy leaves it as it was.
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        m_failure = u"Cannot lock the data directory: %1"_s.arg(FileError(path, errno, u"open"_s).description());
        return;
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            m_state = State::HeldByAnother;
            m_holderPid = readPid(m_fd);
            const QString holder = m_holderPid ? u"(pid %1) "_s.arg(*m_holderPid) : QString();
            m_failure
                = u"Quorvin is already running %1with the data in %2; this copy quits."_s.arg(holder, m_directory);
        } else {
            m_failure = u"Cannot lock the data directory: %1"_s.arg(FileError(path, error, u"lock"_s).description());
        }
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_state = State::Held;
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    // Only a help for the message of a second copy: the lock holds without it.
    [[maybe_unused]] const bool written
        = ::ftruncate(m_fd, 0) == 0 && ::pwrite(m_fd, pid.constData(), size_t(pid.size()), 0) == pid.size();
}

DataDirectoryLock::~DataDirectoryLock()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

QString DataDirectoryLock::fileName()
{
    return u"quorvin.lock"_s;
}

} // namespace quorvin
