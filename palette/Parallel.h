#pragma once

#include <algorithm>
#include <thread>
#include <vector>

namespace palette {

// Runs f(first, last) on consecutive parts of the rows [0, rows), one part per
// processor core, and returns once every part is done: to everything outside,
// the work is one call on the calling thread. Parts are at least minRows
// long, so that a small picture is not split at all.
template <class F>
void forEachPart(int rows, int minRows, F&& f)
{
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    const int parts = std::clamp(rows / std::max(1, minRows), 1, cores);
    std::vector<std::jthread> helpers;
    helpers.reserve(std::size_t(parts - 1));
    for (int part = 1; part < parts; ++part)
        helpers.emplace_back([&f, rows, parts, part] { f(rows * part / parts, rows * (part + 1) / parts); });
    f(0, rows / parts);
}

} // namespace palette
