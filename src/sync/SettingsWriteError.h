#pragma once

#include "platform/core/Error.h"

namespace quorvin {

// Ends a sync pass whose cursors or mappings did not reach the settings file (a full disk, a
// read-only config directory): the description is the settings layer's, naming the file and the
// reason.
class SettingsWriteError : public Error {
public:
    explicit SettingsWriteError(QString description)
        : Error(QStringLiteral("Quorvin.SyncEngine"), 2, std::move(description))
    {
    }
};

} // namespace quorvin
