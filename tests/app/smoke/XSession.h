#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>

#include <optional>

struct xcb_connection_t;
struct _XCBKeySymbols;

namespace quorvin::test {

// Another client of an X server, as a person at it: it finds windows by title, types through the
// XTEST extension and takes screenshots.
class XSession {
public:
    explicit XSession(const QByteArray &display);
    ~XSession();
    XSession(const XSession &) = delete;
    XSession &operator=(const XSession &) = delete;

    // The first mapped top-level window titled `title`.
    std::optional<quint32> findWindow(const QString &title) const;
    QString title(quint32 window) const;
    // In root coordinates.
    QRect geometry(quint32 window) const;
    // What the screen shows in `area`.
    QImage grab(const QRect &area) const;

    void focus(quint32 window);
    // Presses and lets go each key symbol in turn; with `shift` held throughout.
    void press(quint32 keysym, bool shift = false);
    void type(const QString &text);

    static constexpr quint32 tab = 0xff09;
    static constexpr quint32 space = 0x20;
    static constexpr quint32 returnKey = 0xff0d;

private:
    void sync() const;

    xcb_connection_t *m_connection;
    _XCBKeySymbols *m_symbols;
    quint32 m_root = 0;
};

} // namespace quorvin::test
