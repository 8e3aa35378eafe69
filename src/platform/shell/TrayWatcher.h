#pragma once

#include <QDBusConnection>
#include <QObject>

struct xcb_connection_t;
class QSocketNotifier;

namespace quorvin {

// Whether the desktop has a system tray now, and news when one appears: a status-notifier host
// on the session bus (the tray of most current panels), or an X11 tray manager (the older
// embedding tray) when the application runs on X11. A panel that starts after the application
// (an autostart that beat it) is seen as it comes.
//
// The widget toolkit decides once per process which of the two kinds its tray icons use, on the
// first icon it makes; an icon made only once a tray exists therefore lands in that tray.
class TrayWatcher : public QObject {
    Q_OBJECT
public:
    // `x11Display` is the X display to watch (empty: the session's own, when the application runs
    // on X11; "-": none).
    explicit TrayWatcher(QDBusConnection bus = QDBusConnection::sessionBus(), const QByteArray &x11Display = {},
        QObject *parent = nullptr);
    ~TrayWatcher() override;

    bool isTrayAvailable() const;

Q_SIGNALS:
    // A tray is there now where there was none.
    void trayAppeared();

private Q_SLOTS:
    void onHostRegistered();

private:
    bool hasStatusNotifierHost() const;
    bool hasX11Tray() const;
    void connectToX11(const QByteArray &display);
    void readX11Events();
    void recheck();

    QDBusConnection m_bus;
    bool m_available = false;
    xcb_connection_t *m_x11 = nullptr;
    quint32 m_root = 0;
    quint32 m_trayAtom = 0;
    quint32 m_managerAtom = 0;
    QSocketNotifier *m_x11Notifier = nullptr;
};

} // namespace quorvin
