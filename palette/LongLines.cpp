#include "palette/MonochromeStages.h"

#include <QtEndian>
#include <algorithm>

namespace palette::monochrome {
namespace {

// A straight run of kLine or more pixels across or down that are the other
// colour than the split gives only because they stand out from their
// background is a frame or a separator, not text: thin and faint, yet it
// would come out as solid as the text it surrounds and crowd it. Such runs
// take the split, as areas do; strokes of text are shorter.
//
// The runs are found sixty-four pixels at a time, in words whose most
// significant bit is the leftmost pixel: a pixel starts a run at least kLine
// long where it and the kLine - 1 after it are all set, which doubling the
// span of an AND finds in a few steps; an OR spanning as far back then marks
// the whole run.
class LongRuns {
public:
    LongRuns(const std::pmr::vector<quint8>& bits, std::size_t stride, int height, std::pmr::memory_resource* memory)
        : m_stride(stride), m_height(height), m_words(((stride + 7) / 8 + kStrip - 1) / kStrip * kStrip + 1),
          m_pixels(m_words * std::size_t(height), memory), m_runs(m_pixels.size(), memory)
    {
        for (int y = 0; y < height; ++y) {
            quint64* words = m_pixels.data() + std::size_t(y) * m_words;
            std::memcpy(words, bits.data() + std::size_t(y) * stride, stride);
            for (std::size_t j = 0; j < m_words; ++j)
                words[j] = qFromBigEndian(words[j]);
        }
    }

    // The runs across the rows [first, last).
    void across(int first, int last)
    {
        const std::size_t n = m_words - 1;
        std::vector<quint64> words(m_words);
        for (int y = first; y < last; ++y) {
            const quint64* pixels = m_pixels.data() + std::size_t(y) * m_words;
            // A run of kLine holds two whole bytes of set pixels, one after
            // the other: rows without them are passed at once.
            static_assert(Monochrome::kLine >= 2 * 8 + 2 * 7);
            bool twoBytes = false;
            for (std::size_t j = 0; j < n && !twoBytes; ++j) {
                const quint64 pairs = pixels[j] & (pixels[j] << 8 | pixels[j + 1] >> 56);
                twoBytes = (~pairs - 0x0101010101010101u) & pairs & 0x8080808080808080u;
            }
            if (!twoBytes)
                continue;
            std::copy(pixels, pixels + m_words, words.begin());
            // Pixel p + step into the place of pixel p, then back.
            spanSteps([&](int step) {
                for (std::size_t j = 0; j < n; ++j)
                    words[j] &= (words[j] << step) | (words[j + 1] >> (64 - step));
            });
            spanSteps([&](int step) {
                for (std::size_t j = n; j-- > 0;)
                    words[j] |= (words[j] >> step) | (j ? words[j - 1] << (64 - step) : 0);
            });
            std::copy(words.begin(), words.end(), m_runs.begin() + std::ptrdiff_t(std::size_t(y) * m_words));
        }
    }

    // The runs down the strips of columns [first, last), each kStrip words
    // wide. A run of kLine holds a whole block of kBlock rows aligned to
    // kBlock, so only the rows around a chain of such blocks in which some
    // column is set all through are looked at, as a scratch copy narrow
    // enough to stay in the cache through every step.
    void down(int first, int last)
    {
        constexpr int kBlock = (Monochrome::kLine + 1) / 2;
        const int blocks = m_height / kBlock;
        std::vector<bool> full(static_cast<std::size_t>(blocks));
        std::vector<quint64> rows;
        for (std::size_t strip = std::size_t(first); strip < std::size_t(last); ++strip) {
            const auto at = [&](int y) { return std::size_t(y) * m_words + strip * kStrip; };
            for (int b = 0; b < blocks; ++b) {
                std::array<quint64, kStrip> all;
                all.fill(~quint64(0));
                for (int y = b * kBlock; y < (b + 1) * kBlock; ++y)
                    for (std::size_t j = 0; j < kStrip; ++j)
                        all[j] &= m_pixels[at(y) + j];
                full[std::size_t(b)] = std::any_of(all.begin(), all.end(), [](quint64 w) { return w; });
            }
            for (int b = 0; b < blocks;) {
                if (!full[std::size_t(b)]) {
                    ++b;
                    continue;
                }
                int end = b;
                while (end < blocks && full[std::size_t(end)])
                    ++end;
                const int top = std::max(0, (b - 1) * kBlock), bottom = std::min(m_height, (end + 1) * kBlock);
                b = end;
                rows.resize(std::size_t(bottom - top) * kStrip);
                for (int y = top; y < bottom; ++y)
                    std::copy_n(m_pixels.begin() + std::ptrdiff_t(at(y)), kStrip, rows.begin() + std::ptrdiff_t(std::size_t(y - top) * kStrip));
                const std::size_t n = rows.size();
                spanSteps([&](int step) {
                    const std::size_t reach = std::size_t(step) * kStrip;
                    for (std::size_t i = 0; i < n; ++i)
                        rows[i] = i + reach < n ? rows[i] & rows[i + reach] : 0;
                });
                spanSteps([&](int step) {
                    const std::size_t reach = std::size_t(step) * kStrip;
                    for (std::size_t i = n; i-- > reach;)
                        rows[i] |= rows[i - reach];
                });
                for (int y = top; y < bottom; ++y)
                    for (std::size_t j = 0; j < kStrip; ++j)
                        m_runs[at(y) + j] |= rows[std::size_t(y - top) * kStrip + j];
            }
        }
    }

    int strips() const { return int((m_words - 1) / kStrip); }

    // Turns every pixel of a run found back to the split.
    void revert(quint8* bits) const
    {
        for (int y = 0; y < m_height; ++y)
            for (std::size_t j = 0; j * 8 < m_stride; ++j) {
                const quint64 runs = m_runs[std::size_t(y) * m_words + j];
                if (!runs)
                    continue;
                quint8* out = bits + std::size_t(y) * m_stride + j * 8;
                const std::size_t bytes = std::min<std::size_t>(8, m_stride - j * 8);
                quint64 word = 0;
                std::memcpy(&word, out, bytes);
                word ^= qToBigEndian(runs);
                std::memcpy(out, &word, bytes);
            }
    }

private:
    static constexpr std::size_t kStrip = 4;

    // Steps whose spans, doubled from one, add up to kLine pixels.
    template <class F>
    static void spanSteps(F&& f)
    {
        for (int span = 1; span < Monochrome::kLine; span += std::min(span, Monochrome::kLine - span))
            f(std::min(span, Monochrome::kLine - span));
    }

    std::size_t m_stride;
    int m_height;
    // Words in a row, a whole number of strips and one more, always 0, for
    // the pixels after the last.
    std::size_t m_words;
    std::pmr::vector<quint64> m_pixels, m_runs;
};

} // namespace

void splitLongLines(const std::pmr::vector<quint8>& flipped, int height, std::size_t stride, quint8* bits,
                    ThreadPool& pool, std::pmr::memory_resource* memory)
{
    LongRuns runs(flipped, stride, height, memory);
    pool.forEachPart(height, pool.count(), [&](int first, int last, int) { runs.across(first, last); });
    pool.forEachPart(runs.strips(), pool.count(), [&](int first, int last, int) { runs.down(first, last); });
    runs.revert(bits);
}

} // namespace palette::monochrome
