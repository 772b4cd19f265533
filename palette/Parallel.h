#pragma once

#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace palette {

// How a conversion does its work; both give the same result. Fast uses the
// processor's vector registers and every core, Plain neither.
enum class Speed { Fast, Plain };

// How many parts forEachPart splits rows into: one per processor core, at
// most maxParts, each at least minRows long, so that a small picture is not
// split at all.
inline int partsFor(int rows, int minRows, int maxParts = 64)
{
    // Asked once: the C library reads a system file for it each time.
    static const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    return std::clamp(rows / std::max(1, minRows), 1, std::min(cores, maxParts));
}

// Runs f(first, last, part) on consecutive parts of the rows [0, rows), part
// numbered from 0, and returns once every part is done: to everything
// outside, the work is one call on the calling thread.
template <class F>
void forEachPart(int rows, int parts, F&& f)
{
    std::vector<std::jthread> helpers;
    helpers.reserve(std::size_t(parts - 1));
    for (int part = 1; part < parts; ++part)
        helpers.emplace_back([&f, rows, parts, part] {
            f(int(qint64(rows) * part / parts), int(qint64(rows) * (part + 1) / parts), part);
        });
    f(0, rows / parts, 0);
}

// Runs f(first, last, worker) on the chunks of `chunk` rows of [0, rows) on
// `workers` cores, each taking the next chunk as it finishes one, so that
// where some rows cost more than others (a photograph above a plain window)
// no core waits for another; worker numbers the core from 0, for what each
// keeps of its own. Returns once every chunk is done.
template <class F>
void forEachChunk(int rows, int chunk, int workers, F&& f)
{
    std::atomic<int> next = 0;
    forEachPart(workers, workers, [&](int, int, int worker) {
        for (int first = next.fetch_add(chunk); first < rows; first = next.fetch_add(chunk))
            f(first, std::min(rows, first + chunk), worker);
    });
}

} // namespace palette
