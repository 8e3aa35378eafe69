#include "platform/shell/TaskbarDockIconPolicy.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace quorvin {

namespace {

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_connection_t *qtConnection()
{
    auto *app = qGuiApp;
    if (!app || QGuiApplication::platformName() != QStringLiteral("xcb")) {
        return nullptr;
    }
    if (auto *x11 = app->nativeInterface<QNativeInterface::QX11Application>()) {
        return x11->connection();
    }
    return nullptr;
}

} // namespace

TaskbarDockIconPolicy::TaskbarDockIconPolicy(QObject *parent)
    : QObject(parent)
{
}

TaskbarDockIconPolicy::~TaskbarDockIconPolicy() = default;

bool TaskbarDockIconPolicy::setActivationPolicy(ActivationPolicy policy)
{
    if (policy == m_policy) {
        return true;
    }
    m_policy = policy;
    if (qGuiApp) {
        // Windows shown later get the state as they appear.
        if (policy == ActivationPolicy::Accessory) {
            qGuiApp->installEventFilter(this);
        } else {
            qGuiApp->removeEventFilter(this);
        }
        for (auto *window : QGuiApplication::topLevelWindows()) {
            if (window->handle()) {
                apply(window, window->isVisible());
            }
        }
    }
    return true;
}

bool TaskbarDockIconPolicy::eventFilter(QObject *watched, QEvent *event)
{
    // A window is shown before it is mapped: its own state property is what the window manager
    // will read.
    if (event->type() == QEvent::Show && watched->isWindowType()) {
        auto *window = static_cast<QWindow *>(watched);
        if (!window->parent() && window->handle()) {
            apply(window, false);
        }
    }
    return QObject::eventFilter(watched, event);
}

void TaskbarDockIconPolicy::apply(QWindow *window, bool mapped)
{
    if (window->type() == Qt::Popup || window->type() == Qt::ToolTip) {
        return;
    }
    setSkipTaskbar(
        qtConnection(), static_cast<quint32>(window->winId()), m_policy == ActivationPolicy::Accessory, mapped);
}

bool TaskbarDockIconPolicy::setSkipTaskbar(void *xcbConnection, quint32 window, bool skip, bool mapped)
{
    auto *connection = static_cast<xcb_connection_t *>(xcbConnection);
    if (!connection || window == 0) {
        return false;
    }
    const xcb_atom_t state = internAtom(connection, "_NET_WM_STATE");
    const xcb_atom_t skipTaskbar = internAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR");
    if (state == XCB_ATOM_NONE || skipTaskbar == XCB_ATOM_NONE) {
        return false;
    }
    if (mapped) {
        std::unique_ptr<xcb_get_geometry_reply_t, FreeDeleter> geometry(
            xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
        if (!geometry) {
            return false;
        }
        xcb_client_message_event_t message {};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = state;
        message.data.data32[0] = skip ? 1 : 0;
        message.data.data32[1] = skipTaskbar;
        message.data.data32[3] = 1; // from a normal application
        xcb_send_event(connection, 0, geometry->root,
            XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
            reinterpret_cast<const char *>(&message));
    } else {
        std::unique_ptr<xcb_get_property_reply_t, FreeDeleter> reply(xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, window, state, XCB_ATOM_ATOM, 0, 1024), nullptr));
        QList<xcb_atom_t> atoms;
        if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
            const auto *values = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
            atoms = QList<xcb_atom_t>(values, values + xcb_get_property_value_length(reply.get()) / 4);
        }
        atoms.removeAll(skipTaskbar);
        if (skip) {
            atoms.append(skipTaskbar);
        }
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, state, XCB_ATOM_ATOM, 32,
            static_cast<uint32_t>(atoms.size()), atoms.constData());
    }
    xcb_flush(connection);
    return true;
}

} // namespace quorvin
