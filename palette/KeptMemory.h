#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <memory_resource>
#include <mutex>
#include <utility>

namespace palette {

// Memory for a conversion's large buffers that is kept when they are freed
// and given again to the next conversion that asks for as much, so that its
// pages are faulted in once instead of at every save, which would cost more
// than the conversion itself. A block is given again for a request of at
// least half its size. Any thread may allocate and free.
class KeptMemory : public std::pmr::memory_resource {
public:
    KeptMemory() = default;
    ~KeptMemory() override;
    KeptMemory(const KeptMemory&) = delete;
    KeptMemory& operator=(const KeptMemory&) = delete;

    // The bytes of the blocks kept for reuse.
    std::size_t keptBytes() const;

private:
    void* do_allocate(std::size_t bytes, std::size_t alignment) override;
    void do_deallocate(void* block, std::size_t bytes, std::size_t alignment) override;
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }

    // Blocks are aligned for any vector register.
    static constexpr std::size_t kAlignment = 64;
    // At most this many blocks are kept; the smallest goes first.
    static constexpr std::size_t kMaxKept = 64;

    mutable std::mutex m_lock;
    std::multimap<std::size_t, void*> m_free; // by size
    std::map<void*, std::size_t> m_given;     // the size each block has
};

// An array of trivial values from a memory resource, not initialised.
template <class T>
class RawArray {
public:
    RawArray() = default;
    RawArray(std::pmr::memory_resource* memory, std::size_t count)
        : m_memory(memory), m_count(count), m_data(static_cast<T*>(memory->allocate(count * sizeof(T), alignof(T))))
    {
    }
    ~RawArray() { release(); }
    RawArray(RawArray&& other) noexcept { *this = std::move(other); }
    RawArray& operator=(RawArray&& other) noexcept
    {
        release();
        m_memory = std::exchange(other.m_memory, nullptr);
        m_count = std::exchange(other.m_count, 0);
        m_data = std::exchange(other.m_data, nullptr);
        return *this;
    }

    T* get() const { return m_data; }
    T& operator[](std::size_t i) const { return m_data[i]; }

private:
    void release()
    {
        if (m_data)
            m_memory->deallocate(m_data, m_count * sizeof(T), alignof(T));
        m_data = nullptr;
    }

    std::pmr::memory_resource* m_memory = nullptr;
    std::size_t m_count = 0;
    T* m_data = nullptr;
};

} // namespace palette
