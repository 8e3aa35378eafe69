#pragma once

#include <functional>
#include <utility>

namespace quorvin {

// Background threads give way to the window's thread. On a machine with few free cores, decoding
// an answer or writing the settings at the same priority takes the core from the main thread for
// whole time slices, and the window stands still although its own work is short.
void lowerCurrentThreadPriority();

// Runs `work` on the shared worker pool, at the lowered priority.
void startInBackground(std::function<void()> work);

// Frees a large value on a worker thread, so that the window does not wait for it. The value must
// share nothing that the main thread changes without its own copy (Qt's shared containers are fine).
template <class T> void releaseOffMainThread(T value)
{
    auto *held = new T(std::move(value));
    startInBackground([held] { delete held; });
}

} // namespace quorvin
