#pragma once

#include <QImage>
#include <bit>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace palette {

// The rows of a picture as 0xRRGGBB words, alpha ignored: a capture is
// opaque. 32-bit pictures are read in place; other formats are converted a
// block of rows at a time, so no second copy of a large picture is made.
class PixelRows {
public:
    explicit PixelRows(const QImage& image);

    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }
    // Row y from the top; bits 24-31 may hold anything.
    const quint32* row(int y);

    static constexpr quint32 kRgbMask = 0x00FFFFFF;

private:
    const QImage& m_image;
    bool m_direct;
    QImage m_block;
    int m_blockTop = -1;
};

// The end of the run of pixels of colour rgb that starts at x in a row: the
// first pixel at or after x of another colour, or width. Screens are mostly
// long runs of one colour, so where the processor allows, eight pixels are
// compared at a time.
inline int runEnd(const quint32* row, int x, int width, quint32 rgb)
{
    // Photographs are mostly runs of one pixel.
    if (x < width && (row[x] & PixelRows::kRgbMask) != rgb)
        return x;
#if defined(__SSE2__)
    const __m128i mask = _mm_set1_epi32(int(PixelRows::kRgbMask));
    const __m128i colour = _mm_set1_epi32(int(rgb));
    for (; x + 8 <= width; x += 8) {
        const __m128i low = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)), mask);
        const __m128i high = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x + 4)), mask);
        const int same = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(low, colour)))
                         | _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(high, colour))) << 4;
        if (same != 0xFF)
            return x + std::countr_one(unsigned(same));
    }
#endif
    while (x < width && (row[x] & PixelRows::kRgbMask) == rgb)
        ++x;
    return x;
}

// Calls f(rgb, x, end) for each run of one colour in a row, left to right,
// until f returns false. False when f stopped it.
template <class F>
bool forEachRun(const quint32* row, int width, F&& f)
{
    for (int x = 0; x < width;) {
        const quint32 rgb = row[x] & PixelRows::kRgbMask;
        const int end = runEnd(row, x + 1, width, rgb);
        if (!f(rgb, x, end))
            return false;
        x = end;
    }
    return true;
}

// Calls f(rgb, x, end) for the pixels of a row: a run of one colour at a
// time in a row of long runs (interfaces), and pixel by pixel otherwise
// (photographs), where finding where each run ends would cost more than it
// saves.
template <class F>
void forEachColourOf(const quint32* row, int width, bool longRuns, F&& f)
{
    if (longRuns) {
        forEachRun(row, width, [&](quint32 rgb, int x, int end) {
            f(rgb, x, end);
            return true;
        });
    } else {
        for (int x = 0; x < width; ++x)
            f(row[x] & PixelRows::kRgbMask, x, x + 1);
    }
}

// The same for the rows [first, last), longRuns telling by row.
template <class F>
void forEachColourIn(const QImage& picture, int width, int first, int last, const std::vector<quint8>& longRuns, F&& f)
{
    PixelRows rows(picture);
    for (int y = first; y < last; ++y)
        forEachColourOf(rows.row(y), width, longRuns[std::size_t(y)], f);
}

} // namespace palette
