#pragma once

#include <exception>
#include <optional>
#include <stdexcept>
#include <variant>

namespace quorvin {

namespace detail {
template <typename T> struct VirtualOutcome {
    bool finished = false;
    std::exception_ptr error;
    std::optional<std::conditional_t<std::is_void_v<T>, int, T>> value;
};

template <typename T> QCoro::Task<void> captureOutcome(QCoro::Task<T> task, std::shared_ptr<VirtualOutcome<T>> outcome)
{
    try {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(task);
            outcome->value = 0;
        } else {
            outcome->value = co_await std::move(task);
        }
    } catch (...) {
        outcome->error = std::current_exception();
    }
    outcome->finished = true;
}
} // namespace detail

template <typename T> T runInVirtualTime(ManualClock &clock, QCoro::Task<T> task, std::chrono::milliseconds limit)
{
    auto outcome = std::make_shared<detail::VirtualOutcome<T>>();
    detail::captureOutcome<T>(std::move(task), outcome);
    if (!clock.runUntil([&] { return outcome->finished; }, limit)) {
        throw std::runtime_error("task did not finish in virtual time");
    }
    if (outcome->error) {
        std::rethrow_exception(outcome->error);
    }
    if constexpr (!std::is_void_v<T>) {
        return std::move(*outcome->value);
    }
}

} // namespace quorvin
