#include "cloud/CloudHTTPError.h"

#include "cloud/Strings.h"

namespace quorvin {

CloudHTTPError::CloudHTTPError(int status, QString message)
    : Error(cloudstrings::cloudSyncErrorDomain(), status, std::move(message))
{
}

QString CloudHTTPError::domainName()
{
    return cloudstrings::cloudSyncErrorDomain();
}

bool CloudHTTPError::hasStatus(const Error &error, int status)
{
    return error.domain() == domainName() && error.code() == status;
}

} // namespace quorvin
