#pragma once

#include <QSet>
#include <QString>

namespace quorvin {

// Whoever writes to the store on this machine's behalf (a pass, the cleanup) tells the service, so
// that the refreshes arriving meanwhile are held and later logged without its own writes.
class OwnStoreWriter {
public:
    virtual ~OwnStoreWriter() = default;
    virtual void beginOwnStoreWrites() = 0;
    virtual void endOwnStoreWrites(const QSet<QString> &reminderIDs, const QSet<QString> &listIDs) = 0;
};

} // namespace quorvin
