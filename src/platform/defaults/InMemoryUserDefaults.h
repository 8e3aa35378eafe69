#pragma once

#include "platform/defaults/UserDefaults.h"

namespace quorvin {

// Settings that live only as long as the object: for tests and for callers that must not touch the
// user's file.
class InMemoryUserDefaults final : public UserDefaults {
    Q_OBJECT
public:
    explicit InMemoryUserDefaults(QObject *parent = nullptr)
        : UserDefaults(parent)
    {
    }
    explicit InMemoryUserDefaults(const QJsonObject &initial, QObject *parent = nullptr);

protected:
    bool persist(const QJsonObject &) override { return true; }
};

} // namespace quorvin
