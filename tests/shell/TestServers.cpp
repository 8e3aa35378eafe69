#include "TestServers.h"

#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorvin::test {

namespace {

// Starts `arguments` with the descriptor `childFd` of the child on a pipe and reads the first
// line written there within ten seconds.
pid_t startReadingLine(const QList<QByteArray> &arguments, int childFd, QByteArray *line)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return -1;
    }
    std::vector<char *> argv;
    for (const auto &argument : arguments) {
        argv.push_back(const_cast<char *>(argument.constData()));
    }
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (pipeFds[1] == childFd) {
            ::fcntl(childFd, F_SETFD, 0);
        } else {
            ::dup2(pipeFds[1], childFd);
        }
        const int devNull = ::open("/dev/null", O_WRONLY);
        if (childFd != STDERR_FILENO) {
            ::dup2(devNull, STDERR_FILENO);
        }
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    if (pid < 0) {
        ::close(pipeFds[0]);
        return -1;
    }
    line->clear();
    pollfd waitFor {pipeFds[0], POLLIN, 0};
    char c = 0;
    while (!line->endsWith('\n') && ::poll(&waitFor, 1, 10000) > 0 && ::read(pipeFds[0], &c, 1) == 1) {
        line->append(c);
    }
    ::close(pipeFds[0]);
    *line = line->trimmed();
    return pid;
}

void stop(pid_t pid)
{
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
}

} // namespace

XvfbServer::XvfbServer(const QByteArray &screen)
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
        m_reason = QStringLiteral("Xvfb is not installed");
        return;
    }
    QByteArray number;
    // Xvfb writes the display it chose to descriptor 3 once it accepts connections.
    m_pid = startReadingLine({"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", screen}, 3, &number);
    if (m_pid < 0 || number.isEmpty()) {
        m_reason = QStringLiteral("Xvfb did not start");
        return;
    }
    m_display = ':' + number;
}

XvfbServer::~XvfbServer()
{
    stop(m_pid);
}

SessionBus::SessionBus()
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) {
        m_reason = QStringLiteral("dbus-daemon is not installed");
        return;
    }
    QByteArray address;
    m_pid = startReadingLine(
        {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"}, STDOUT_FILENO, &address);
    if (m_pid < 0 || address.isEmpty()) {
        m_reason = QStringLiteral("dbus-daemon did not start");
        return;
    }
    m_address = QString::fromUtf8(address);
}

SessionBus::~SessionBus()
{
    stop(m_pid);
}

} // namespace quorvin::test
