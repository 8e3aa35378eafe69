#pragma once

#include <QKeyCombination>
#include <QObject>

#include <memory>

namespace quorvin {

// Key combinations that reach the application wherever the keyboard focus is.
class GlobalHotKeys : public QObject {
    Q_OBJECT
public:
    ~GlobalHotKeys() override = default;

    // Claims `combination` for the whole session under `id`, replacing what `id` held before.
    // False when the session refuses it: another program holds the combination, or the session
    // offers no global keys at all. A refusal leaves nothing claimed and is not reported further.
    virtual bool registerHotKey(quint32 id, QKeyCombination combination) = 0;
    virtual void unregisterHotKey(quint32 id) = 0;

    // The backend for this session: an X11 key grab where an X server is reachable and the
    // session is not Wayland's, otherwise one that refuses every combination.
    static std::unique_ptr<GlobalHotKeys> createForSession(QObject *parent = nullptr);

Q_SIGNALS:
    void pressed(quint32 id);

protected:
    explicit GlobalHotKeys(QObject *parent = nullptr)
        : QObject(parent)
    {
    }
};

// For sessions without global keys (Wayland, no display).
class UnavailableGlobalHotKeys final : public GlobalHotKeys {
    Q_OBJECT
public:
    explicit UnavailableGlobalHotKeys(QObject *parent = nullptr)
        : GlobalHotKeys(parent)
    {
    }
    bool registerHotKey(quint32, QKeyCombination) override { return false; }
    void unregisterHotKey(quint32) override { }
};

} // namespace quorvin
