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

    // While set, every write fails with this description, as a full disk would make it fail;
    // absent lets writes succeed again.
    void setFailingWrites(std::optional<QString> description) { m_failingWrites = std::move(description); }

protected:
    void startWrite(const Values &) override
    {
        finishWrite(
            m_failingWrites ? WriteOutcome::Failed : WriteOutcome::Written, m_failingWrites.value_or(QString()));
    }

private:
    std::optional<QString> m_failingWrites;
};

} // namespace quorvin
