#pragma once

#include "palette/Monochrome.h"
#include "palette/Parallel.h"

#include <QImage>
#include <array>
#include <cstring>
#include <memory_resource>
#include <vector>

// The stages of the monochrome conversion: the luma of the picture, the
// strokes told from the areas, and long lines split like areas.
namespace palette::monochrome {

// The strokes' background is found by morphology on the luma plane: an
// opening (the largest of the smallest values in a square) wipes out light
// strokes narrower than the square, a closing dark ones. The square is
// kStroke + 1 pixels wide, the reach kReach pixels each way; a pixel's
// closing and opening look kMargin pixels beyond it, and so does the square
// twice as wide whose mean and range tell which side is the background: the
// larger one holds more background than strokes also in dense text.
constexpr int kReach = Monochrome::kStroke / 2;
constexpr int kMargin = 2 * kReach;
static_assert(kReach == 3, "the window filters below take 7 values");
// Rows worked on at a time, so the planes of one band stay in the cache.
constexpr int kBand = 32;
// The luma plane, kMargin columns and rows wider on each side than the
// picture, the edge pixels repeated, so that every window lies inside it.
struct LumaPlane {
    int width, height;
    std::size_t stride;
    std::pmr::vector<quint8> bytes;

    quint8* row(int y) { return bytes.data() + std::size_t(y + kMargin) * stride + kMargin; }

    void padRow(quint8* centre) const
    {
        std::memset(centre - kMargin, centre[0], kMargin);
        std::memset(centre + width, centre[width - 1], kMargin);
    }
};

// The first stage: the luma of each pixel, as palette::luma gives it, in a
// plane with its margins, and how many pixels have each luma.
struct Luma {
    LumaPlane plane;
    std::array<quint64, 256> histogram{};
};
Luma lumaOf(const QImage& picture, int width, int height, bool vector, ThreadPool& pool,
            std::pmr::memory_resource* memory);

// The second stage: whether each pixel is white, into bits (rows of
// bitStride bytes, zero before): the split at the threshold, or for a pixel
// of a stroke the opposite of its background. The stroke pixels that the
// split alone would have given the other colour are marked in flipped.
void classifyStrokes(LumaPlane& plane, int threshold, bool vector, std::size_t bitStride, quint8* bits,
                     quint8* flipped, ThreadPool& pool, std::pmr::memory_resource* memory);

// The third stage: straight runs of kLine or more flipped pixels, frames and
// separators, turned back to the split.
void splitLongLines(const std::pmr::vector<quint8>& flipped, int height, std::size_t stride, quint8* bits,
                    ThreadPool& pool, std::pmr::memory_resource* memory);

} // namespace palette::monochrome
