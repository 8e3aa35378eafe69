#pragma once

#include "platform/files/AtomicFileWriter.h"

#include <QByteArray>
#include <QList>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace quorvin::test {

// The system calls of a disk whose flush waits while the writes are held, so that a test can make
// changes, or write the file from elsewhere, while a write of the settings runs on its thread. Every
// file written is kept, in the order the files were flushed.
class HeldWrites {
public:
    static std::shared_ptr<HeldWrites> make() { return std::make_shared<HeldWrites>(); }

    // Over the calls of `disk`: a failing disk fails once it is released.
    static AtomicFileWriter::SystemCalls calls(const std::shared_ptr<HeldWrites> &self,
        AtomicFileWriter::SystemCalls disk = AtomicFileWriter::realSystemCalls())
    {
        auto calls = std::move(disk);
        calls.write = [self, real = calls.write](int fd, const char *data, size_t size) {
            const ssize_t written = real(fd, data, size);
            if (written > 0) {
                const std::lock_guard lock(self->m_mutex);
                self->m_current.append(data, written);
            }
            return written;
        };
        calls.fsync = [self, real = calls.fsync](int fd) {
            std::unique_lock lock(self->m_mutex);
            self->m_files.append(std::exchange(self->m_current, QByteArray()));
            self->m_released.wait(lock, [&] { return !self->m_held; });
            lock.unlock();
            return real(fd);
        };
        return calls;
    }

    void hold()
    {
        const std::lock_guard lock(m_mutex);
        m_held = true;
    }
    void release()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_held = false;
        }
        m_released.notify_all();
    }
    QList<QByteArray> files() const
    {
        const std::lock_guard lock(m_mutex);
        return m_files;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_held = true;
    QByteArray m_current;
    QList<QByteArray> m_files;
};

} // namespace quorvin::test
