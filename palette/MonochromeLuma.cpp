#include "palette/MonochromeStages.h"

#include "palette/PaletteChooser.h"
#include "palette/PixelRows.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace palette::monochrome {
namespace {

// Counts of luma values, kept in several tables that a pixel goes to in
// turn, so that one count does not wait for the one before it to be stored
// where neighbours have the same luma.
class LumaCounts {
public:
    // Sixteen values, read first, so that the counts stored cannot change them.
    void add16(const quint8* values)
    {
        std::array<quint64, 2> read;
        std::memcpy(read.data(), values, sizeof read);
        // Unrolled, so that each count's table is a fixed address; the
        // values come out of the words in the byte order of the machine,
        // which does not matter to the counts.
        [&]<std::size_t... K>(std::index_sequence<K...>) {
            (++m_tables[K % kTables][(read[K / 8] >> (8 * (K % 8))) & 0xFF], ...);
        }(std::make_index_sequence<16>());
    }
    void add(quint8 value, quint32 count) { m_tables[0][value] += count; }
    void add(const quint8* values, int n)
    {
        for (int k = 0; k < n; ++k)
            ++m_tables[0][values[k]];
    }

    void add(const LumaCounts& other)
    {
        for (std::size_t t = 0; t < kTables; ++t)
            for (std::size_t i = 0; i < 256; ++i)
                m_tables[t][i] += other.m_tables[t][i];
    }

    void addTo(std::array<quint64, 256>& histogram) const
    {
        for (const auto& table : m_tables)
            for (std::size_t i = 0; i < 256; ++i)
                histogram[i] += table[i];
    }

private:
    static constexpr std::size_t kTables = 8;
    std::array<std::array<quint32, 256>, kTables> m_tables{};
};

// Luma of n pixels, as palette::luma gives it, counted. The weighted sum is
// at most 255,000, so with the rounding half added, an eighth of it fits in
// 16 bits, and dividing that by 125 as a multiplication by 33,555 / 2^22 is
// exact below 59,074.
template <bool Vector>
void lumaRow(const quint32* pixels, int n, quint8* out, LumaCounts& counts)
{
    int x = 0;
#if defined(__SSE2__)
    if constexpr (Vector) {
        const __m128i weights = _mm_set_epi16(0, 299, 587, 114, 0, 299, 587, 114);
        const __m128i zero = _mm_setzero_si128(), half = _mm_set1_epi32(500), reciprocal = _mm_set1_epi16(short(33555));
        // The weighted sums of four pixels: blue and green, and red, of each
        // pixel in two lanes, added.
        const auto four = [&](const quint32* p) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128 first = _mm_castsi128_ps(_mm_madd_epi16(_mm_unpacklo_epi8(v, zero), weights));
            const __m128 second = _mm_castsi128_ps(_mm_madd_epi16(_mm_unpackhi_epi8(v, zero), weights));
            return _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0))),
                                 _mm_castps_si128(_mm_shuffle_ps(first, second, _MM_SHUFFLE(3, 1, 3, 1))));
        };
        const auto eight = [&](const quint32* p) {
            const __m128i low = _mm_srli_epi32(_mm_add_epi32(four(p), half), 3);
            const __m128i high = _mm_srli_epi32(_mm_add_epi32(four(p + 4), half), 3);
            return _mm_srli_epi16(_mm_mulhi_epu16(_mm_packs_epi32(low, high), reciprocal), 6);
        };
        // Sixteen pixels of one colour (a flat area) take its luma and are
        // counted at once.
        const __m128i rgbMask = _mm_set1_epi32(int(PixelRows::kRgbMask));
        quint32 flatRgb = ~0u;
        __m128i flatLuma = _mm_setzero_si128();
        for (; x + 16 <= n; x += 16) {
            const auto rgbAt = [&](int k) {
                return _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + x + k)), rgbMask);
            };
            const __m128i first = rgbAt(0), colour = _mm_shuffle_epi32(first, 0);
            const __m128i same = _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi32(first, colour), _mm_cmpeq_epi32(rgbAt(4), colour)),
                                               _mm_and_si128(_mm_cmpeq_epi32(rgbAt(8), colour), _mm_cmpeq_epi32(rgbAt(12), colour)));
            if (_mm_movemask_epi8(same) == 0xFFFF) {
                const quint32 rgb = quint32(_mm_cvtsi128_si32(first));
                if (rgb != flatRgb) {
                    flatRgb = rgb;
                    flatLuma = _mm_set1_epi8(char(luma(toRgb(rgb))));
                }
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), flatLuma);
                counts.add(quint8(_mm_cvtsi128_si32(flatLuma)), 16);
                continue;
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(eight(pixels + x), eight(pixels + x + 8)));
            counts.add16(out + x);
        }
    }
#endif
    for (int k = x; k < n; ++k)
        out[k] = quint8(luma(toRgb(pixels[k])));
    counts.add(out + x, n - x);
}

template <bool Vector>
void fillLuma(const QImage& picture, LumaPlane& plane, LumaCounts& counts, int first, int last)
{
    PixelRows rows(picture);
    for (int y = first; y < last; ++y) {
        quint8* out = plane.row(y);
        lumaRow<Vector>(rows.row(y), plane.width, out, counts);
        plane.padRow(out);
    }
}

} // namespace

Luma lumaOf(const QImage& picture, int width, int height, bool vector, ThreadPool& pool,
            std::pmr::memory_resource* memory)
{
    Luma luma{{width, height, std::size_t(width + 2 * kMargin), std::pmr::vector<quint8>(memory)}};
    LumaPlane& plane = luma.plane;
    plane.bytes.resize(plane.stride * std::size_t(height + 2 * kMargin));
    const LumaCounts counts = pool.mapMergeChunks(
        height, kBand, [](int) { return LumaCounts(); },
        [&](int first, int last, LumaCounts& mine) {
            if (vector)
                fillLuma<true>(picture, plane, mine, first, last);
            else
                fillLuma<false>(picture, plane, mine, first, last);
        },
        [](LumaCounts& total, const LumaCounts& more) { total.add(more); });
    counts.addTo(luma.histogram);
    for (int k = 0; k < kMargin; ++k) {
        std::memcpy(plane.row(-1 - k) - kMargin, plane.row(0) - kMargin, plane.stride);
        std::memcpy(plane.row(height + k) - kMargin, plane.row(height - 1) - kMargin, plane.stride);
    }
    return luma;
}

} // namespace palette::monochrome
