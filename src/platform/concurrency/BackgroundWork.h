#pragma once

#include <functional>

namespace quorvin {

// Background threads give way to the window's thread. On a machine with few free cores, decoding
// an answer or writing the settings at the same priority takes the core from the main thread for
// whole time slices, and the window stands still although its own work is short.
void lowerCurrentThreadPriority();

// Runs `work` on the shared worker pool, at the lowered priority.
void startInBackground(std::function<void()> work);

} // namespace quorvin
