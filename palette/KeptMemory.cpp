#include "palette/KeptMemory.h"

#include <new>

namespace palette {

KeptMemory::~KeptMemory()
{
    for (const auto& kept : m_free)
        ::operator delete(kept.second, std::align_val_t(kAlignment));
}

std::size_t KeptMemory::keptBytes() const
{
    const std::lock_guard lock(m_lock);
    std::size_t total = 0;
    for (const auto& kept : m_free)
        total += kept.first;
    return total;
}

void* KeptMemory::do_allocate(std::size_t bytes, std::size_t alignment)
{
    if (alignment > kAlignment)
        throw std::bad_alloc();
    const std::lock_guard lock(m_lock);
    const auto fit = m_free.lower_bound(bytes);
    if (fit != m_free.end() && fit->first <= 2 * bytes) {
        void* block = fit->second;
        m_given.emplace(block, fit->first);
        m_free.erase(fit);
        return block;
    }
    void* block = ::operator new(bytes, std::align_val_t(kAlignment));
    m_given.emplace(block, bytes);
    return block;
}

void KeptMemory::do_deallocate(void* block, std::size_t, std::size_t)
{
    // Kept at the size it was made with, whatever was asked for since.
    const std::lock_guard lock(m_lock);
    const auto given = m_given.find(block);
    m_free.emplace(given->second, block);
    m_given.erase(given);
    if (m_free.size() > kMaxKept) {
        const auto smallest = m_free.begin();
        ::operator delete(smallest->second, std::align_val_t(kAlignment));
        m_free.erase(smallest);
    }
}

} // namespace palette
