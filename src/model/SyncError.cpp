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
    return SyncError(Kind::PermissionDenied, ModelText::permissionDenied);
}

SyncError SyncError::notFound()
{
    return SyncError(Kind::NotFound, ModelText::notFound);
}

SyncError SyncError::serviceUnavailable()
{
    return SyncError(Kind::ServiceUnavailable, ModelText::serviceUnavailable);
}

QString SyncError::domainName()
{
    return u"Quorvin.SyncError"_s;
}

} // namespace quorvin
