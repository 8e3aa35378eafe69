#pragma once

#include "platform/shell/GlobalHotKeys.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <map>

class QSocketNotifier;
struct xcb_connection_t;
struct _XCBKeySymbols; // NOLINT(bugprone-reserved-identifier): the name is xcb's own

namespace quorvin {

// Global keys as passive key grabs on the X root window, over a connection of their own so that
// they work whatever Qt's platform plugin is. Every combination is grabbed once per Num Lock and
// Caps Lock state and on every key code that carries its key symbol; when the server refuses any
// of these grabs (another client holds one), the registration fails and none is kept.
class XcbGlobalHotKeys final : public GlobalHotKeys {
    Q_OBJECT
public:
    // Connects to `displayName`, or to the environment's DISPLAY when it is empty.
    explicit XcbGlobalHotKeys(const QByteArray &displayName = {}, QObject *parent = nullptr);
    ~XcbGlobalHotKeys() override;

    // False when no X server answered; every registration then fails.
    bool isConnected() const { return m_connection != nullptr; }

    bool registerHotKey(quint32 id, QKeyCombination combination) override;
    void unregisterHotKey(quint32 id) override;

private:
    struct Grab {
        std::uint32_t keysym = 0;
        std::uint16_t modifiers = 0;
        QList<std::uint8_t> keycodes;
        std::uint16_t numLockMask = 0;
    };

    bool grab(Grab &grab);
    void ungrab(const Grab &grab);
    std::uint16_t findNumLockMask();
    void readEvents();
    void disconnectFromServer();

    xcb_connection_t *m_connection = nullptr;
    std::uint32_t m_root = 0;
    _XCBKeySymbols *m_symbols = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    std::map<quint32, Grab> m_grabs;
};

} // namespace quorvin
