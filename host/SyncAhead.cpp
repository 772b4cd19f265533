#include "host/SyncAhead.h"

#include <cerrno>
#include <unistd.h>

namespace host {
namespace {

// Less than this is not worth a thread: small files, the last bytes of a
// large one.
constexpr qint64 kWorthSyncing = qint64(1) << 19;

} // namespace

void SyncAhead::written(qint64 bytes)
{
    m_written += bytes;
    m_unsynced += bytes;
    if (m_unsynced < kWorthSyncing || (m_size > 0 && m_written >= m_size))
        return;
    m_unsynced = 0;
    {
        const std::lock_guard lock(m_mutex);
        m_wanted = true;
    }
    if (!m_thread.joinable())
        m_thread = std::thread([this] { serve(); });
    else
        m_wake.notify_one();
}

int SyncAhead::finish()
{
    if (m_thread.joinable()) {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    return m_error;
}

void SyncAhead::serve()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_wanted || m_stopping; });
        if (!m_wanted)
            return;
        m_wanted = false;
        lock.unlock();
        const int error = ::fdatasync(m_fd) == 0 ? 0 : errno;
        lock.lock();
        if (!m_error)
            m_error = error;
    }
}

} // namespace host
