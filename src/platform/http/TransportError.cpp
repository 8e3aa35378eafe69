#include "platform/http/TransportError.h"

namespace quorvin {

namespace {

int codeOf(TransportError::Kind kind)
{
    switch (kind) {
    case TransportError::Kind::TimedOut:
        return -1001;
    case TransportError::Kind::CannotConnect:
        return -1004;
    case TransportError::Kind::CannotFindHost:
        return -1003;
    case TransportError::Kind::ConnectionLost:
        return -1005;
    case TransportError::Kind::Cancelled:
        return -999;
    case TransportError::Kind::BadURL:
        return -1000;
    case TransportError::Kind::BadServerResponse:
        return -1011;
    case TransportError::Kind::SecureConnectionFailed:
        return -1200;
    case TransportError::Kind::Other:
        break;
    }
    return -1;
}

QString messageOf(TransportError::Kind kind)
{
    switch (kind) {
    case TransportError::Kind::TimedOut:
        return QStringLiteral("请求超时。");
    case TransportError::Kind::CannotConnect:
        return QStringLiteral("未能连接到服务器。");
    case TransportError::Kind::CannotFindHost:
        return QStringLiteral("未能找到使用指定主机名的服务器。");
    case TransportError::Kind::ConnectionLost:
        return QStringLiteral("网络连接已中断。");
    case TransportError::Kind::Cancelled:
        return QStringLiteral("已取消");
    case TransportError::Kind::BadURL:
        return QStringLiteral("URL 无效");
    case TransportError::Kind::BadServerResponse:
        return QStringLiteral("服务器响应错误。");
    case TransportError::Kind::SecureConnectionFailed:
        return QStringLiteral("发生了 SSL 错误，无法建立与该服务器的安全连接。");
    case TransportError::Kind::Other:
        break;
    }
    return QStringLiteral("发生了未知错误。");
}

} // namespace

TransportError::TransportError(Kind kind, QString detail)
    : Error(domainName(), codeOf(kind), messageOf(kind))
    , m_kind(kind)
    , m_detail(std::move(detail))
{
}

QString TransportError::domainName()
{
    return QStringLiteral("Quorvin.Transport");
}

} // namespace quorvin
