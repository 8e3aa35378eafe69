#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <thread>
#include <vector>

namespace quorvin {

// Runs job(0) ... job(count - 1) on up to `threads` threads at once and returns when all have
// finished, with what each threw (empty for those that went through). The task database serves
// each list from a backend of its own, so work on several lists overlaps; the caller blocks
// meanwhile, and the jobs touch no Qt object.
inline std::vector<std::exception_ptr> concurrently(
    std::size_t count, const std::function<void(std::size_t)> &job, std::size_t threads = 8)
{
    std::vector<std::exception_ptr> errors(count);
    std::atomic<std::size_t> next {0};
    const auto work = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            try {
                job(i);
            } catch (...) {
                errors[i] = std::current_exception();
            }
        }
    };
    if (count <= 1) {
        work();
        return errors;
    }
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < std::min(count, threads); ++t) {
        pool.emplace_back(work);
    }
    work();
    for (auto &thread : pool) {
        thread.join();
    }
    return errors;
}

} // namespace quorvin
