#include "platform/core/AllocatorArenas.h"

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

namespace quorvin {

void limitAllocatorArenas()
{
#if defined(M_ARENA_MAX)
    mallopt(M_ARENA_MAX, 2);
#endif
#if defined(M_MMAP_THRESHOLD)
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif
}

void returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace quorvin
