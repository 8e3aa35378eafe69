#pragma once

#include "platform/core/Error.h"

namespace quorvin {

// A refused change of the login item; description() is shown to the user as it stands.
class LoginItemError : public Error {
public:
    explicit LoginItemError(QString description);
};

} // namespace quorvin
