#include "platform/shell/SingleInstanceGuard.h"

#include "platform/shell/Strings.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvin {

namespace {

const QByteArray activateRequest = "activate\n";
const QByteArray activateAnswer = "ok\n";
const QString deletedSuffix = QStringLiteral(" (deleted)");

// The program file behind a /proc/<pid>/exe link, without the mark of a replaced file.
QString programOf(const QString &exeLink)
{
    QString target = QFile::symLinkTarget(exeLink);
    if (target.endsWith(deletedSuffix)) {
        target.chop(deletedSuffix.size());
    }
    return target;
}

bool ensurePrivateDirectory(const QString &path)
{
    if (!QDir().mkpath(path)) {
        return false;
    }
    struct stat status { };
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &status) != 0 || status.st_uid != ::getuid()) {
        return false;
    }
    return (status.st_mode & 077) == 0 || ::chmod(native.constData(), 0700) == 0;
}

} // namespace

SingleInstanceGuard::SingleInstanceGuard(QString name, QString runtimeDirectory, QObject *parent)
    : QObject(parent)
    , m_name(std::move(name))
    , m_directory(runtimeDirectory.isEmpty() ? standardRuntimeDirectory() : std::move(runtimeDirectory))
{
}

SingleInstanceGuard::~SingleInstanceGuard()
{
    if (m_server) {
        m_server->close();
        // Left behind it would only cost a later launch one failed connection; still, it is ours.
        QFile address(addressFilePath());
        if (!m_scopeFile.isEmpty() && address.open(QIODevice::ReadOnly)
            && QString::fromUtf8(address.readAll()).trimmed() == socketPath()) {
            address.remove();
        }
    }
    if (m_lockDescriptor >= 0) {
        ::close(m_lockDescriptor);
    }
}

QString SingleInstanceGuard::standardRuntimeDirectory()
{
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir()) {
        return runtime;
    }
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Quorvin/run");
}

QString SingleInstanceGuard::lockFilePath() const
{
    return m_directory + u'/' + m_name + QStringLiteral(".lock");
}

QString SingleInstanceGuard::socketPath() const
{
    return m_directory + u'/' + m_name + QStringLiteral(".socket");
}

QString SingleInstanceGuard::addressFilePath() const
{
    if (m_scopeFile.isEmpty()) {
        return {};
    }
    const QFileInfo scope(m_scopeFile);
    return scope.absoluteDir().filePath(scope.completeBaseName() + QStringLiteral(".address"));
}

QString SingleInstanceGuard::publishedSocketElsewhere() const
{
    QFile address(addressFilePath());
    if (m_scopeFile.isEmpty() || !address.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QString published = QString::fromUtf8(address.read(4096)).trimmed();
    return published == socketPath() ? QString() : published;
}

void SingleInstanceGuard::publishAddress() const
{
    // The scope's directory (the data directory) may not be there yet on a first start; it is
    // private like the data it will hold.
    if (m_scopeFile.isEmpty() || !m_server || !m_server->isListening()
        || !ensurePrivateDirectory(QFileInfo(m_scopeFile).absolutePath())) {
        return;
    }
    QSaveFile address(addressFilePath());
    if (address.open(QIODevice::WriteOnly)) {
        address.write(socketPath().toUtf8() + '\n');
        address.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        address.commit();
    }
}

bool SingleInstanceGuard::becomePrimaryInstance()
{
    if (m_primary) {
        return true;
    }
    int descriptor = -1;
    if (ensurePrivateDirectory(m_directory)) {
        descriptor = ::open(QFile::encodeName(lockFilePath()).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    }
    if (descriptor >= 0 && ::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(descriptor);
        if (error == EWOULDBLOCK) {
            return false;
        }
        descriptor = -1;
    }
    if (descriptor < 0) {
        qWarning().noquote() << ShellText::lockUnavailable;
        // Without the lock the socket is the only sign of a running copy; a copy that finds none
        // listens itself, so that later launches still find one.
        QLocalSocket probe;
        probe.connectToServer(socketPath());
        if (probe.waitForConnected(500) || activateCopyElsewhere()) {
            return false;
        }
        m_primary = true;
        listen();
        return true;
    }
    // This directory's lock is free, but a copy on the same data may run under another one. Only
    // one that does not answer is taken over (and ended below).
    if (activateCopyElsewhere()) {
        ::close(descriptor);
        return false;
    }
    m_lockDescriptor = descriptor;
    m_primary = true;
    terminateOtherCopies();
    listen();
    return true;
}

void SingleInstanceGuard::listen()
{
    // Only the lock holder, or a copy that found nobody listening, gets here: a socket file still
    // present is a dead copy's.
    QLocalServer::removeServer(socketPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (auto *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine()) {
                    if (socket->bytesAvailable() > 256) {
                        socket->abort();
                    }
                    return;
                }
                if (socket->readLine(256) == activateRequest) {
                    socket->write(activateAnswer);
                    socket->flush();
                    Q_EMIT activationRequested();
                }
                socket->disconnectFromServer();
            });
        }
    });
    m_server->listen(socketPath());
    publishAddress();
}

bool SingleInstanceGuard::activateCopyElsewhere()
{
    const QString published = publishedSocketElsewhere();
    m_activatedElsewhere = !published.isEmpty() && askToComeForward(published, activationTimeout);
    return m_activatedElsewhere;
}

bool SingleInstanceGuard::activateRunningCopy(std::chrono::milliseconds timeout) const
{
    if (m_activatedElsewhere) {
        return true;
    }
    if (askToComeForward(socketPath(), timeout)) {
        return true;
    }
    const QString published = publishedSocketElsewhere();
    return !published.isEmpty() && askToComeForward(published, timeout);
}

bool SingleInstanceGuard::askToComeForward(const QString &socketPath, std::chrono::milliseconds timeout)
{
    // A stopped process still has its connections accepted by the system: only the answer shows
    // that the copy runs.
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    const int ms = static_cast<int>(timeout.count());
    if (!socket.waitForConnected(ms)) {
        return false;
    }
    socket.write(activateRequest);
    if (!socket.waitForBytesWritten(ms)) {
        return false;
    }
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(ms)) {
            return false;
        }
    }
    return socket.readLine(16) == activateAnswer;
}

bool SingleInstanceGuard::isOtherCopy(qint64 pid, uint uid, const QString &executable)
{
    if (pid <= 0 || pid == QCoreApplication::applicationPid() || executable.isEmpty()) {
        return false;
    }
    const QString procDir = QStringLiteral("/proc/") + QString::number(pid);
    struct stat status { };
    if (::stat(QFile::encodeName(procDir).constData(), &status) != 0 || status.st_uid != uid) {
        return false;
    }
    return programOf(procDir + QStringLiteral("/exe")) == executable;
}

bool SingleInstanceGuard::holdsFileOpen(qint64 pid, const QString &path)
{
    const QString wanted = QFileInfo(path).absoluteFilePath();
    const QString fdDir = QStringLiteral("/proc/") + QString::number(pid) + QStringLiteral("/fd");
    const auto entries = QDir(fdDir).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    return std::any_of(entries.cbegin(), entries.cend(),
        [&](const QString &entry) { return QFile::symLinkTarget(fdDir + u'/' + entry) == wanted; });
}

int SingleInstanceGuard::terminateOtherCopies() const
{
    const QString executable = programOf(QStringLiteral("/proc/self/exe"));
    const uint uid = ::getuid();
    int ended = 0;
    const auto entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric || !isOtherCopy(pid, uid, executable)
            || (!m_scopeFile.isEmpty() && !holdsFileOpen(pid, m_scopeFile))) {
            continue;
        }
        qWarning().noquote() << ShellText::terminatingDuplicate + QString::number(pid)
                + ShellText::terminatingDuplicatePath + executable;
        if (::kill(static_cast<pid_t>(pid), SIGKILL) == 0) {
            ++ended;
        }
    }
    return ended;
}

} // namespace quorvin
