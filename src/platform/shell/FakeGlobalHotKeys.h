#pragma once

#include "platform/shell/GlobalHotKeys.h"

#include <QMap>

namespace quorvin {

// Global keys in memory: tests see what is claimed, refuse combinations and press keys.
class FakeGlobalHotKeys final : public GlobalHotKeys {
    Q_OBJECT
public:
    explicit FakeGlobalHotKeys(QObject *parent = nullptr)
        : GlobalHotKeys(parent)
    {
    }

    // When set, every registration fails, as when another program holds the combination.
    bool refuse = false;
    int registrationCount = 0;

    bool registerHotKey(quint32 id, QKeyCombination combination) override
    {
        ++registrationCount;
        m_registered.remove(id);
        if (refuse) {
            return false;
        }
        m_registered.insert(id, combination);
        return true;
    }
    void unregisterHotKey(quint32 id) override { m_registered.remove(id); }

    const QMap<quint32, QKeyCombination> &registered() const { return m_registered; }

    // A press of `combination`: signalled for the id that holds it, if any. Returns whether one did.
    bool press(QKeyCombination combination)
    {
        for (auto it = m_registered.cbegin(); it != m_registered.cend(); ++it) {
            if (it.value() == combination) {
                Q_EMIT pressed(it.key());
                return true;
            }
        }
        return false;
    }

private:
    QMap<quint32, QKeyCombination> m_registered;
};

} // namespace quorvin
