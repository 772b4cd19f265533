#include "palette/CoarseHistogram.h"

#include "palette/PixelRows.h"

#include <memory>

namespace palette {

std::vector<WeightedColour> coarseColours(const QImage& picture, int width, int height,
                                          const std::vector<quint8>& longRuns, int parts, ThreadPool& pool,
                                          std::pmr::memory_resource* memory)
{
    // Each made, and so cleared, on the thread that fills it.
    const std::unique_ptr<CoarseHistogram> all = pool.mapMerge(
        height, parts, [&](int) { return std::make_unique<CoarseHistogram>(memory); },
        [&](int first, int last, std::unique_ptr<CoarseHistogram>& histogram) {
            PixelRows rows(picture);
            for (int y = first; y < last; ++y) {
                if (longRuns[std::size_t(y)])
                    forEachColourOf(rows.row(y), width, true, [&](quint32 rgb, int x, int end) { histogram->add(rgb, quint32(end - x)); });
                else
                    histogram->addPixels<true>(rows.row(y), width);
            }
        },
        [](std::unique_ptr<CoarseHistogram>& total, const std::unique_ptr<CoarseHistogram>& more) { total->add(*more); });
    return all->colours();
}

} // namespace palette
