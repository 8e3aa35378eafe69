#pragma once

#include "platform/core/Error.h"

namespace quorvin {

// The error of local failures (the reminder store bridge, some account and sync operations).
// description() is the readable message shown or logged as is.
class SyncError : public Error {
public:
    enum class Kind { InvalidRequest = 1, PermissionDenied = 2, NotFound = 3, ServiceUnavailable = 4 };

    static SyncError invalidRequest(const QString &message);
    static SyncError permissionDenied();
    static SyncError notFound();
    static SyncError serviceUnavailable();

    static QString domainName();

    Kind kind() const noexcept { return static_cast<Kind>(code()); }

private:
    SyncError(Kind kind, QString description);
};

} // namespace quorvin
