#include "model/SyncError.h"

#include "model/Strings.h"

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

SyncError::SyncError(Kind kind, QString description)
    : Error(domainName(), static_cast<int>(kind), std::move(description))
{
}

SyncError SyncError::invalidRequest(const QString &message)
{
    return SyncError(Kind::InvalidRequest, message);
}

SyncError SyncError::permissionDenied()
{
    return SyncError(Kind::PermissionDenied, strings::permissionDenied());
}

SyncError SyncError::notFound()
{
    return SyncError(Kind::NotFound, strings::notFound());
}

SyncError SyncError::serviceUnavailable()
{
    return SyncError(Kind::ServiceUnavailable, strings::serviceUnavailable());
}

QString SyncError::domainName()
{
    return u"Quorvin.SyncError"_s;
}

} // namespace quorvin
