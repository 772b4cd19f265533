#include "host/ColourTable.h"

#include <algorithm>

namespace host {
namespace {

constexpr int kInitialBits = 12;

} // namespace

ColourTable::ColourTable(std::size_t maxColours)
    : m_keys(std::size_t(1) << kInitialBits),
      m_values(m_keys.size()),
      m_maxColours(maxColours),
      m_bits(kInitialBits)
{
}

std::size_t ColourTable::slotOf(quint32 key) const
{
    // Fibonacci hashing, then linear probing.
    std::size_t slot = std::size_t((key * 0x9E3779B1u) >> (32 - m_bits));
    const std::size_t mask = m_keys.size() - 1;
    while (m_keys[slot] && m_keys[slot] != key)
        slot = (slot + 1) & mask;
    return slot;
}

bool ColourTable::add(quint32 rgb, quint32 count)
{
    const quint32 key = kUsed | (rgb & kRgbMask);
    std::size_t slot = slotOf(key);
    if (!m_keys[slot]) {
        if (m_size == m_maxColours)
            return false;
        if (2 * (m_size + 1) > m_keys.size()) {
            grow();
            slot = slotOf(key);
        }
        m_keys[slot] = key;
        ++m_size;
    }
    m_values[slot] = quint32(std::min<quint64>(quint64(m_values[slot]) + count, 0xFFFFFFFFu));
    return true;
}

void ColourTable::grow()
{
    std::vector<quint32> keys(m_keys.size() * 2);
    std::vector<quint32> values(keys.size());
    keys.swap(m_keys);
    values.swap(m_values);
    ++m_bits;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (!keys[i])
            continue;
        const std::size_t slot = slotOf(keys[i]);
        m_keys[slot] = keys[i];
        m_values[slot] = values[i];
    }
}

} // namespace host
