#include "platform/shell/LoginItemError.h"

namespace quorvin {

LoginItemError::LoginItemError(QString description)
    : Error(QStringLiteral("Quorvin.LoginItem"), 1, std::move(description))
{
}

} // namespace quorvin
