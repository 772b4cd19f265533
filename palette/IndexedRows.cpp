#include "palette/IndexedRows.h"

#include "palette/ColourSet.h"
#include "palette/Monochrome.h"
#include "palette/PaletteChooser.h"
#include "palette/PixelRows.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
// Rows whose runs of one colour are this long on average are read a run at
// a time.
constexpr int kLongRun = 8;

// The pixel count of each colour of a part of a picture, summed a run at a
// time while its colours are marked, so that an interface, which has few
// colours, is not read again to count them. Counting stops beyond
// kMaxColours, after which the picture's colours are counted by rank.
class RunCounts {
public:
    RunCounts() : m_slots(kSlots) {}

    bool stopped() const { return m_stopped; }
    void stop() { m_stopped = true; }
    void add(quint32 rgb, quint32 count)
    {
        if (m_stopped)
            return;
        quint32 i = (rgb * 0x9E3779B1u) >> (32 - kSlotBits);
        while (m_slots[i].rgb != rgb) {
            if (m_slots[i].rgb == kEmpty) {
                m_stopped |= ++m_size > kMaxColours;
                m_slots[i].rgb = rgb;
                break;
            }
            i = (i + 1) % kSlots;
        }
        m_slots[i].count += count;
    }
    // Calls f(rgb, count) for each colour.
    template <class F>
    void forEach(F&& f) const
    {
        for (const Slot& slot : m_slots)
            if (slot.rgb != kEmpty)
                f(slot.rgb, slot.count);
    }

private:
    // At most half full, in a table the cache holds.
    static constexpr int kSlotBits = 14;
    static constexpr quint32 kSlots = 1u << kSlotBits;
    static constexpr quint32 kMaxColours = kSlots / 2;
    static constexpr quint32 kEmpty = ~0u; // no colour: colours have 24 bits

    struct Slot {
        quint32 rgb = kEmpty;
        quint32 count = 0;
    };
    std::vector<Slot> m_slots;
    quint32 m_size = 0;
    bool m_stopped = false;
};

// The palette index of each colour of a picture, looked up by the colour
// itself: one read per pixel, where by rank it takes two, each waiting for
// the one before. A nibble per colour for 16 entries or fewer, a byte for
// more. Only the picture's own colours are set, and no other is used, so
// the table is not cleared.
//
// The table is kept from one conversion to the next. Given back to the
// allocator, the next one could land a little further on and set colours
// in fresh pages each time, and the program's memory would creep up save
// by save.
class IndexByColour {
public:
    explicit IndexByColour(int entries) : m_nibbles(entries <= 16)
    {
        {
            const std::lock_guard lock(s_spareMutex);
            m_table = std::move(s_spare);
        }
        if (!m_table)
            m_table = std::make_unique_for_overwrite<quint8[]>(kColours);
    }
    ~IndexByColour()
    {
        const std::lock_guard lock(s_spareMutex);
        s_spare = std::move(m_table);
    }
    IndexByColour(const IndexByColour&) = delete;
    IndexByColour& operator=(const IndexByColour&) = delete;

    // Colours that share a byte of the table are set on one thread.
    void set(quint32 rgb, quint8 index)
    {
        if (!m_nibbles) {
            m_table[rgb] = index;
            return;
        }
        quint8& pair = m_table[rgb >> 1];
        const int shift = (rgb & 1) * 4;
        pair = quint8((pair & ~(0xF << shift)) | index << shift);
    }

    // A lookup for one kind of table, which a loop holds by value.
    template <bool Nibbles>
    struct Lookup {
        const quint8* table;
        quint8 operator()(quint32 pixel) const
        {
            const quint32 rgb = pixel & PixelRows::kRgbMask;
            if constexpr (Nibbles)
                return quint8(table[rgb >> 1] >> ((rgb & 1) * 4) & 0xF);
            else
                return table[rgb];
        }
    };
    bool nibbles() const { return m_nibbles; }
    template <bool Nibbles>
    Lookup<Nibbles> lookup() const { return {m_table.get()}; }

private:
    static constexpr std::size_t kColours = std::size_t(1) << 24; // the bytes of either kind
    static inline std::mutex s_spareMutex;
    static inline std::unique_ptr<quint8[]> s_spare;
    bool m_nibbles;
    std::unique_ptr<quint8[]> m_table;
};

// The palette index of a pixel by the rank of its colour.
template <bool Instruction>
struct RankLookup {
    const quint8* index;
    ColourSet::Ranks ranks;
    quint8 operator()(quint32 pixel) const { return index[ranks.of<Instruction>(pixel & PixelRows::kRgbMask)]; }
};

// The buffers of a conversion.
struct Buffers {
    ColourSet colours;
    std::vector<RunCounts> runCounts;         // by part
    std::vector<std::vector<quint32>> counts; // by part, then by rank
    std::vector<quint8> indexOf;              // the palette index of each colour, by rank
    std::unique_ptr<IndexByColour> indexByColour; // or by colour, for many colours at the fast speed
    std::vector<quint8> longRuns;             // by row: whether its runs of one colour are long
};

// Colours summed in cells of 6 bits per channel; each cell gives the mean of
// its pixels. A cell sums only the two bits below its own, so that 32 bits
// hold the sums of any picture a QImage can hold, and a cell is one 16-byte
// read and write for a pixel.
class CoarseHistogram {
public:
    CoarseHistogram() : m_cells(kCells + kSpareCells) {}

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
    std::vector<Cell> m_cells;
};

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

// The same for the rows [first, last).
template <class F>
void forEachColourIn(const QImage& picture, int width, int first, int last, const std::vector<quint8>& longRuns, F&& f)
{
    PixelRows rows(picture);
    for (int y = first; y < last; ++y)
        forEachColourOf(rows.row(y), width, longRuns[std::size_t(y)], f);
}

// Sets the pixels [x, end) of a row to an index (below 8 bits the row is
// zero before): the pixels of its first and last bytes one by one, the
// bytes between whole, with a call for a long run.
template <int Bits>
void fill(quint8* row, int x, int end, int index)
{
    constexpr int kPerByte = 8 / Bits;
    const auto set = [&](int at) {
        if constexpr (Bits == 8)
            row[at] = quint8(index);
        else
            row[at / kPerByte] |= quint8(index << (8 - Bits - (at % kPerByte) * Bits));
    };
    for (; x < end && x % kPerByte; ++x)
        set(x);
    const int whole = (end - x) / kPerByte;
    if (whole > 0) {
        quint8 byte = 0;
        for (int i = 0; i < kPerByte; ++i)
            byte = quint8(byte << Bits | index);
        quint8* at = row + x / kPerByte;
        if (whole < 16)
            for (int i = 0; i < whole; ++i)
                at[i] = byte;
        else
            std::memset(at, byte, std::size_t(whole));
        x += whole * kPerByte;
    }
    for (; x < end; ++x)
        set(x);
}

template <bool Instruction>
void countRows(const QImage& picture, int width, int first, int last, const Buffers& b, quint32* counts)
{
    forEachColourIn(picture, width, first, last, b.longRuns,
                    [&](quint32 rgb, int x, int end) { counts[b.colours.rank<Instruction>(rgb)] += quint32(end - x); });
}

template <int Bits, class IndexOf>
void packRowsOf(const QImage& picture, int width, int first, int last, const Buffers& b,
                const std::function<quint8*(int)>& rowOf, IndexOf indexOf)
{
    // One reader for all the rows: a picture of another format is converted
    // a block of rows at a time.
    PixelRows rows(picture);
    for (int y = first; y < last; ++y) {
        quint8* row = rowOf(y);
        const quint32* pixels = rows.row(y);
        if (b.longRuns[std::size_t(y)]) {
            forEachColourOf(pixels, width, true, [&](quint32 rgb, int x, int end) { fill<Bits>(row, x, end, indexOf(rgb)); });
            continue;
        }
        // Pixel by pixel, a whole byte at a time, its pixels' look-ups
        // unrolled and combined at the end, so that none waits on another.
        constexpr int kPerByte = 8 / Bits;
        const int whole = width / kPerByte;
        for (int i = 0; i < whole; ++i) {
            const quint32* p = pixels + i * kPerByte;
            row[i] = [&]<int... K>(std::integer_sequence<int, K...>) {
                return quint8(((indexOf(p[K]) << (8 - Bits * (K + 1))) | ...));
            }(std::make_integer_sequence<int, kPerByte>());
        }
        for (int x = whole * kPerByte; x < width; ++x)
            fill<Bits>(row, x, x + 1, indexOf(pixels[x]));
    }
}

template <class IndexOf>
void packRows(int bits, const QImage& picture, int width, int first, int last, const Buffers& b,
              const std::function<quint8*(int)>& rowOf, IndexOf indexOf)
{
    if (bits == 8)
        packRowsOf<8>(picture, width, first, last, b, rowOf, indexOf);
    else if (bits == 4)
        packRowsOf<4>(picture, width, first, last, b, rowOf, indexOf);
    else
        packRowsOf<1>(picture, width, first, last, b, rowOf, indexOf);
}

// Counting and packing a photograph look up the rank of each pixel's colour,
// a population count each. On x86 they are built a second time for
// processors with that instruction, which is chosen when the conversion
// starts; the plain speed never takes it.
#if defined(__x86_64__) || defined(__i386__)
#define QORIX_BIT_COUNT_BUILD gnu::target("popcnt"), gnu::flatten
bool hasBitCountInstruction()
{
    return __builtin_cpu_supports("popcnt");
}
#else
#define QORIX_BIT_COUNT_BUILD gnu::flatten
bool hasBitCountInstruction()
{
    return false;
}
#endif

[[QORIX_BIT_COUNT_BUILD]] void countRowsByInstruction(const QImage& picture, int width, int first, int last,
                                                      const Buffers& b, quint32* counts)
{
    countRows<true>(picture, width, first, last, b, counts);
}

[[QORIX_BIT_COUNT_BUILD]] void packRowsByInstruction(int bits, const QImage& picture, int width, int first, int last,
                                                     const Buffers& b, const std::function<quint8*(int)>& rowOf)
{
    packRows(bits, picture, width, first, last, b, rowOf, RankLookup<true>{b.indexOf.data(), b.colours.ranks()});
}

} // namespace

struct IndexedRows::Parts {
    Parts(const QImage& picture, int width, int height, Speed speed)
        : picture(picture), width(width), height(height),
          parts(speed == Speed::Fast ? partsFor(height, kMinPartRows, kMaxParts) : 1),
          fast(speed == Speed::Fast), bitCountInstruction(fast && hasBitCountInstruction()), cores(parts)
    {
    }

    void countColours();
    // Whether every part counted all its colours by run.
    bool counted() const
    {
        return std::none_of(buffers.runCounts.begin(), buffers.runCounts.end(), [](const RunCounts& c) { return c.stopped(); });
    }
    std::vector<WeightedColour> weightedColours();
    void setIndex(quint32 rank, quint32 rgb, quint8 index)
    {
        if (buffers.indexByColour)
            buffers.indexByColour->set(rgb, index);
        else
            buffers.indexOf[rank] = index;
    }
    void mapToNearest();

    const QImage& picture;
    int width, height, parts;
    bool fast;
    bool bitCountInstruction;
    std::vector<Rgb> palette;
    std::unique_ptr<Monochrome> monochrome;
    Buffers buffers;
    // Packing, which changes nothing else, runs on them too.
    mutable Cores cores;
};

// Marks the colours of a row and gives how many of its pixels differ from
// the one before; with Count, counts its pixels by colour a run at a time
// instead, the counts then holding its colours. Four pixels at a time: where
// they continue a run, on to its end at once, and taken without a branch
// each where they do not.
template <bool Count>
int markRow(const quint32* row, int width, ColourSet::Marks& marks, RunCounts& counts)
{
    quint32 last = ~row[0] & PixelRows::kRgbMask;
    int changes = 0, runStart = 0, x = 0;
    const auto markOne = [&](quint32 pixel, int at) {
        const quint32 rgb = pixel & PixelRows::kRgbMask;
        if constexpr (Count) {
            if (rgb != last && at > runStart) {
                counts.add(last, quint32(at - runStart));
                runStart = at;
            }
        } else {
            ColourSet::mark(marks, rgb);
        }
        changes += rgb != last;
        last = rgb;
    };
    for (; x + 4 <= width; x += 4) {
        if (((row[x] ^ last) | (row[x + 1] ^ last) | (row[x + 2] ^ last) | (row[x + 3] ^ last)) & PixelRows::kRgbMask) {
            markOne(row[x], x);
            markOne(row[x + 1], x + 1);
            markOne(row[x + 2], x + 2);
            markOne(row[x + 3], x + 3);
        } else {
            // On to the end of the run, the next four from there.
            x = runEnd(row, x + 4, width, last) - 4;
        }
    }
    for (; x < width; ++x)
        markOne(row[x], x);
    if constexpr (Count) {
        counts.add(last, quint32(width - runStart));
        // A row where most pixels differ from the one before is a
        // photograph's: counting by rank costs less there.
        if (changes > width / 2)
            counts.stop();
    }
    return changes;
}

// The same for a row of a photograph, where most pixels differ from the
// one before: pixel by pixel, as four at a time seldom continue a run.
int markPhotoRow(const quint32* row, int width, ColourSet::Marks& marks)
{
    quint32 last = ~row[0] & PixelRows::kRgbMask;
    int changes = 0;
    for (int x = 0; x < width; ++x) {
        const quint32 rgb = row[x] & PixelRows::kRgbMask;
        ColourSet::mark(marks, rgb);
        changes += rgb != last;
        last = rgb;
    }
    return changes;
}

// Clears the marks and marks the colours counted so far.
void markCounted(ColourSet::Marks& marks, const RunCounts& counts)
{
    ColourSet::clear(marks);
    counts.forEach([&](quint32 rgb, quint32) { ColourSet::mark(marks, rgb); });
}

// Each part of the rows counts its colours while they are few, marks them
// in a set of its own once they are not, and notes which rows are long runs
// of one colour. When every part has counted all its colours, the colour set
// is made from the counts' colours, without marks.
void IndexedRows::Parts::countColours()
{
    Buffers& b = buffers;
    // Freed once the set is made, before counting needs its memory.
    std::vector<ColourSet::Marks> partMarks(static_cast<std::size_t>(parts));
    b.runCounts.assign(std::size_t(parts), RunCounts());
    std::atomic<bool> tooMany = false;
    b.longRuns.resize(std::size_t(height));
    cores.forEachPart(height, parts, [&](int first, int last, int part) {
        ColourSet::Marks& marks = partMarks[std::size_t(part)];
        RunCounts& counts = b.runCounts[std::size_t(part)];
        PixelRows rows(picture);
        int changes = 0; // in the row before
        for (int y = first; y < last; ++y) {
            const quint32* row = rows.row(y);
            if (counts.stopped()) {
                changes = changes > width / 2 ? markPhotoRow(row, width, marks) : markRow<false>(row, width, marks, counts);
                b.longRuns[std::size_t(y)] = changes <= width / kLongRun;
                continue;
            }
            changes = markRow<true>(row, width, marks, counts);
            b.longRuns[std::size_t(y)] = changes <= width / kLongRun;
            // One part with too many colours is enough: the counts of all
            // are then made by rank.
            if (counts.stopped())
                tooMany.store(true, std::memory_order_relaxed);
            else if (tooMany.load(std::memory_order_relaxed))
                counts.stop();
            if (counts.stopped()) {
                // Counting may have stopped before the row's last colours.
                markCounted(marks, counts);
                markRow<false>(row, width, marks, counts);
            }
        }
    });
    if (counted()) {
        std::vector<quint32> colours;
        for (const RunCounts& counts : b.runCounts)
            counts.forEach([&](quint32 rgb, quint32) { colours.push_back(rgb); });
        std::sort(colours.begin(), colours.end());
        b.colours.assign(colours);
        return;
    }
    for (std::size_t part = 0; part < partMarks.size(); ++part)
        if (!b.runCounts[part].stopped())
            markCounted(partMarks[part], b.runCounts[part]);
    b.colours.assign(partMarks);
}

// The picture's colours with their pixel counts, or the cells of the coarse
// histogram when there are too many.
std::vector<WeightedColour> IndexedRows::Parts::weightedColours()
{
    Buffers& b = buffers;
    const quint32 distinct = b.colours.size();
    if (distinct > kMaxExactColours) {
        // Each made, and so cleared, on its own core.
        std::vector<std::unique_ptr<CoarseHistogram>> histograms(static_cast<std::size_t>(parts));
        cores.forEachPart(height, parts, [&](int first, int last, int part) {
            CoarseHistogram& histogram = *(histograms[std::size_t(part)] = std::make_unique<CoarseHistogram>());
            PixelRows rows(picture);
            for (int y = first; y < last; ++y) {
                if (b.longRuns[std::size_t(y)])
                    forEachColourOf(rows.row(y), width, true, [&](quint32 rgb, int x, int end) { histogram.add(rgb, quint32(end - x)); });
                else if (fast)
                    histogram.addPixels<true>(rows.row(y), width);
                else
                    histogram.addPixels<false>(rows.row(y), width);
            }
        });
        for (std::size_t part = 1; part < histograms.size(); ++part)
            histograms[0]->add(*histograms[part]);
        return histograms[0]->colours();
    }
    b.counts.resize(std::size_t(parts));
    cores.forEachPart(height, parts, [&](int first, int last, int part) {
        std::vector<quint32>& counts = b.counts[std::size_t(part)];
        counts.assign(distinct, 0);
        if (counted())
            b.runCounts[std::size_t(part)].forEach([&](quint32 rgb, quint32 count) { counts[b.colours.rank(rgb)] += count; });
        else if (bitCountInstruction)
            countRowsByInstruction(picture, width, first, last, b, counts.data());
        else
            countRows<false>(picture, width, first, last, b, counts.data());
    });
    // The parts' counts added up, the colours split over the cores as the
    // words that hold them.
    std::vector<WeightedColour> colours(distinct);
    cores.forEachPart(int(distinct), parts, [&](int first, int last, int) {
        b.colours.forEach(b.colours.wordFrom(quint32(first)), b.colours.wordFrom(quint32(last)), [&](quint32 rank, quint32 rgb) {
            quint64 total = 0;
            for (const std::vector<quint32>& counts : b.counts)
                total += counts[rank];
            colours[rank] = {rgb, quint32(std::min<quint64>(total, 0xFFFFFFFFu))};
        });
    });
    return colours;
}

// Every colour of the picture takes its nearest palette entry, the parts of
// the colour set on their own cores, each with about as many colours: a
// photograph's colours may lie mostly at one end of the red channel.
void IndexedRows::Parts::mapToNearest()
{
    Buffers& b = buffers;
    cores.forEachPart(int(b.colours.size()), parts, [&](int first, int last, int) {
        NearestColour nearest(palette);
        b.colours.forEach(b.colours.wordFrom(quint32(first)), b.colours.wordFrom(quint32(last)),
                          [&](quint32 rank, quint32 rgb) { setIndex(rank, rgb, quint8(nearest(toRgb(rgb)))); });
    });
}

IndexedRows::IndexedRows(const QImage& picture, int width, int height, int entries, Speed speed)
    : m_parts(std::make_unique<Parts>(picture, width, height, speed))
{
    Parts& p = *m_parts;
    if (entries == 2 && moreColoursThan(picture, width, height, 2)) {
        p.monochrome = std::make_unique<Monochrome>(picture, width, height, speed);
        p.palette = {{0, 0, 0}, {255, 255, 255}};
        return;
    }
    p.countColours();
    Buffers& b = p.buffers;
    if (p.fast && b.colours.size() > kFewColours)
        b.indexByColour = std::make_unique<IndexByColour>(entries);
    else
        b.indexOf.resize(b.colours.size());
    if (b.colours.size() <= quint32(entries)) {
        b.colours.forEach(0, ColourSet::kWords, [&](quint32, quint32 rgb) { p.palette.push_back(toRgb(rgb)); });
        sortByLuma(p.palette);
        b.colours.forEach(0, ColourSet::kWords, [&](quint32 rank, quint32 rgb) {
            p.setIndex(rank, rgb, quint8(std::lower_bound(p.palette.begin(), p.palette.end(), toRgb(rgb), lumaOrder) - p.palette.begin()));
        });
        return;
    }
    p.palette = choosePalette(p.weightedColours(), entries, p.cores, p.fast ? Speed::Fast : Speed::Plain);
    p.mapToNearest();
}

IndexedRows::~IndexedRows() = default;

const std::vector<Rgb>& IndexedRows::palette() const
{
    return m_parts->palette;
}

void IndexedRows::pack(int first, int last, int bits, const std::function<quint8*(int y)>& rowOf) const
{
    const Parts& p = *m_parts;
    if (last <= first)
        return;
    if (p.monochrome) {
        for (int y = first; y < last; ++y)
            std::memcpy(rowOf(y), p.monochrome->row(y), (std::size_t(p.width) + 7) / 8);
        return;
    }
    const Buffers& b = p.buffers;
    p.cores.forEachPart(last - first, std::min(p.parts, partsFor(last - first, kMinPartRows)), [&](int from, int to, int) {
        const auto packWith = [&](auto indexOf) { packRows(bits, p.picture, p.width, first + from, first + to, b, rowOf, indexOf); };
        if (b.indexByColour && b.indexByColour->nibbles())
            packWith(b.indexByColour->lookup<true>());
        else if (b.indexByColour)
            packWith(b.indexByColour->lookup<false>());
        else if (p.bitCountInstruction)
            packRowsByInstruction(bits, p.picture, p.width, first + from, first + to, b, rowOf);
        else
            packWith(RankLookup<false>{b.indexOf.data(), b.colours.ranks()});
    });
}

} // namespace palette
