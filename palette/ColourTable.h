#pragma once

#include <QtGlobal>
#include <algorithm>
#include <vector>

namespace palette {

// The distinct colours of a picture (0xRRGGBB), numbered 0, 1, 2, ... in the
// order they first appear, with the number of pixels of each. An
// open-addressing hash table that grows as colours arrive, up to a limit on
// its size.
class ColourTable {
public:
    static constexpr quint32 kFull = 0xFFFFFFFFu;

    explicit ColourTable(std::size_t maxColours);

    // Adds count pixels of a colour and returns the colour's number; kFull
    // when the colour is new and the table is full: the caller then works
    // from a coarser histogram.
    quint32 add(quint32 rgb, quint32 count);

    std::size_t size() const { return m_colours.size(); }
    quint32 colour(quint32 number) const { return m_colours[number]; }
    quint32 count(quint32 number) const { return m_counts[number]; }
    // The number of a colour that is in the table.
    quint32 numberOf(quint32 rgb) const { return m_numbers[slotOf(kUsed | (rgb & kRgbMask))]; }

private:
    static constexpr quint32 kRgbMask = 0x00FFFFFF;
    static constexpr quint32 kUsed = 0xFF000000; // marks a used slot; 0 is empty

    std::size_t slotOf(quint32 key) const;
    quint32 addNew(quint32 key, quint32 count);
    void grow();

    std::vector<quint32> m_keys; // kUsed | rgb, or 0
    std::vector<quint32> m_numbers;
    std::vector<quint32> m_colours; // by number
    std::vector<quint32> m_counts;  // by number
    std::size_t m_maxColours;
    int m_bits;
};

inline std::size_t ColourTable::slotOf(quint32 key) const
{
    // Fibonacci hashing, then linear probing.
    std::size_t slot = std::size_t((key * 0x9E3779B1u) >> (32 - m_bits));
    const std::size_t mask = m_keys.size() - 1;
    while (m_keys[slot] && m_keys[slot] != key)
        slot = (slot + 1) & mask;
    return slot;
}

inline quint32 ColourTable::add(quint32 rgb, quint32 count)
{
    const quint32 key = kUsed | (rgb & kRgbMask);
    std::size_t slot = slotOf(key);
    if (!m_keys[slot])
        return addNew(key, count);
    const quint32 number = m_numbers[slot];
    m_counts[number] = quint32(std::min<quint64>(quint64(m_counts[number]) + count, 0xFFFFFFFFu));
    return number;
}

} // namespace palette
