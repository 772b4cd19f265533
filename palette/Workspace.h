#pragma once

#include "palette/KeptMemory.h"
#include "palette/Parallel.h"

#include <QtGlobal>
#include <memory>

namespace palette {

// What one conversion after another reuses: the thread pool, whose helpers
// then start once, the memory of the large buffers, and the table of a
// palette index for each of the 2^24 colours (16 MB), whose pages are then
// touched once. Whoever converts owns
// one for as long as it converts (the main window for the whole run, a
// command for its own); it serves one conversion at a time.
class Workspace {
public:
    // With a pool of that many threads; one converts on the calling thread.
    explicit Workspace(int threads = processorCores());
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    ThreadPool& pool() { return m_pool; }
    // For the buffers of a conversion.
    KeptMemory* memory() { return &m_memory; }

    // A byte for each colour, made when first needed; what an earlier
    // conversion left in it is still there.
    quint8* colourTable();
    static constexpr std::size_t kColourTableBytes = std::size_t(1) << 24;

private:
    KeptMemory m_memory;
    ThreadPool m_pool;
    std::unique_ptr<quint8[]> m_colourTable;
};

} // namespace palette
