#include "cloud/CloudHTTPError.h"

#include "cloud/Strings.h"

namespace quorvin {

CloudHTTPError::CloudHTTPError(int status, QString message)
    : Error(CloudText::errorDomain, status, std::move(message))
{
}

QString CloudHTTPError::domainName()
{
    return CloudText::errorDomain;
}

bool CloudHTTPError::hasStatus(const Error &error, int status)
{
    return error.domain() == domainName() && error.code() == status;
}

} // namespace quorvin
