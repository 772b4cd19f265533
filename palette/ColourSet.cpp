#include "palette/ColourSet.h"

namespace palette {

void ColourSet::assign(const std::vector<Marks>& parts)
{
    // Every word is written below: 4 MB not cleared first.
    m_words = std::make_unique_for_overwrite<Word[]>(kWords);
    quint32 before = 0;
    for (std::size_t w = 0; w < kWords; ++w) {
        quint64 bits = 0;
        for (const Marks& part : parts)
            bits |= part[w];
        m_words[w] = {bits, before};
        before += bitCount(bits);
    }
    m_size = before;
}

void ColourSet::assign(const std::vector<quint32>& ascending)
{
    m_words = std::make_unique_for_overwrite<Word[]>(kWords);
    quint32 before = 0;
    std::size_t i = 0;
    for (std::size_t w = 0; w < kWords; ++w) {
        quint64 bits = 0;
        for (; i < ascending.size() && ascending[i] >> 6 == w; ++i)
            bits |= quint64(1) << (ascending[i] & 63);
        m_words[w] = {bits, before};
        before += bitCount(bits);
    }
    m_size = before;
}

} // namespace palette
