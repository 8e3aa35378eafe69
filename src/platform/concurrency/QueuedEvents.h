#pragma once

namespace quorvin {

// Runs every event queued on the loop, and what they queue in turn, without waiting for new ones.
// A task woken by a cancellation resumes through the loop; running it out after the loop itself
// has returned lets such tasks end instead of being left suspended at exit.
void runQueuedEvents();

} // namespace quorvin
