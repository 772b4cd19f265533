#pragma once

#include <QtGlobal>
#include <array>
#include <vector>

namespace palette {

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
    bool operator==(const Rgb&) const = default;
};

inline Rgb toRgb(quint32 rgb)
{
    return {int((rgb >> 16) & 0xFF), int((rgb >> 8) & 0xFF), int(rgb & 0xFF)};
}

inline int distance2(const Rgb& a, const Rgb& b)
{
    const int dr = a.r - b.r;
    const int dg = a.g - b.g;
    const int db = a.b - b.b;
    return dr * dr + dg * dg + db * db;
}

// The palette entry nearest to a colour (squared RGB distance), the lowest
// index among equally near ones: exact, as a search of every entry would
// give. Colour space is split into cells, each with the short list of
// entries that can be nearest to some colour in it, built when first needed.
class NearestColour {
public:
    explicit NearestColour(std::vector<Rgb> palette);

    int operator()(const Rgb& colour);

    const std::vector<Rgb>& palette() const { return m_palette; }

private:
    static constexpr int kCellShift = 3; // 32 x 32 x 32 cells of 8 levels each
    static constexpr int kCells = 1 << (3 * (8 - kCellShift));

    struct Cell {
        quint32 first = 0;
        quint32 count = 0; // 0: not built yet
    };

    // Four entries at a time, in single precision, which holds every squared
    // distance between colours (at most 3 x 255 x 255) exactly.
    using Lanes = float __attribute__((vector_size(16)));
    static constexpr int kLanes = 4;

    const Cell& cell(int index, const Rgb& corner);

    std::vector<Rgb> m_palette;
    std::vector<Lanes> m_red, m_green, m_blue; // the palette by channel, padded far away
    std::vector<float> m_near;
    std::vector<Cell> m_cells;
    std::vector<quint8> m_candidates;
};

} // namespace palette
