#include "platform/concurrency/BackgroundWork.h"

#include <QThreadPool>

#include <algorithm>

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace quorvin {

namespace {

// Low enough for the main thread to take the core back at once, not so low that a busy machine
// starves the sync: a niced thread still gets its share.
constexpr int backgroundNiceness = 10;

} // namespace

void lowerCurrentThreadPriority()
{
#if defined(__linux__)
    // On Linux the niceness belongs to the thread named, not to the whole process. Pool threads
    // live on, so each is lowered once.
    thread_local bool lowered = false;
    if (!lowered) {
        lowered = true;
        const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
        ::setpriority(PRIO_PROCESS, thread, std::max(backgroundNiceness, ::getpriority(PRIO_PROCESS, thread)));
    }
#endif
}

void startInBackground(std::function<void()> work)
{
    if (auto *pool = QThreadPool::globalInstance()) {
        pool->start([work = std::move(work)] {
            lowerCurrentThreadPriority();
            work();
        });
    } else {
        work();
    }
}

} // namespace quorvin
