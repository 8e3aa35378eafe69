#pragma once

namespace quorvin {

// Called first thing in main(), before any thread starts. The sync decodes answers, encodes the
// settings and frees large tables on worker threads; the C library gives each thread an arena of
// its own that keeps the high mark of what was built in it, so a first sync of 10,000 reminders
// held some 40 MB more than it used. Two arenas keep the threads from contending much and the
// peak close to what is live.
// Large blocks (an answer's text, a file's bytes, a table of every reminder) are mapped on their
// own at a fixed size from on, and so given back to the system as soon as they are freed: the C
// library would otherwise raise that size to the largest block freed so far and keep such blocks
// in its heap, where the pass's next large tables are built beside them.
void limitAllocatorArenas();

// Gives the pages of freed memory inside the heaps back to the system. It walks the free blocks
// under the heaps' locks: on a worker, between passes.
void returnFreedMemory();

} // namespace quorvin
