#pragma once

#include "platform/core/Error.h"

namespace quorvin {

// A request that produced no HTTP answer. The codes follow the well-known URL-loading error
// numbers so that logs read the same on every platform.
class TransportError : public Error {
public:
    enum class Kind {
        TimedOut,
        CannotConnect,
        CannotFindHost,
        ConnectionLost,
        Cancelled,
        BadURL,
        BadServerResponse,
        SecureConnectionFailed,
        Other,
    };

    explicit TransportError(Kind kind, QString detail = {});

    static QString domainName();
    Kind kind() const noexcept { return m_kind; }
    // The underlying stack's own message, for logs.
    const QString &detail() const noexcept { return m_detail; }

private:
    Kind m_kind;
    QString m_detail;
};

} // namespace quorvin
