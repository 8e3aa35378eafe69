#pragma once

#include "platform/core/Error.h"

namespace quorvin {

// Thrown inside a sync pass when the cloud-side sync state was cleared, or the token changed,
// while the pass was waiting: the pass then ends without writing a cursor, a mapping or a status.
class SyncStateFencedError : public Error {
public:
    SyncStateFencedError()
        : Error(QStringLiteral("Quorvin.SyncEngine"), 1, QStringLiteral("Cloud sync state changed during the pass"))
    {
    }
};

} // namespace quorvin
