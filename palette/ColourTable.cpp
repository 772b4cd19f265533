#include "palette/ColourTable.h"

namespace palette {
namespace {

constexpr int kInitialBits = 12;

} // namespace

ColourTable::ColourTable(std::size_t maxColours)
    : m_keys(std::size_t(1) << kInitialBits),
      m_numbers(m_keys.size()),
      m_maxColours(maxColours),
      m_bits(kInitialBits)
{
}

quint32 ColourTable::addNew(quint32 key, quint32 count)
{
    if (size() == m_maxColours)
        return kFull;
    if (2 * (size() + 1) > m_keys.size())
        grow();
    const std::size_t slot = slotOf(key);
    const auto number = quint32(size());
    m_keys[slot] = key;
    m_numbers[slot] = number;
    m_colours.push_back(key & kRgbMask);
    m_counts.push_back(count);
    return number;
}

void ColourTable::grow()
{
    std::vector<quint32> keys(m_keys.size() * 2);
    std::vector<quint32> numbers(keys.size());
    keys.swap(m_keys);
    numbers.swap(m_numbers);
    ++m_bits;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (!keys[i])
            continue;
        const std::size_t slot = slotOf(keys[i]);
        m_keys[slot] = keys[i];
        m_numbers[slot] = numbers[i];
    }
}

} // namespace palette
