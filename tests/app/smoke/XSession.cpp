#include "XSession.h"

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace quorvin::test {

namespace {

constexpr quint32 shiftL = 0xffe1;

template <typename T> struct FreeDeleter {
    void operator()(T *reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter<T>>;

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

} // namespace

XSession::XSession(const QByteArray &display)
    : m_connection(xcb_connect(display.constData(), nullptr))
    , m_symbols(xcb_key_symbols_alloc(m_connection))
{
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
}

XSession::~XSession()
{
    xcb_key_symbols_free(m_symbols);
    xcb_disconnect(m_connection);
}

void XSession::sync() const
{
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

QString XSession::title(quint32 window) const
{
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(m_connection,
        xcb_get_property(
            m_connection, 0, window, atom(m_connection, "_NET_WM_NAME"), atom(m_connection, "UTF8_STRING"), 0, 1024),
        nullptr));
    if (!reply) {
        return {};
    }
    return QString::fromUtf8(
        static_cast<const char *>(xcb_get_property_value(reply.get())), xcb_get_property_value_length(reply.get()));
}

std::optional<quint32> XSession::findWindow(const QString &wanted) const
{
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr));
    if (!tree) {
        return std::nullopt;
    }
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
            m_connection, xcb_get_window_attributes(m_connection, children[i]), nullptr));
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE && title(children[i]) == wanted) {
            return children[i];
        }
    }
    return std::nullopt;
}

QRect XSession::geometry(quint32 window) const
{
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr));
    Reply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
        m_connection, xcb_translate_coordinates(m_connection, window, m_root, 0, 0), nullptr));
    if (!geometry || !origin) {
        return {};
    }
    return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
}

QImage XSession::grab(const QRect &area) const
{
    Reply<xcb_get_image_reply_t> image(xcb_get_image_reply(m_connection,
        xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, int16_t(area.x()), int16_t(area.y()),
            uint16_t(area.width()), uint16_t(area.height()), ~0U),
        nullptr));
    if (!image || image->depth != 24) {
        return {};
    }
    return QImage(xcb_get_image_data(image.get()), area.width(), area.height(), QImage::Format_RGB32).copy();
}

void XSession::focus(quint32 window)
{
    xcb_set_input_focus(m_connection, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    sync();
}

void XSession::press(quint32 keysym, bool shift)
{
    const auto code = [this](quint32 symbol) {
        xcb_keycode_t *codes = xcb_key_symbols_get_keycode(m_symbols, symbol);
        const xcb_keycode_t first = codes ? codes[0] : 0;
        std::free(codes);
        return first;
    };
    if (shift) {
        xcb_test_fake_input(m_connection, XCB_KEY_PRESS, code(shiftL), XCB_CURRENT_TIME, m_root, 0, 0, 0);
    }
    xcb_test_fake_input(m_connection, XCB_KEY_PRESS, code(keysym), XCB_CURRENT_TIME, m_root, 0, 0, 0);
    xcb_test_fake_input(m_connection, XCB_KEY_RELEASE, code(keysym), XCB_CURRENT_TIME, m_root, 0, 0, 0);
    if (shift) {
        xcb_test_fake_input(m_connection, XCB_KEY_RELEASE, code(shiftL), XCB_CURRENT_TIME, m_root, 0, 0, 0);
    }
    sync();
}

void XSession::type(const QString &text)
{
    for (const QChar c : text) {
        press(c.unicode());
    }
}

} // namespace quorvin::test
