#include "palette/IndexTable.h"

#include "palette/PaletteChooser.h"

#include <algorithm>

namespace palette {

std::vector<Rgb> ownColours(const ColourSet& colours, IndexTable& indices)
{
    std::vector<Rgb> palette;
    colours.forEach(0, ColourSet::kWords, [&](quint32, quint32 rgb) { palette.push_back(toRgb(rgb)); });
    sortByLuma(palette);
    colours.forEach(0, ColourSet::kWords, [&](quint32 rank, quint32 rgb) {
        indices.set(rank, rgb, quint8(std::lower_bound(palette.begin(), palette.end(), toRgb(rgb), lumaOrder) - palette.begin()));
    });
    return palette;
}

// A photograph's colours may lie mostly at one end of the red channel: the
// parts are even in colours, not in values.
void mapToNearest(const ColourSet& colours, const std::vector<Rgb>& palette, IndexTable& indices, int parts,
                  ThreadPool& pool)
{
    pool.forEachPart(int(colours.size()), parts, [&](int first, int last, int) {
        NearestColour nearest(palette);
        colours.forEach(colours.wordFrom(quint32(first)), colours.wordFrom(quint32(last)),
                        [&](quint32 rank, quint32 rgb) { indices.set(rank, rgb, quint8(nearest(toRgb(rgb)))); });
    });
}

} // namespace palette
