#pragma once

#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace palette {

// The processor's cores, at most 64.
inline int processorCores()
{
    // Asked once: the C library reads a system file for it each time.
    static const int cores = int(std::clamp(std::thread::hardware_concurrency(), 1u, 64u));
    return cores;
}

// How many parts a loop splits rows into: one per processor core, at most
// maxParts, each at least minRows long, so that a small picture is not
// split at all.
inline int partsFor(int rows, int minRows, int maxParts = 64)
{
    return std::clamp(rows / std::max(1, minRows), 1, std::min(processorCores(), maxParts));
}

// The threads that run a conversion's loops: the calling thread and
// count - 1 helpers, started at the first loop that needs them, waiting
// between loops and joined when the pool goes. A loop then costs a wake-up,
// not a thread's start, and to everything outside the conversion the work is
// one call on the calling thread. The rows of a loop are cut into parts, each
// done on one thread.
class ThreadPool {
public:
    explicit ThreadPool(int count) : m_count(std::max(1, count)) {}
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

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

    // Map and merge: each part of the rows [0, rows) is worked on by
    // work(first, last, result) into a result of its own, made by make(part)
    // on the thread that works on it; the results are then merged in the order
    // of the parts by merge(total, result), into the first, which is given.
    // An exception from any part reaches the caller, as with forEachPart.
    template <class Make, class Work, class Merge>
    auto mapMerge(int rows, int parts, Make&& make, Work&& work, Merge&& merge)
    {
        std::vector<std::optional<decltype(make(0))>> results(std::size_t(std::max(parts, 1)));
        forEachPart(rows, int(results.size()), [&](int first, int last, int part) {
            auto& result = results[std::size_t(part)].emplace(make(part));
            work(first, last, result);
        });
        return merged(results, merge);
    }

    // The same where the rows are taken a chunk at a time, as forEachChunk
    // does: a result for each thread, made by make(thread) when it takes its
    // first chunk, for every chunk it takes.
    template <class Make, class Work, class Merge>
    auto mapMergeChunks(int rows, int chunk, Make&& make, Work&& work, Merge&& merge)
    {
        std::vector<std::optional<decltype(make(0))>> results(static_cast<std::size_t>(m_count));
        forEachChunk(rows, chunk, [&](int first, int last, int thread) {
            auto& result = results[std::size_t(thread)];
            if (!result)
                result.emplace(make(thread));
            work(first, last, *result);
        });
        if (!results[0])
            results[0].emplace(make(0));
        return merged(results, merge);
    }

private:
    template <class T, class Merge>
    static T merged(std::vector<std::optional<T>>& results, Merge& merge)
    {
        T total = std::move(*results[0]);
        for (std::size_t k = 1; k < results.size(); ++k)
            if (results[k])
                merge(total, *results[k]);
        return total;
    }

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
