#include "palette/IndexedRows.h"

#include "palette/CoarseHistogram.h"
#include "palette/ColourCount.h"
#include "palette/IndexTable.h"
#include "palette/Monochrome.h"
#include "palette/PaletteChooser.h"
#include "palette/PixelRows.h"
#include "palette/RowPacking.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace palette {
namespace {

// Up to this many distinct colours the palette is chosen from the colours
// themselves, counted in an array by rank; a picture with more is summarised
// in a 6-bit-per-channel histogram.
constexpr quint32 kMaxExactColours = quint32(1) << 18;
// Up to this many colours, the words that rank them fit in a core's cache,
// and a pixel's palette index is looked up by rank; with more, by colour.
constexpr quint32 kFewColours = quint32(1) << 16;
// The parts the picture is split into, at most: each has a 2 MB set of its
// colours and an array of counts or a 4 MB histogram.
constexpr int kMaxParts = 4;
constexpr int kMinPartRows = 64;

// Whether the picture has more than n colours; it stops reading at the first
// one too many.
bool moreColoursThan(const QImage& picture, int width, int height, std::size_t n)
{
    PixelRows rows(picture);
    std::vector<quint32> seen;
    for (int y = 0; y < height; ++y) {
        const bool fewEnough = forEachRun(rows.row(y), width, [&](quint32 rgb, int, int) {
            if (std::find(seen.begin(), seen.end(), rgb) == seen.end())
                seen.push_back(rgb);
            return seen.size() <= n;
        });
        if (!fewEnough)
            return true;
    }
    return false;
}

} // namespace

// What a conversion made, for packing its rows: the black and white of a
// monochrome picture, or the palette, the colours and their indices.
struct IndexedRows::Conversion {
    Conversion(const QImage& picture, int width, int height, Workspace& workspace)
        : picture(picture), width(width), height(height), pool(workspace.pool()),
          parts(partsFor(height, kMinPartRows, std::min(kMaxParts, pool.count())))
    {
    }

    const QImage& picture;
    int width, height;
    ThreadPool& pool;
    int parts;
    bool bitCountInstruction = hasBitCountInstruction();
    std::vector<Rgb> palette;
    std::unique_ptr<Monochrome> monochrome;
    PictureColours colours;
    std::optional<IndexTable> indices;
};

IndexedRows::IndexedRows(const QImage& picture, int width, int height, int entries, Workspace& workspace)
{
    m_conversion = std::make_unique<Conversion>(picture, width, height, workspace);
    Conversion& c = *m_conversion;
    const int parts = c.parts;
    if (entries == 2 && moreColoursThan(picture, width, height, 2)) {
        c.monochrome = std::make_unique<Monochrome>(picture, width, height, &c.pool, workspace.memory());
        c.palette = {{0, 0, 0}, {255, 255, 255}};
        return;
    }
    // The stages: the colours, the palette (the colours themselves when
    // they are few enough, else chosen from their counts or from the coarse
    // histogram), the index of each colour; packing follows.
    c.colours = countColours(picture, width, height, parts, c.pool, workspace.memory());
    const ColourSet& set = c.colours.set;
    if (set.size() > kFewColours)
        c.indices.emplace(set, workspace.colourTable(), entries);
    else
        c.indices.emplace(set);
    if (set.size() <= quint32(entries)) {
        c.palette = ownColours(set, *c.indices);
        return;
    }
    const std::vector<WeightedColour> weighted =
        set.size() > kMaxExactColours
            ? coarseColours(picture, width, height, c.colours.longRuns, parts, c.pool, workspace.memory())
            : weighColours(picture, width, height, c.colours, parts, c.bitCountInstruction, c.pool, workspace.memory());
    c.palette = choosePalette(weighted, entries, c.pool);
    mapToNearest(set, c.palette, *c.indices, parts, c.pool);
}

IndexedRows::~IndexedRows() = default;

const std::vector<Rgb>& IndexedRows::palette() const
{
    return m_conversion->palette;
}

void IndexedRows::pack(int first, int last, int bits, const std::function<quint8*(int y)>& rowOf) const
{
    const Conversion& c = *m_conversion;
    if (last <= first)
        return;
    if (c.monochrome) {
        for (int y = first; y < last; ++y)
            std::memcpy(rowOf(y), c.monochrome->row(y), (std::size_t(c.width) + 7) / 8);
        return;
    }
    c.pool.forEachPart(last - first, std::min(c.parts, partsFor(last - first, kMinPartRows)), [&](int from, int to, int) {
        packRows(c.picture, c.width, first + from, first + to, bits, *c.indices, c.colours.longRuns,
                 c.bitCountInstruction, rowOf);
    });
}

} // namespace palette
