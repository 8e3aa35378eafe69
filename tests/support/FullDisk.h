#pragma once

#include "platform/files/AtomicFileWriter.h"

#include <algorithm>
#include <cerrno>
#include <memory>

namespace quorvin::test {

// The system calls of a disk with room for `room` more bytes: a write past it is cut short and
// the next one fails with ENOSPC, as a full disk answers.
inline AtomicFileWriter::SystemCalls diskWithRoom(qsizetype room)
{
    auto calls = AtomicFileWriter::realSystemCalls();
    auto left = std::make_shared<qsizetype>(room);
    calls.write = [left, real = calls.write](int fd, const char *data, size_t size) -> ssize_t {
        if (*left <= 0) {
            errno = ENOSPC;
            return -1;
        }
        const ssize_t written = real(fd, data, std::min(size, size_t(*left)));
        if (written > 0) {
            *left -= written;
        }
        return written;
    };
    return calls;
}

// A disk that takes every write and fails the flush: the blocks are found missing only then.
inline AtomicFileWriter::SystemCalls diskFailingFlush()
{
    auto calls = AtomicFileWriter::realSystemCalls();
    calls.fsync = [](int) {
        errno = ENOSPC;
        return -1;
    };
    return calls;
}

} // namespace quorvin::test
