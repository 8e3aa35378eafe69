#pragma once

#include "platform/core/Error.h"

#include <QString>

namespace quorvin {

// An answer of the cloud service outside 200-299 with the given HTTP status.
inline bool isCloudHTTPError(const Error &error, int status)
{
    return error.domain() == QStringLiteral("Quorvin.CloudSync") && error.code() == status;
}

} // namespace quorvin
