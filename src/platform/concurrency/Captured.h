#pragma once

#include <qcoro/qcorotask.h>

#include <exception>
#include <optional>

namespace quorvin {

// The answer of an awaited call, or what it threw. Lets a caller await first and decide afterwards,
// after checking that it and its session still exist, how a failure is reported.
template <typename T> struct Captured {
    std::optional<T> value;
    std::exception_ptr failure;
};

template <typename T> QCoro::Task<Captured<T>> captured(QCoro::Task<T> task)
{
    Captured<T> result;
    try {
        result.value = co_await std::move(task);
    } catch (...) {
        result.failure = std::current_exception();
    }
    co_return result;
}

} // namespace quorvin
