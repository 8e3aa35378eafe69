#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace quorvin::test {

// A private X server (Xvfb) for one test, on a display number it picks itself, with one screen of
// `screen` (width x height x depth). display() is empty when Xvfb is not installed or did not
// start; reason() then says why.
class XvfbServer {
public:
    explicit XvfbServer(const QByteArray &screen = "640x480x24");
    ~XvfbServer();
    XvfbServer(const XvfbServer &) = delete;
    XvfbServer &operator=(const XvfbServer &) = delete;

    const QByteArray &display() const { return m_display; }
    const QString &reason() const { return m_reason; }

private:
    pid_t m_pid = -1;
    QByteArray m_display;
    QString m_reason;
};

// A private session bus (dbus-daemon) for one test. address() is empty when it did not start.
class SessionBus {
public:
    SessionBus();
    ~SessionBus();
    SessionBus(const SessionBus &) = delete;
    SessionBus &operator=(const SessionBus &) = delete;

    const QString &address() const { return m_address; }
    const QString &reason() const { return m_reason; }

private:
    pid_t m_pid = -1;
    QString m_address;
    QString m_reason;
};

} // namespace quorvin::test
