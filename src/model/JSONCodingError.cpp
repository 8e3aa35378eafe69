#include "model/JSONCodingError.h"

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

namespace {
QString describe(const QString &path, const QString &reason)
{
    return path.isEmpty() ? reason : path + u": "_s + reason;
}
} // namespace

JSONCodingError::JSONCodingError(Code code, QString path, QString reason)
    : Error(domainName(), code, describe(path, reason))
    , m_path(std::move(path))
    , m_reason(std::move(reason))
{
}

QString JSONCodingError::domainName()
{
    return u"Quorvin.JSONCoding"_s;
}

} // namespace quorvin
