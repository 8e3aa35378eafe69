#include "platform/shell/TrayWatcher.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace quorvin {

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString watcherInterface = QStringLiteral("org.kde.StatusNotifierWatcher");
constexpr int busTimeoutMs = 1000;

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t internAtom(xcb_connection_t *connection, const QByteArray &name)
{
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.constData()), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

} // namespace

TrayWatcher::TrayWatcher(QDBusConnection bus, const QByteArray &x11Display, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
    if (m_bus.isConnected()) {
        auto *services = new QDBusServiceWatcher(watcherService, m_bus,
            QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration, this);
        connect(services, &QDBusServiceWatcher::serviceRegistered, this, &TrayWatcher::recheck);
        connect(services, &QDBusServiceWatcher::serviceUnregistered, this, &TrayWatcher::recheck);
        // A panel registers its host with the watcher after the watcher itself is up.
        m_bus.connect(watcherService, watcherPath, watcherInterface, QStringLiteral("StatusNotifierHostRegistered"),
            this, SLOT(onHostRegistered()));
    }
    if (x11Display != "-" && (!x11Display.isEmpty() || QGuiApplication::platformName() == QStringLiteral("xcb"))) {
        connectToX11(x11Display);
    }
    m_available = isTrayAvailable();
}

TrayWatcher::~TrayWatcher()
{
    if (m_x11) {
        xcb_disconnect(m_x11);
    }
}

bool TrayWatcher::isTrayAvailable() const
{
    return hasStatusNotifierHost() || hasX11Tray();
}

void TrayWatcher::onHostRegistered()
{
    recheck();
}

void TrayWatcher::recheck()
{
    const bool available = isTrayAvailable();
    const bool appeared = available && !m_available;
    m_available = available;
    if (appeared) {
        Q_EMIT trayAppeared();
    }
}

bool TrayWatcher::hasStatusNotifierHost() const
{
    if (!m_bus.isConnected() || !m_bus.interface()->isServiceRegistered(watcherService)) {
        return false;
    }
    auto message = QDBusMessage::createMethodCall(
        watcherService, watcherPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    message << watcherInterface << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusReply<QDBusVariant> reply = m_bus.call(message, QDBus::Block, busTimeoutMs);
    return reply.isValid() && reply.value().variant().toBool();
}

void TrayWatcher::connectToX11(const QByteArray &display)
{
    int screenNumber = 0;
    auto *connection = xcb_connect(display.isEmpty() ? nullptr : display.constData(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int index = 0; index < screenNumber && screens.rem > 0; ++index) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0) {
        xcb_disconnect(connection);
        return;
    }
    m_x11 = connection;
    m_root = screens.data->root;
    m_trayAtom = internAtom(m_x11, "_NET_SYSTEM_TRAY_S" + QByteArray::number(screenNumber));
    m_managerAtom = internAtom(m_x11, "MANAGER");
    // A new tray manager announces itself to every client listening on the root window.
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_x11, m_root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_x11);
    m_x11Notifier = new QSocketNotifier(xcb_get_file_descriptor(m_x11), QSocketNotifier::Read, this);
    connect(m_x11Notifier, &QSocketNotifier::activated, this, &TrayWatcher::readX11Events);
}

bool TrayWatcher::hasX11Tray() const
{
    if (!m_x11 || m_trayAtom == XCB_ATOM_NONE) {
        return false;
    }
    XcbReply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(m_x11, xcb_get_selection_owner(m_x11, m_trayAtom), nullptr));
    return reply && reply->owner != XCB_WINDOW_NONE;
}

void TrayWatcher::readX11Events()
{
    bool managerAnnounced = false;
    while (XcbReply<xcb_generic_event_t> event {xcb_poll_for_event(m_x11)}) {
        if ((event->response_type & ~0x80) == XCB_CLIENT_MESSAGE) {
            const auto *message = reinterpret_cast<const xcb_client_message_event_t *>(event.get());
            managerAnnounced = managerAnnounced
                || (message->type == m_managerAtom && message->format == 32 && message->data.data32[1] == m_trayAtom);
        }
    }
    if (xcb_connection_has_error(m_x11)) {
        m_x11Notifier->setEnabled(false);
        xcb_disconnect(m_x11);
        m_x11 = nullptr;
        return;
    }
    if (managerAnnounced) {
        recheck();
    }
}

} // namespace quorvin
