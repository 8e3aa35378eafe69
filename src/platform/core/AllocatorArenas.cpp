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
}

} // namespace quorvin
