#pragma once

#include <gtest/gtest.h>

namespace quorvin::test {

class SyncE2eHarness;

// The end state every scenario must reach: this machine and the service hold the same reminders
// and lists.
// - Each local reminder is mapped to exactly one live server reminder, which maps back to it; each
//   live server reminder has its local reminder. The same for lists.
// - Paired reminders agree on title, notes, due instant, completion and list (mapped list, same
//   name); paired lists agree on the name.
// - No two live server reminders have the same title, notes, due, completion and list, and no two
//   local ones either (duplicates).
// The failure message names every difference found.
::testing::AssertionResult converged(SyncE2eHarness &harness);

} // namespace quorvin::test
