#include "platform/shell/TaskbarDockIconPolicy.h"
#include "platform/shell/X11KeyGrab.h"
#include "platform/shell/XcbGlobalHotKeys.h"

#include "TestServers.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <cstring>

using namespace quorvin;

namespace {

constexpr xcb_keysym_t altL = 0xffe9, shiftL = 0xffe1, controlL = 0xffe3, numLock = 0xff7f, letterL = 'l',
                       letterK = 'k';

// Another X client: it types through the XTEST extension and holds grabs of its own.
class OtherClient {
public:
    explicit OtherClient(const QByteArray &display)
        : m_connection(xcb_connect(display.constData(), nullptr))
        , m_symbols(xcb_key_symbols_alloc(m_connection))
    {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    }
    ~OtherClient()
    {
        xcb_key_symbols_free(m_symbols);
        xcb_disconnect(m_connection);
    }

    xcb_connection_t *connection() const { return m_connection; }
    xcb_window_t root() const { return m_root; }

    xcb_keycode_t code(xcb_keysym_t symbol) const
    {
        xcb_keycode_t *codes = xcb_key_symbols_get_keycode(m_symbols, symbol);
        const xcb_keycode_t first = codes ? codes[0] : 0;
        std::free(codes);
        return first;
    }

    // Presses the keys in order, then lets them go in reverse.
    void type(std::initializer_list<xcb_keysym_t> symbols)
    {
        for (const auto symbol : symbols) {
            xcb_test_fake_input(m_connection, XCB_KEY_PRESS, code(symbol), XCB_CURRENT_TIME, m_root, 0, 0, 0);
        }
        for (auto it = std::rbegin(symbols); it != std::rend(symbols); ++it) {
            xcb_test_fake_input(m_connection, XCB_KEY_RELEASE, code(*it), XCB_CURRENT_TIME, m_root, 0, 0, 0);
        }
        sync();
    }

    bool grab(xcb_keysym_t symbol, uint16_t modifiers)
    {
        auto *error = xcb_request_check(m_connection,
            xcb_grab_key_checked(
                m_connection, 1, m_root, modifiers, code(symbol), XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        std::free(error);
        return error == nullptr;
    }

    void sync() { std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr)); }

private:
    xcb_connection_t *m_connection;
    xcb_key_symbols_t *m_symbols;
    xcb_window_t m_root = 0;
};

} // namespace

TEST(X11KeyGrab, ModifierVariantsAndMatching)
{
    using namespace X11KeyGrab;
    const uint16_t altShift = modifierMask(Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(altShift, mod1Mask | shiftMask);
    const uint16_t mod2 = 1 << 4;
    EXPECT_EQ(modifierVariants(altShift, mod2),
        (QList<uint16_t> {
            altShift, uint16_t(altShift | mod2), uint16_t(altShift | lockMask), uint16_t(altShift | mod2 | lockMask)}));
    // No Num Lock on the keyboard: only the Caps Lock variant is added.
    EXPECT_EQ(modifierVariants(altShift, 0), (QList<uint16_t> {altShift, uint16_t(altShift | lockMask)}));
    // Lock keys and pointer buttons do not matter; any other modifier does.
    EXPECT_TRUE(matches(altShift | mod2 | lockMask | 0x100, altShift, mod2));
    EXPECT_FALSE(matches(altShift | controlMask, altShift, mod2));
    EXPECT_FALSE(matches(mod1Mask, altShift, mod2));
    EXPECT_EQ(keysym(Qt::Key_L), std::optional<uint32_t>('l'));
    EXPECT_EQ(keysym(Qt::Key_F2), std::optional<uint32_t>(0xffbf));
    EXPECT_EQ(keysym(Qt::Key_Escape), std::nullopt);
}

TEST(XcbGlobalHotKeys, GrabsOnTheRootWindowWhateverTheLockKeysAndFailsWhenTaken)
{
    test::XvfbServer server;
    if (server.display().isEmpty()) {
        GTEST_SKIP() << server.reason().toStdString();
    }
    XcbGlobalHotKeys hotKeys(server.display());
    ASSERT_TRUE(hotKeys.isConnected());
    OtherClient other(server.display());
    QSignalSpy pressed(&hotKeys, &GlobalHotKeys::pressed);

    const QKeyCombination altShiftL(Qt::AltModifier | Qt::ShiftModifier, Qt::Key_L);
    ASSERT_TRUE(hotKeys.registerHotKey(1, altShiftL));
    other.type({altL, shiftL, letterL});
    ASSERT_TRUE(QTest::qWaitFor([&] { return pressed.count() == 1; }, 5000));
    EXPECT_EQ(pressed.takeFirst().at(0).toUInt(), 1u);

    // With Num Lock on, then with Caps Lock on as well.
    other.type({numLock});
    other.type({altL, shiftL, letterL});
    ASSERT_TRUE(QTest::qWaitFor([&] { return pressed.count() == 1; }, 5000));
    other.type({0xffe5}); // Caps Lock
    other.type({altL, shiftL, letterL});
    ASSERT_TRUE(QTest::qWaitFor([&] { return pressed.count() == 2; }, 5000));
    other.type({0xffe5});
    other.type({numLock});
    pressed.clear();

    // The same key with other modifiers, or another key, is not the combination: only the last
    // of these presses arrives (the server keeps their order).
    other.type({altL, controlL, letterL});
    other.type({altL, shiftL, letterK});
    other.type({shiftL, letterL});
    other.type({altL, shiftL, letterL});
    ASSERT_TRUE(QTest::qWaitFor([&] { return pressed.count() >= 1; }, 5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(pressed.count(), 1);

    // Once let go, another client may take it (the server reads the two connections in its own
    // order, so the release may land a moment after the other client's first try).
    hotKeys.unregisterHotKey(1);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return other.grab(letterL, X11KeyGrab::mod1Mask | X11KeyGrab::shiftMask); }, 5000));

    // Taken by another client: refused, and none of its variants stays grabbed here.
    ASSERT_TRUE(other.grab(letterK, X11KeyGrab::mod1Mask | X11KeyGrab::controlMask));
    EXPECT_FALSE(hotKeys.registerHotKey(2, QKeyCombination(Qt::AltModifier | Qt::ControlModifier, Qt::Key_K)));
    EXPECT_TRUE(other.grab(letterK, X11KeyGrab::mod1Mask | X11KeyGrab::controlMask | X11KeyGrab::lockMask));
}

TEST(XcbGlobalHotKeys, WithoutAnXServerEveryRegistrationFails)
{
    XcbGlobalHotKeys hotKeys(QByteArray(":9999"));
    EXPECT_FALSE(hotKeys.isConnected());
    EXPECT_FALSE(hotKeys.registerHotKey(1, QKeyCombination(Qt::AltModifier | Qt::ShiftModifier, Qt::Key_L)));
    UnavailableGlobalHotKeys wayland;
    EXPECT_FALSE(wayland.registerHotKey(1, QKeyCombination(Qt::AltModifier | Qt::ShiftModifier, Qt::Key_L)));
}

TEST(TaskbarDockIconPolicy, SkipTaskbarStateOnAnUnmappedWindowKeepsTheOtherStates)
{
    test::XvfbServer server;
    if (server.display().isEmpty()) {
        GTEST_SKIP() << server.reason().toStdString();
    }
    OtherClient client(server.display());
    auto *connection = client.connection();
    const xcb_window_t window = xcb_generate_id(connection);
    const auto *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 100, 100, 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    auto atom = [&](const char *name) {
        auto *reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t value = reply->atom;
        std::free(reply);
        return value;
    };
    const xcb_atom_t state = atom("_NET_WM_STATE");
    const xcb_atom_t above = atom("_NET_WM_STATE_ABOVE");
    const xcb_atom_t skip = atom("_NET_WM_STATE_SKIP_TASKBAR");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, state, XCB_ATOM_ATOM, 32, 1, &above);
    auto states = [&] {
        auto *reply = xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, window, state, XCB_ATOM_ATOM, 0, 64), nullptr);
        const auto *values = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply));
        QList<xcb_atom_t> atoms(values, values + xcb_get_property_value_length(reply) / 4);
        std::free(reply);
        return atoms;
    };

    ASSERT_TRUE(TaskbarDockIconPolicy::setSkipTaskbar(connection, window, true, false));
    EXPECT_EQ(states(), (QList<xcb_atom_t> {above, skip}));
    ASSERT_TRUE(TaskbarDockIconPolicy::setSkipTaskbar(connection, window, false, false));
    EXPECT_EQ(states(), QList<xcb_atom_t> {above});
    EXPECT_FALSE(TaskbarDockIconPolicy::setSkipTaskbar(nullptr, window, true, false));
}
