#pragma once

namespace quorvin {

// Called first thing in main(), before any thread starts. The sync decodes answers, encodes the
// settings and frees large tables on worker threads; the C library gives each thread an arena of
// its own that keeps the high mark of what was built in it, so a first sync of 10,000 reminders
// held some 40 MB more than it used. Two arenas keep the threads from contending much and the
// peak close to what is live.
void limitAllocatorArenas();

} // namespace quorvin
