#pragma once

#include <QtGlobal>
#include <vector>

namespace host {

// The distinct colours of a picture (0xRRGGBB) with a 32-bit value each: first
// the colour's pixel count, later its palette index. An open-addressing hash
// table that grows as colours arrive, up to a limit on its size.
class ColourTable {
public:
    explicit ColourTable(std::size_t maxColours);

    // Adds count pixels of a colour. False when the colour is new and the
    // table is full: the caller then works from a coarser histogram.
    bool add(quint32 rgb, quint32 count);

    std::size_t size() const { return m_size; }

    // The value of a colour that is in the table.
    quint32& value(quint32 rgb) { return m_values[slotOf(kUsed | (rgb & kRgbMask))]; }

    // Calls f(rgb, value) for every colour; f may change the value.
    template <class F>
    void forEach(F&& f)
    {
        for (std::size_t i = 0; i < m_keys.size(); ++i)
            if (m_keys[i])
                f(m_keys[i] & kRgbMask, m_values[i]);
    }

private:
    static constexpr quint32 kRgbMask = 0x00FFFFFF;
    static constexpr quint32 kUsed = 0xFF000000; // marks a used slot; 0 is empty

    std::size_t slotOf(quint32 key) const;
    void grow();

    std::vector<quint32> m_keys; // kUsed | rgb, or 0
    std::vector<quint32> m_values;
    std::size_t m_size = 0;
    std::size_t m_maxColours;
    int m_bits;
};

} // namespace host
