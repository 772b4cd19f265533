#pragma once

#include <QtGlobal>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace host {

// Brings the data written to a file to the disk on a thread of its own
// while more is made and written, so that the sync a finished file must
// wait for finds most of it there already: for a bitmap of a few megabytes
// that sync takes several times as long as handing the bytes to the system.
// Only a head start: the file is still synced once it is complete. The
// thread starts at the first sync asked for and ends with finish(), at the
// latest when this goes.
class SyncAhead {
public:
    // size: the file's size when complete, 0 when not known. The write that
    // completes it asks for no sync: the file's own follows at once.
    explicit SyncAhead(int fd, qint64 size = 0) : m_fd(fd), m_size(size) {}
    ~SyncAhead() { finish(); }
    SyncAhead(const SyncAhead&) = delete;
    SyncAhead& operator=(const SyncAhead&) = delete;

    // Bytes were written: they are synced once the sync under way, if any,
    // is done.
    void written(qint64 bytes);
    // Waits for the syncs asked for. Gives 0, or the error number of the
    // first that failed: the file's own sync may not see that error again.
    int finish();

private:
    void serve();

    const int m_fd;
    const qint64 m_size;
    qint64 m_written = 0, m_unsynced = 0;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_wanted = false, m_stopping = false;
    int m_error = 0;
    std::thread m_thread;
};

} // namespace host
