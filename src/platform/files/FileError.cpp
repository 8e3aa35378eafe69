#include "platform/files/FileError.h"

#include <cstring>

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

namespace {

QString systemReason(int systemError)
{
    return QString::fromLocal8Bit(std::strerror(systemError));
}

} // namespace

FileError::FileError(QString path, int systemError, QString action)
    : Error(errorDomain(), systemError, u"Cannot %1 %2: %3"_s.arg(action, path, systemReason(systemError)))
    , m_path(std::move(path))
    , m_reason(systemReason(systemError))
{
}

QString FileError::errorDomain()
{
    return u"Quorvin.File"_s;
}

} // namespace quorvin
