#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace quorvin {

// The one base of every error the system throws. Callers catch it at an operation's boundary and
// show or log description(); domain() and code() let them tell kinds apart (an HTTP 401 of the
// cloud service is domain "Quorvin.CloudSync", code 401).
class Error : public std::exception {
public:
    Error(QString domain, int code, QString description);

    const QString &domain() const noexcept { return m_domain; }
    int code() const noexcept { return m_code; }
    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    QString m_domain;
    int m_code;
    QString m_description;
    QByteArray m_what;
};

} // namespace quorvin
