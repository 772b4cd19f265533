#include "palette/ColourSet.h"

namespace palette {

void ColourSet::assign(const std::vector<Marks>& parts)
{
    assignWords([&](std::size_t w) {
        quint64 bits = 0;
        for (const Marks& part : parts)
            bits |= part[w];
        return bits;
    });
}

void ColourSet::assign(const std::vector<quint32>& ascending)
{
    std::size_t i = 0;
    assignWords([&](std::size_t w) {
        quint64 bits = 0;
        for (; i < ascending.size() && ascending[i] >> 6 == w; ++i)
            bits |= quint64(1) << (ascending[i] & 63);
        return bits;
    });
}

} // namespace palette
