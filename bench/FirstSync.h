#pragma once

#include "platform/concurrency/Spawn.h"
#include "sync/QuorvinMacService.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>

namespace quorvin::bench {

// Starts the service and runs the event loop until its first successful sync or until `limitMs`
// passes; says whether the sync finished.
inline bool runFirstSync(QuorvinMacService &service, int limitMs)
{
    QEventLoop loop;
    QObject::connect(&service, &QuorvinMacService::changed, &loop, [&] {
        if (service.lastSyncSuccessAt()) {
            loop.quit();
        }
    });
    QTimer::singleShot(0, &service, [&service] { spawn(service.startIfNeeded()); });
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return service.lastSyncSuccessAt().has_value();
}

} // namespace quorvin::bench
