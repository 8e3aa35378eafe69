#pragma once

#include "platform/core/Error.h"

namespace quorvin {

// An answer of the cloud service outside 200-299: code() is the HTTP status, description() the
// readable message (readableHTTPErrorMessage). The service ends the session on code 401.
class CloudHTTPError : public Error {
public:
    CloudHTTPError(int status, QString message);

    static QString domainName();
    // Whether `error` is an answer of the cloud service with this HTTP status. Only the service's
    // own domain counts: a local or transport error never matches, whatever its code.
    static bool hasStatus(const Error &error, int status);
    int status() const noexcept { return code(); }
};

} // namespace quorvin
