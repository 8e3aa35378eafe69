#pragma once

#include "platform/concurrency/ManualClock.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <stdexcept>

namespace quorvin::test {

// Runs the real event loop until `task` finishes (at most `limit` of real time) and returns its
// result or rethrows its error. Use it for tests on real sockets; QCoro::waitFor would hang forever
// on a task that throws.
template <typename T> T waitFor(QCoro::Task<T> task, std::chrono::milliseconds limit = std::chrono::seconds(20))
{
    auto outcome = std::make_shared<quorvin::detail::VirtualOutcome<T>>();
    quorvin::detail::captureOutcome<T>(std::move(task), outcome);
    QElapsedTimer elapsed;
    elapsed.start();
    while (!outcome->finished && elapsed.elapsed() < limit.count()) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!outcome->finished) {
        throw std::runtime_error("task did not finish in time");
    }
    if (outcome->error) {
        std::rethrow_exception(outcome->error);
    }
    if constexpr (!std::is_void_v<T>) {
        return std::move(*outcome->value);
    }
}

} // namespace quorvin::test
