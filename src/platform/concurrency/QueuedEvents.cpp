#include "platform/concurrency/QueuedEvents.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

namespace quorvin {

void runQueuedEvents()
{
    auto *dispatcher = QAbstractEventDispatcher::instance();
    for (int round = 0; round < 100000; ++round) {
        QCoreApplication::sendPostedEvents();
        const bool processed = dispatcher && dispatcher->processEvents(QEventLoop::AllEvents);
        if (!processed) {
            return;
        }
    }
}

} // namespace quorvin
