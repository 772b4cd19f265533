#pragma once

#include <QtGlobal>
#include <array>
#include <type_traits>
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

// Four single-precision numbers worked on at once: the processor's vector
// registers where the compiler has vector types, and a plain array, which
// gives exactly the same results, everywhere. Single precision holds every
// squared distance between colours (at most 3 x 255 x 255) exactly.
#if defined(__GNUC__)
using VectorLanes = float __attribute__((vector_size(16)));
#endif
struct PlainLanes {
    float lane[4] = {};
    float& operator[](int i) { return lane[i]; }
    float operator[](int i) const { return lane[i]; }
};

// Whether the candidates of a cell are searched four at a time: with vector
// lanes, where the processor has 16-bit multiply-adds.
template <class Lanes>
struct Grouped : std::false_type {};
#if defined(__GNUC__) && defined(__SSE2__)
template <>
struct Grouped<VectorLanes> : std::true_type {};
#endif

// The palette entry nearest to a colour (squared RGB distance), the lowest
// index among equally near ones: exact, as a search of every entry would
// give. Colour space is split into cells, each with the short list of
// entries that can be nearest to some colour in it, built when first needed
// from the list of the coarse cell around it, so that a cell costs a look at
// a few dozen entries instead of the whole palette.
template <class Lanes>
class BasicNearestColour {
public:
    explicit BasicNearestColour(std::vector<Rgb> palette);

    int operator()(const Rgb& colour);

    const std::vector<Rgb>& palette() const { return m_palette; }

private:
    static constexpr int kCellShift = 3;   // 32 x 32 x 32 cells of 8 levels each
    static constexpr int kCoarseShift = 5; // 8 x 8 x 8 coarse cells of 32 levels
    static constexpr int kLanes = 4;

    struct Cell {
        quint32 first = 0;
        quint32 count = 0; // 0: not built yet
        quint32 group = 0; // the first of its candidates' groups, with vector lanes
    };
    // Four candidates as 16-bit lanes, for a vector search: red and green
    // in pairs, blue beside zero, and their indices.
    struct Group {
        qint16 redGreen[8];
        qint16 blue[8];
        qint32 index[4];
    };
    static constexpr bool kGroups = Grouped<Lanes>::value;
    // Palette entries by channel, padded far away, and their indices.
    struct Entries {
        std::vector<Lanes> red, green, blue;
        std::vector<quint8> index;
        void assign(const std::vector<Rgb>& palette, const quint8* indices, std::size_t count);
    };

    static int cellOf(const Rgb& colour, int shift);
    const Cell& cell(const Rgb& colour);
    void select(const Entries& from, const Rgb& colour, int shift);

    std::vector<Rgb> m_palette;
    Entries m_all;
    std::vector<Entries> m_coarse; // empty: not built yet
    std::vector<float> m_near;
    std::vector<Cell> m_cells;
    std::vector<quint8> m_candidates;
    std::vector<Group> m_groups;
};

#if defined(__GNUC__)
using NearestColour = BasicNearestColour<VectorLanes>;
#else
using NearestColour = BasicNearestColour<PlainLanes>;
#endif
using PlainNearestColour = BasicNearestColour<PlainLanes>;

} // namespace palette
