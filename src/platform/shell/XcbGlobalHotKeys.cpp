#include "platform/shell/XcbGlobalHotKeys.h"

#include "platform/shell/X11KeyGrab.h"

#include <QSocketNotifier>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <memory>

namespace quorvin {

namespace {

constexpr xcb_keysym_t numLockKeysym = 0xff7f;

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

} // namespace

XcbGlobalHotKeys::XcbGlobalHotKeys(const QByteArray &displayName, QObject *parent)
    : GlobalHotKeys(parent)
{
    int screenNumber = 0;
    auto *connection = xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0) {
        xcb_disconnect(connection);
        return;
    }
    m_connection = connection;
    m_root = screens.data->root;
    m_symbols = xcb_key_symbols_alloc(m_connection);
    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &XcbGlobalHotKeys::readEvents);
}

XcbGlobalHotKeys::~XcbGlobalHotKeys()
{
    disconnectFromServer();
}

void XcbGlobalHotKeys::disconnectFromServer()
{
    if (!m_connection) {
        return;
    }
    delete m_notifier;
    m_notifier = nullptr;
    m_grabs.clear();
    xcb_key_symbols_free(m_symbols);
    m_symbols = nullptr;
    // Grabs end with the connection.
    xcb_disconnect(m_connection);
    m_connection = nullptr;
}

bool XcbGlobalHotKeys::registerHotKey(quint32 id, QKeyCombination combination)
{
    unregisterHotKey(id);
    const auto keysym = X11KeyGrab::keysym(combination.key());
    if (!m_connection || !keysym) {
        return false;
    }
    Grab entry;
    entry.keysym = *keysym;
    entry.modifiers = X11KeyGrab::modifierMask(combination.keyboardModifiers());
    if (!grab(entry)) {
        return false;
    }
    m_grabs.emplace(id, std::move(entry));
    return true;
}

void XcbGlobalHotKeys::unregisterHotKey(quint32 id)
{
    const auto it = m_grabs.find(id);
    if (it == m_grabs.end()) {
        return;
    }
    ungrab(it->second);
    m_grabs.erase(it);
}

std::uint16_t XcbGlobalHotKeys::findNumLockMask()
{
    XcbReply<xcb_keycode_t> numLockCodes(xcb_key_symbols_get_keycode(m_symbols, numLockKeysym));
    XcbReply<xcb_get_modifier_mapping_reply_t> mapping(
        xcb_get_modifier_mapping_reply(m_connection, xcb_get_modifier_mapping(m_connection), nullptr));
    if (!numLockCodes || !mapping) {
        return 0;
    }
    const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t code = codes[modifier * perModifier + i];
            for (const xcb_keycode_t *n = numLockCodes.get(); code != 0 && *n != XCB_NO_SYMBOL; ++n) {
                if (*n == code) {
                    return static_cast<std::uint16_t>(1 << modifier);
                }
            }
        }
    }
    return 0;
}

bool XcbGlobalHotKeys::grab(Grab &entry)
{
    entry.numLockMask = findNumLockMask();
    entry.keycodes.clear();
    XcbReply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(m_symbols, entry.keysym));
    for (const xcb_keycode_t *code = codes.get(); code && *code != XCB_NO_SYMBOL; ++code) {
        if (!entry.keycodes.contains(*code)) {
            entry.keycodes.append(*code);
        }
    }
    if (entry.keycodes.isEmpty()) {
        return false;
    }

    QList<xcb_void_cookie_t> cookies;
    for (const auto code : std::as_const(entry.keycodes)) {
        for (const auto modifiers : X11KeyGrab::modifierVariants(entry.modifiers, entry.numLockMask)) {
            cookies.append(xcb_grab_key_checked(
                m_connection, 1, m_root, modifiers, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        }
    }
    bool refused = false;
    for (const auto &cookie : std::as_const(cookies)) {
        if (XcbReply<xcb_generic_error_t> error(xcb_request_check(m_connection, cookie)); error) {
            refused = true;
        }
    }
    if (refused) {
        // Only this client's grabs are released; the other holder keeps its own.
        ungrab(entry);
    }
    // Checking the grabs read the socket; events it queued would otherwise wait for the next byte.
    QMetaObject::invokeMethod(this, &XcbGlobalHotKeys::readEvents, Qt::QueuedConnection);
    return !refused;
}

void XcbGlobalHotKeys::ungrab(const Grab &entry)
{
    if (!m_connection) {
        return;
    }
    for (const auto code : entry.keycodes) {
        for (const auto modifiers : X11KeyGrab::modifierVariants(entry.modifiers, entry.numLockMask)) {
            xcb_ungrab_key(m_connection, code, m_root, modifiers);
        }
    }
    xcb_flush(m_connection);
}

void XcbGlobalHotKeys::readEvents()
{
    if (!m_connection) {
        return;
    }
    QList<quint32> pressedIds;
    bool mappingChanged = false;
    while (XcbReply<xcb_generic_event_t> event {xcb_poll_for_event(m_connection)}) {
        const auto type = event->response_type & ~0x80;
        if (type == XCB_KEY_PRESS) {
            const auto *press = reinterpret_cast<const xcb_key_press_event_t *>(event.get());
            for (const auto &[id, entry] : m_grabs) {
                if (entry.keycodes.contains(press->detail)
                    && X11KeyGrab::matches(press->state, entry.modifiers, entry.numLockMask)) {
                    pressedIds.append(id);
                }
            }
        } else if (type == XCB_MAPPING_NOTIFY) {
            auto *notify = reinterpret_cast<xcb_mapping_notify_event_t *>(event.get());
            xcb_refresh_keyboard_mapping(m_symbols, notify);
            mappingChanged = mappingChanged || notify->request != XCB_MAPPING_POINTER;
        }
    }
    if (xcb_connection_has_error(m_connection)) {
        disconnectFromServer();
        return;
    }
    if (mappingChanged) {
        // A new keyboard layout may put the key on other key codes, or Num Lock on another bit.
        for (auto it = m_grabs.begin(); it != m_grabs.end();) {
            ungrab(it->second);
            it = grab(it->second) ? std::next(it) : m_grabs.erase(it);
        }
    }
    for (const auto id : pressedIds) {
        Q_EMIT pressed(id);
    }
}

std::unique_ptr<GlobalHotKeys> GlobalHotKeys::createForSession(QObject *parent)
{
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || qEnvironmentVariable("XDG_SESSION_TYPE").compare(QStringLiteral("wayland"), Qt::CaseInsensitive) == 0;
    if (!wayland && !qEnvironmentVariableIsEmpty("DISPLAY")) {
        auto x11 = std::make_unique<XcbGlobalHotKeys>(QByteArray(), parent);
        if (x11->isConnected()) {
            return x11;
        }
    }
    return std::make_unique<UnavailableGlobalHotKeys>(parent);
}

} // namespace quorvin
