#pragma once

#include "palette/PaletteChooser.h"
#include "palette/Parallel.h"

#include <QImage>
#include <memory_resource>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The second stage of a conversion of a picture of many colours: its
// colours summarised.
namespace palette {

// Colours summed in cells of 6 bits per channel; each cell gives the mean of
// its pixels. A cell sums only the two bits below its own, so that 32 bits
// hold the sums of any picture a QImage can hold, and a cell is one 16-byte
// read and write for a pixel.
class CoarseHistogram {
public:
    explicit CoarseHistogram(std::pmr::memory_resource* memory = std::pmr::get_default_resource())
        : m_cells(kCells + kSpareCells, memory)
    {
    }

    void add(quint32 rgb, quint32 count)
    {
        Cell& cell = m_cells[((rgb >> 6) & 0x3F000) | ((rgb >> 4) & 0xFC0) | ((rgb >> 2) & 0x3F)];
        cell.n += count;
        cell.r += count * ((rgb >> 16) & 3);
        cell.g += count * ((rgb >> 8) & 3);
        cell.b += count * (rgb & 3);
    }

    // The pixels of a row one by one; with Vector, four at a time, each
    // cell's four sums added at once.
    template <bool Vector>
    void addPixels(const quint32* row, int width)
    {
        int x = 0;
#if defined(__SSE2__)
        if constexpr (Vector) {
            // A pixel's two low bits of each channel, with 1 for the count
            // in place of alpha, widen to a cell's four sums in their order.
            const __m128i low = _mm_set1_epi32(0x030303), one = _mm_set1_epi32(0x01000000), zero = _mm_setzero_si128();
            const __m128i red = _mm_set1_epi32(0x3F000), green = _mm_set1_epi32(0xFC0), blue = _mm_set1_epi32(0x3F);
            __m128i* cells = reinterpret_cast<__m128i*>(m_cells.data());
            const auto addTo = [&](quint32 cell, __m128i sums) {
                _mm_store_si128(cells + cell, _mm_add_epi32(_mm_load_si128(cells + cell), sums));
            };
            // A pixel in the same cell as the next hands its sums on and adds
            // to a spare cell of its own instead: neighbours share a cell more
            // often than not in a photograph, and each addition to a cell
            // would wait for the one before.
            const __m128i spare = _mm_setr_epi32(kCells, kCells + 1, kCells + 2, 0);
            for (; x + 4 <= width; x += 4) {
                const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
                const __m128i cells4 = _mm_or_si128(_mm_or_si128(_mm_and_si128(_mm_srli_epi32(pixels, 6), red),
                                                                 _mm_and_si128(_mm_srli_epi32(pixels, 4), green)),
                                                    _mm_and_si128(_mm_srli_epi32(pixels, 2), blue));
                // The last pixel's neighbour lies in the next four: never equal.
                const __m128i same = _mm_cmpeq_epi32(cells4, _mm_or_si128(_mm_srli_si128(cells4, 4), _mm_setr_epi32(0, 0, 0, -1)));
                alignas(16) quint32 cell[4];
                _mm_store_si128(reinterpret_cast<__m128i*>(cell), _mm_or_si128(_mm_and_si128(same, spare), _mm_andnot_si128(same, cells4)));
                const __m128i sums = _mm_or_si128(_mm_and_si128(pixels, low), one);
                const __m128i first = _mm_unpacklo_epi8(sums, zero), second = _mm_unpackhi_epi8(sums, zero);
                const __m128i s0 = _mm_unpacklo_epi16(first, zero);
                const __m128i s1 = _mm_add_epi32(_mm_unpackhi_epi16(first, zero), _mm_and_si128(s0, _mm_shuffle_epi32(same, 0x00)));
                const __m128i s2 = _mm_add_epi32(_mm_unpacklo_epi16(second, zero), _mm_and_si128(s1, _mm_shuffle_epi32(same, 0x55)));
                const __m128i s3 = _mm_add_epi32(_mm_unpackhi_epi16(second, zero), _mm_and_si128(s2, _mm_shuffle_epi32(same, 0xAA)));
                addTo(cell[0], s0);
                addTo(cell[1], s1);
                addTo(cell[2], s2);
                addTo(cell[3], s3);
            }
        }
#endif
        for (; x < width; ++x)
            add(row[x], 1);
    }

    void add(const CoarseHistogram& other)
    {
        for (std::size_t i = 0; i < m_cells.size(); ++i) {
            m_cells[i].n += other.m_cells[i].n;
            m_cells[i].r += other.m_cells[i].r;
            m_cells[i].g += other.m_cells[i].g;
            m_cells[i].b += other.m_cells[i].b;
        }
    }

    std::vector<WeightedColour> colours() const
    {
        std::vector<WeightedColour> colours;
        for (quint32 i = 0; i < kCells; ++i) {
            const Cell& cell = m_cells[i];
            if (!cell.n)
                continue;
            const auto mean = [&](quint32 sum, quint32 bits) { return bits << 2 | quint32((quint64(sum) + cell.n / 2) / cell.n); };
            colours.push_back({mean(cell.r, i >> 12) << 16 | mean(cell.g, (i >> 6) & 0x3F) << 8 | mean(cell.b, i & 0x3F), cell.n});
        }
        return colours;
    }

private:
    static constexpr int kCells = 1 << 18;
    static constexpr int kSpareCells = 3; // after the cells, for addPixels
    // In the order of a pixel's bytes in memory, for addPixels.
    struct alignas(16) Cell {
        quint32 b = 0, g = 0, r = 0, n = 0;
    };
    std::pmr::vector<Cell> m_cells;
};

// The cells of the histogram of the first width x height pixels of a
// picture, its parts of the rows summed on their own threads; long runs
// (longRuns, by row) are added a run at a time, other rows pixel by pixel,
// four at a time where the processor has vector registers.
std::vector<WeightedColour> coarseColours(const QImage& picture, int width, int height,
                                          const std::vector<quint8>& longRuns, int parts, ThreadPool& pool,
                                          std::pmr::memory_resource* memory);

} // namespace palette
