#pragma once

#include <QString>

#include <exception>

namespace quorvin::test {

// Thrown by a route handler to answer with the service's error form {"error": message}.
class CloudHttpFailure : public std::exception {
public:
    CloudHttpFailure(int status, QString message)
        : m_status(status)
        , m_message(std::move(message))
    {
    }

    int status() const noexcept { return m_status; }
    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return "cloud http failure"; }

private:
    int m_status;
    QString m_message;
};

} // namespace quorvin::test
