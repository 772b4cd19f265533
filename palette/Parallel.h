#pragma once

#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace palette {

// How a conversion does its work; both give the same result. Fast uses the
// processor's vector registers and every core, Plain neither.
enum class Speed { Fast, Plain };

// How many parts a loop splits rows into: one per processor core, at most
// maxParts, each at least minRows long, so that a small picture is not
// split at all.
inline int partsFor(int rows, int minRows, int maxParts = 64)
{
    // Asked once: the C library reads a system file for it each time.
    static const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    return std::clamp(rows / std::max(1, minRows), 1, std::min(cores, maxParts));
}

// The cores of one conversion: the calling thread and count - 1 helpers,
// started at the first loop that needs them, waiting between loops and
// joined when the Cores goes. A loop then costs a wake-up, not a thread's
// start, and to everything outside the conversion the work is one call on
// the calling thread.
class Cores {
public:
    explicit Cores(int count) : m_count(std::max(1, count)) {}
    ~Cores();
    Cores(const Cores&) = delete;
    Cores& operator=(const Cores&) = delete;

    int count() const { return m_count; }

    // Runs f(first, last, part) on consecutive parts of the rows [0, rows),
    // part numbered from 0, part k on core k % count(); returns once every
    // part is done. An exception from any part, on any core, reaches the
    // caller then (the first one, should several throw).
    template <class F>
    void forEachPart(int rows, int parts, F&& f)
    {
        run(std::min(parts, m_count), [&](int core) {
            for (int part = core; part < parts; part += m_count)
                f(int(qint64(rows) * part / parts), int(qint64(rows) * (part + 1) / parts), part);
        });
    }

    // Runs f(first, last, core) on the chunks of `chunk` rows of [0, rows),
    // each core taking the next chunk as it finishes one, so that where some
    // rows cost more than others (a photograph above a plain window) no core
    // waits for another; core numbers the core from 0, for what each keeps
    // of its own. Returns once every chunk is done.
    template <class F>
    void forEachChunk(int rows, int chunk, F&& f)
    {
        std::atomic<int> next = 0;
        run(m_count, [&](int core) {
            for (int first = next.fetch_add(chunk); first < rows; first = next.fetch_add(chunk))
                f(first, std::min(rows, first + chunk), core);
        });
    }

private:
    // job(core) for the cores [0, used), core 0 on the calling thread.
    void run(int used, const std::function<void(int)>& job);
    void serve(int core);

    const int m_count;
    std::vector<std::jthread> m_helpers;
    const std::function<void(int)>* m_job = nullptr;
    int m_used = 0;
    bool m_stopping = false;
    // What the first helper to fail threw in the current loop.
    std::exception_ptr m_failure;
    std::mutex m_failureLock;
    // Counts the loops handed out; a helper wakes when it changes.
    std::atomic<quint32> m_round = 0;
    // The helpers yet to finish the current loop.
    std::atomic<int> m_busy = 0;
};

} // namespace palette
