#include "palette/MonochromeStages.h"

#include <algorithm>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace palette::monochrome {
namespace {

struct Min {
    static quint8 plain(quint8 a, quint8 b) { return std::min(a, b); }
#if defined(__SSE2__)
    static __m128i vector(__m128i a, __m128i b) { return _mm_min_epu8(a, b); }
#endif
};

struct Max {
    static quint8 plain(quint8 a, quint8 b) { return std::max(a, b); }
#if defined(__SSE2__)
    static __m128i vector(__m128i a, __m128i b) { return _mm_max_epu8(a, b); }
#endif
};

// lowest[i] = min(lowest[i], in[i]) and highest[i] = max(highest[i], in[i])
// for i in [0, n), in one read.
template <bool Vector>
void widen(const quint8* in, quint8* lowest, quint8* highest, std::size_t n)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    if constexpr (Vector) {
        for (; i + 16 <= n; i += 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            __m128i* low = reinterpret_cast<__m128i*>(lowest + i);
            __m128i* high = reinterpret_cast<__m128i*>(highest + i);
            _mm_storeu_si128(low, _mm_min_epu8(_mm_loadu_si128(low), x));
            _mm_storeu_si128(high, _mm_max_epu8(_mm_loadu_si128(high), x));
        }
    }
#endif
    for (; i < n; ++i) {
        lowest[i] = std::min(lowest[i], in[i]);
        highest[i] = std::max(highest[i], in[i]);
    }
}

// out[i] = Op(a[i], a[i + offset]) for i in [0, n).
template <bool Vector, class Op>
void pairs(const quint8* a, std::size_t offset, quint8* out, std::size_t n)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    if constexpr (Vector) {
        for (; i + 16 <= n; i += 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
            const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i + offset));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), Op::vector(x, y));
        }
    }
#endif
    for (; i < n; ++i)
        out[i] = Op::plain(a[i], a[i + offset]);
}

// out[i] = Op over in[i], in[i + step], ..., in[i + 6 step] for the n - 6 step
// first i, by doubling: pairs, then pairs of pairs, then two overlapping
// fours.
template <bool Vector, class Op>
void window(const quint8* in, std::size_t n, std::size_t step, quint8* out, quint8* two, quint8* four)
{
    pairs<Vector, Op>(in, step, two, n - step);
    pairs<Vector, Op>(two, 2 * step, four, n - 3 * step);
    pairs<Vector, Op>(four, 3 * step, out, n - 6 * step);
}

// out[i] = a[i] + b[i] for i in [0, n), in 16 bits.
void sums(const quint16* a, const quint16* b, quint16* out, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        out[i] = quint16(a[i] + b[i]);
}

// out[i] = in[i] + in[i + step] + ... + in[i + 12 step] for the n - 12 step
// first i: sums of 2, 4 and 8, then 8 + 4 + 1.
void windowSum(const quint16* in, std::size_t n, std::size_t step, quint16* out, quint16* two, quint16* four)
{
    sums(in, in + step, two, n - step);
    sums(two, two + 2 * step, four, n - 3 * step);
    sums(four, four + 4 * step, two, n - 7 * step);
    sums(two, four + 8 * step, out, n - 12 * step);
    sums(out, in + 12 * step, out, n - 12 * step);
}

#if defined(__SSE2__)
// columns[k S + i] = in[k S + i] + in[(k + 1) S + i] + ... + in[(k + 2 kMargin) S + i]
// for the rows k in [0, rows) and the columns i in [0, S): each row's sums
// are the ones above with the row that enters added and the one that leaves
// taken off.
void columnSums(const quint8* in, std::size_t S, int rows, quint16* columns)
{
    const auto at = [S](int row, std::size_t i) { return std::size_t(row) * S + i; };
    const __m128i zero = _mm_setzero_si128();
    const auto load = [&](int row, std::size_t i) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + at(row, i))); };
    const auto store = [&](int row, std::size_t i, __m128i v) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(columns + at(row, i)), v);
    };
    std::size_t i = 0;
    for (; i + 16 <= S; i += 16) {
        __m128i low = zero, high = zero;
        for (int r = 0; r <= 2 * kMargin; ++r) {
            const __m128i v = load(r, i);
            low = _mm_add_epi16(low, _mm_unpacklo_epi8(v, zero));
            high = _mm_add_epi16(high, _mm_unpackhi_epi8(v, zero));
        }
        store(0, i, low);
        store(0, i + 8, high);
        for (int k = 1; k < rows; ++k) {
            const __m128i enter = load(k + 2 * kMargin, i), leave = load(k - 1, i);
            low = _mm_sub_epi16(_mm_add_epi16(low, _mm_unpacklo_epi8(enter, zero)), _mm_unpacklo_epi8(leave, zero));
            high = _mm_sub_epi16(_mm_add_epi16(high, _mm_unpackhi_epi8(enter, zero)), _mm_unpackhi_epi8(leave, zero));
            store(k, i, low);
            store(k, i + 8, high);
        }
    }
    for (; i < S; ++i) {
        quint16 total = 0;
        for (int r = 0; r <= 2 * kMargin; ++r)
            total = quint16(total + in[at(r, i)]);
        columns[at(0, i)] = total;
        for (int k = 1; k < rows; ++k)
            columns[at(k, i)] = total = quint16(total + in[at(k + 2 * kMargin, i)] - in[at(k - 1, i)]);
    }
}
#endif

#if defined(__SSE2__)
// e and d: the smallest and the largest value in the square of kStroke + 1
// pixels around each pixel of `in` (rows of S bytes, `rows` of them) that
// lies kReach or more pixels inside it, both from one read of the luma and
// without planes in between, sixteen columns at a time down the rows: each
// row is taken across, then down by doubling in registers, over the last
// two rows (lo2), the last four (lo4: the two ending two rows up and the two
// ending here) and the seven (the four ending three rows up and the four
// ending here); lo4a, lo4b and lo4c are the fours ending one, two and three
// rows up.
void erodeDilate(const quint8* in, std::size_t S, int rows, quint8* e, quint8* d)
{
    const auto load = [](const quint8* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    const auto store = [](quint8* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); };
    const std::size_t last = S - kReach - 16;
    for (std::size_t x = kReach;; x = std::min(x + 16, last)) {
        const quint8* column = in + x - kReach;
        __m128i lo1 = _mm_setzero_si128(), hi1 = lo1, lo2a = lo1, hi2a = lo1, lo2b = lo1, hi2b = lo1;
        __m128i lo4a = lo1, hi4a = lo1, lo4b = lo1, hi4b = lo1, lo4c = lo1, hi4c = lo1;
        for (int k = 0; k < rows; ++k) {
            const quint8* p = column + std::size_t(k) * S;
            __m128i lo = load(p), hi = lo;
            // Unrolled, here and in the squares below: the loops are short
            // and of fixed length, and a counter and a branch beside each
            // load and its two operations cost as much as they do.
            #pragma GCC unroll 2 * kReach
            for (int j = 1; j <= 2 * kReach; ++j) {
                const __m128i v = load(p + j);
                lo = _mm_min_epu8(lo, v);
                hi = _mm_max_epu8(hi, v);
            }
            const __m128i lo2 = _mm_min_epu8(lo1, lo), hi2 = _mm_max_epu8(hi1, hi);
            const __m128i lo4 = _mm_min_epu8(lo2b, lo2), hi4 = _mm_max_epu8(hi2b, hi2);
            if (k >= 2 * kReach) {
                const std::size_t at = std::size_t(k - kReach) * S + x;
                store(e + at, _mm_min_epu8(lo4c, lo4));
                store(d + at, _mm_max_epu8(hi4c, hi4));
            }
            lo1 = lo, hi1 = hi;
            lo2b = lo2a, hi2b = hi2a, lo2a = lo2, hi2a = hi2;
            lo4c = lo4b, hi4c = hi4b, lo4b = lo4a, hi4b = hi4a, lo4a = lo4, hi4a = hi4;
        }
        if (x == last)
            break;
    }
}
#endif

// The byte of eight pixels with the first pixel in the most significant bit.
constexpr std::array<quint8, 256> kReversed = [] {
    std::array<quint8, 256> table{};
    for (int i = 0; i < 256; ++i)
        for (int b = 0; b < 8; ++b)
            if (i & (1 << b))
                table[std::size_t(i)] |= quint8(0x80 >> b);
    return table;
}();

// Whether each pixel of a row is white, packed into bits. Where the wide
// square's mean is at least the middle of its range (rounded up), most of it
// is light: the background is light and only dark strokes count, otherwise
// only light ones. A stroke pixel lies at least a third of the way from its
// background to the small square's extreme; it takes the opposite of its
// background, the rest splits at the threshold. The stroke pixels that the
// split alone would have given the other colour are marked in flipped.
void classifyRow(const quint8* l, const quint8* e, const quint8* d, const quint8* o, const quint8* c,
                 const quint8* wideE, const quint8* wideD, const quint16* sum, int n, int threshold, quint8* bits,
                 quint8* flipped)
{
    constexpr int kArea = (2 * kMargin + 1) * (2 * kMargin + 1);
    for (int x = 0; x < n; ++x) {
        const bool lightBackground = sum[x] >= kArea * ((wideE[x] + wideD[x] + 1) / 2);
        const bool split = l[x] > threshold;
        bool white = split;
        if (lightBackground) {
            const int depth = c[x] - l[x];
            if (depth >= Monochrome::kContrast && 3 * depth >= c[x] - e[x])
                white = c[x] <= threshold;
        } else {
            const int depth = l[x] - o[x];
            if (depth >= Monochrome::kContrast && 3 * depth >= d[x] - o[x])
                white = o[x] <= threshold;
        }
        if (white)
            bits[x / 8] |= quint8(0x80 >> (x % 8));
        if (white != split)
            flipped[x / 8] |= quint8(0x80 >> (x % 8));
    }
}

#if defined(__SSE2__)
// Op over the square of kStroke + 1 pixels around each of the sixteen
// pixels from p, in rows `stride` apart: down its rows from kReach columns
// left to kReach right of the sixteen, then across.
template <class Op>
__m128i square(const quint8* p, std::size_t stride)
{
    const auto load = [](const quint8* q) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q)); };
    const quint8* top = p - std::ptrdiff_t(kReach * stride);
    __m128i left = load(top - kReach), right = load(top + kReach);
    #pragma GCC unroll 2 * kReach
    for (int r = 1; r <= 2 * kReach; ++r) {
        left = Op::vector(left, load(top + std::ptrdiff_t(r * stride) - kReach));
        right = Op::vector(right, load(top + std::ptrdiff_t(r * stride) + kReach));
    }
    // The first half of the pixels from the columns' left part, moved left
    // one byte at a time, the second half from the right part moved right.
    __m128i first = left, second = right;
    [&]<int... K>(std::integer_sequence<int, K...>) {
        ((first = Op::vector(first, _mm_srli_si128(left, K + 1)), second = Op::vector(second, _mm_slli_si128(right, K + 1))), ...);
    }(std::make_integer_sequence<int, 2 * kReach>());
    const __m128i firstHalf = _mm_set_epi64x(0, -1);
    return _mm_or_si128(_mm_and_si128(firstHalf, first), _mm_andnot_si128(firstHalf, second));
}

// Op over the square of 2 kStroke + 1 pixels around each of the sixteen
// pixels from p, from the erosion or dilation (Op's own) at p: the four
// squares of kStroke + 1 whose centres lie kReach rows and columns away
// diagonally cover it. Where a square reaches past the picture's edge, both
// the filtered plane and the luma repeat their edge pixels, and so the four
// still give what the whole square gives.
template <class Op>
__m128i wideSquare(const quint8* p, std::size_t stride)
{
    const auto load = [](const quint8* q) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q)); };
    const std::ptrdiff_t down = std::ptrdiff_t(kReach * stride);
    return Op::vector(Op::vector(load(p - down - kReach), load(p - down + kReach)),
                      Op::vector(load(p + down - kReach), load(p + down + kReach)));
}
#endif

// The same for the one pixel at p.
template <class Op>
quint8 squareAt(const quint8* p, std::size_t stride)
{
    quint8 result = *p;
    for (int r = -kReach; r <= kReach; ++r)
        for (int k = -kReach; k <= kReach; ++k)
            result = Op::plain(result, p[std::ptrdiff_t(r) * std::ptrdiff_t(stride) + k]);
    return result;
}

#if defined(__SSE2__)
// The same sixteen pixels at a time, from the luma and its erosion and
// dilation alone. A pixel can be a stroke only where the small square
// spans kContrast from it, a few pixels of a screen, fewer of a
// photograph: only there are the opening and closing worked out. Which side
// of a stroke is its background matters only where it is a dark stroke on
// one and not a light stroke on the other, or the other way round: only
// there are the wide square's range and its sum, from the sums of its
// columns in `columns` (one per column from the left margin), worked out.
void classifyRowVector(const quint8* l, const quint8* e, const quint8* d, std::size_t stride, const quint16* columns,
                       int n, int threshold, quint8* bits, quint8* flipped)
{
    constexpr int kArea = (2 * kMargin + 1) * (2 * kMargin + 1);
    const __m128i contrast = _mm_set1_epi8(char(Monochrome::kContrast));
    const __m128i above = _mm_set1_epi8(char(threshold + 1));
    const __m128i zero = _mm_setzero_si128(), ones = _mm_cmpeq_epi8(zero, zero), area = _mm_set1_epi16(kArea);
    const auto load = [](const auto* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    const auto atLeast = [](__m128i a, __m128i b) { return _mm_cmpeq_epi8(_mm_max_epu8(a, b), a); };
    const auto atMostThreshold = [&](__m128i a) { return _mm_andnot_si128(atLeast(a, above), ones); };
    const auto choose = [](__m128i mask, __m128i yes, __m128i no) {
        return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
    };
    // A stroke of depth s in a window of contrast w: s >= kContrast and 3s >= w.
    const auto stroke = [&](__m128i s, __m128i w) {
        return _mm_and_si128(atLeast(s, contrast), atLeast(_mm_adds_epu8(_mm_adds_epu8(s, s), s), w));
    };
    // All ones where the wide square's sum is at least its area times the
    // middle of its range, in unsigned 16 bits.
    const auto lightBackground = [&](int x) {
        const __m128i middle = _mm_avg_epu8(wideSquare<Min>(e + x, stride), wideSquare<Max>(d + x, stride));
        __m128i total[2] = {load(columns + x), load(columns + x + 8)};
        #pragma GCC unroll 2 * kMargin
        for (int k = 1; k <= 2 * kMargin; ++k)
            for (int half = 0; half < 2; ++half)
                total[half] = _mm_add_epi16(total[half], load(columns + x + 8 * half + k));
        const auto atLeastMiddle = [&](__m128i m, __m128i t) {
            return _mm_cmpeq_epi16(_mm_subs_epu16(_mm_mullo_epi16(m, area), t), zero);
        };
        return _mm_packs_epi16(atLeastMiddle(_mm_unpacklo_epi8(middle, zero), total[0]),
                               atLeastMiddle(_mm_unpackhi_epi8(middle, zero), total[1]));
    };
    int x = 0;
    for (; x + 16 <= n; x += 16) {
        const __m128i L = load(l + x), E = load(e + x), D = load(d + x), split = atLeast(L, above);
        __m128i white = split;
        const __m128i spans = _mm_or_si128(atLeast(_mm_subs_epu8(D, L), contrast), atLeast(_mm_subs_epu8(L, E), contrast));
        if (_mm_movemask_epi8(spans)) {
            const __m128i O = square<Max>(e + x, stride), C = square<Min>(d + x, stride);
            const __m128i onLight = choose(stroke(_mm_subs_epu8(C, L), _mm_subs_epu8(C, E)), atMostThreshold(C), split);
            const __m128i onDark = choose(stroke(_mm_subs_epu8(L, O), _mm_subs_epu8(D, O)), atMostThreshold(O), split);
            white = onLight;
            if (_mm_movemask_epi8(_mm_xor_si128(onLight, onDark)))
                white = choose(lightBackground(x), onLight, onDark);
        }
        const int whiteBits = _mm_movemask_epi8(white);
        const int other = _mm_movemask_epi8(_mm_xor_si128(white, split));
        bits[x / 8] = kReversed[std::size_t(whiteBits & 0xFF)];
        bits[x / 8 + 1] = kReversed[std::size_t(whiteBits >> 8)];
        flipped[x / 8] = kReversed[std::size_t(other & 0xFF)];
        flipped[x / 8 + 1] = kReversed[std::size_t(other >> 8)];
    }
    // The last few pixels one at a time, the same way.
    for (; x < n; ++x) {
        const quint8 o = squareAt<Max>(e + x, stride), c = squareAt<Min>(d + x, stride);
        const bool split = l[x] > threshold;
        const int darkDepth = c - l[x], lightDepth = l[x] - o;
        const bool onLight = darkDepth >= Monochrome::kContrast && 3 * darkDepth >= c - e[x] ? c <= threshold : split;
        const bool onDark = lightDepth >= Monochrome::kContrast && 3 * lightDepth >= d[x] - o ? o <= threshold : split;
        bool white = onLight;
        if (onLight != onDark) {
            int total = 0;
            for (int k = 0; k <= 2 * kMargin; ++k)
                total += columns[x + k];
            const int middle = (squareAt<Min>(e + x, stride) + squareAt<Max>(d + x, stride) + 1) / 2;
            white = total >= kArea * middle ? onLight : onDark;
        }
        if (white)
            bits[x / 8] |= quint8(0x80 >> (x % 8));
        if (white != split)
            flipped[x / 8] |= quint8(0x80 >> (x % 8));
    }
}
#endif

// Whether each pixel of a row is white where no stroke can be: the split
// alone.
template <bool Vector>
void splitRow(const quint8* l, int n, int threshold, quint8* bits)
{
    int x = 0;
#if defined(__SSE2__)
    if constexpr (Vector) {
        const __m128i above = _mm_set1_epi8(char(threshold + 1));
        for (; x + 16 <= n; x += 16) {
            const __m128i L = _mm_loadu_si128(reinterpret_cast<const __m128i*>(l + x));
            const int white = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(L, above), L));
            bits[x / 8] = kReversed[std::size_t(white & 0xFF)];
            bits[x / 8 + 1] = kReversed[std::size_t(white >> 8)];
        }
    }
#endif
    for (; x < n; ++x)
        if (l[x] > threshold)
            bits[x / 8] |= quint8(0x80 >> (x % 8));
}

// The planes of the window filters for one band of rows, `count` of bytes
// and `count16` of 16 bits, and the other room one core needs for a band.
struct BandPlanes {
    BandPlanes(std::size_t stride, int count, int count16, std::pmr::memory_resource* memory)
        : size(std::size_t(kBand + 2 * kMargin) * stride), bytes(std::size_t(count) * size, memory),
          wide(std::size_t(count16) * size, memory), block(size, memory), lowest(stride), highest(stride)
    {
    }
    quint8* plane(int i) { return bytes.data() + std::size_t(i) * size; }
    quint16* plane16(int i) { return wide.data() + std::size_t(i) * size; }

    std::size_t size;
    std::pmr::vector<quint8> bytes;
    std::pmr::vector<quint16> wide;
    std::pmr::vector<quint8> block;
    std::vector<quint8> lowest, highest;
    std::vector<bool> flat;
};

// The same, plainly: every plane for every pixel of the block, from the
// luma `in` and its erosion and dilation in the planes 3 and 4.
void classifyBlockPlain(const quint8* in, std::size_t S, int rows, int width, BandPlanes& planes, int threshold,
                        std::size_t bitStride, quint8* bits, quint8* flipped)
{
    quint8 *h = planes.plane(0), *two = planes.plane(1), *four = planes.plane(2);
    quint8 *e = planes.plane(3), *d = planes.plane(4);
    const std::size_t n = std::size_t(rows + 2 * kMargin) * S;
    const std::size_t across = kReach, down = kReach * S;
    quint8 *o = planes.plane(5), *c = planes.plane(6), *wideE = planes.plane(7), *wideD = planes.plane(8);
    quint16 *sum = planes.plane16(0), *across16 = planes.plane16(1), *two16 = planes.plane16(2);
    quint16 *four16 = planes.plane16(3), *wide16 = planes.plane16(4);
    const std::size_t inner = n - 2 * down;
    window<false, Max>(e + down, inner, 1, h + down + across, two, four);
    window<false, Max>(h + down, inner, S, o + 2 * down, two, four);
    window<false, Min>(d + down, inner, 1, h + down + across, two, four);
    window<false, Min>(h + down, inner, S, c + 2 * down, two, four);
    // The range of the wider square: the erosion eroded again, the
    // dilation dilated again.
    window<false, Min>(e + down, inner, 1, h + down + across, two, four);
    window<false, Min>(h + down, inner, S, wideE + 2 * down, two, four);
    window<false, Max>(d + down, inner, 1, h + down + across, two, four);
    window<false, Max>(h + down, inner, S, wideD + 2 * down, two, four);
    // The sums of the windows around the band's rows, in 16 bits.
    std::copy(in, in + n, wide16);
    windowSum(wide16, n, 1, across16 + kMargin, two16, four16);
    windowSum(across16, n, S, sum + 2 * down, two16, four16);
    for (int k = 0; k < rows; ++k) {
        const std::size_t at = std::size_t(k + kMargin) * S + kMargin;
        classifyRow(in + at, e + at, d + at, o + at, c + at, wideE + at, wideD + at, sum + at, width, threshold,
                    bits + std::size_t(k) * bitStride, flipped + std::size_t(k) * bitStride);
    }
}

// The rows [top, top + rows) of the columns [x0, x1) into bits, from their
// luma `in`, which starts kMargin rows above and kMargin columns left of
// them, in rows of S bytes.
template <bool Vector>
void classifyBlock(const LumaPlane& plane, const quint8* in, std::size_t S, int top, int rows, int x0, int x1,
                   BandPlanes& planes, int threshold, std::size_t bitStride, quint8* bits, quint8* flipped)
{
    quint8 *h = planes.plane(0), *two = planes.plane(1), *four = planes.plane(2);
    quint8 *e = planes.plane(3), *d = planes.plane(4);
    const int width = x1 - x0;
    const std::size_t n = std::size_t(rows + 2 * kMargin) * S;
    const std::size_t across = kReach, down = kReach * S;
#if defined(__SSE2__)
    if (Vector && S >= 16 + 2 * kReach) {
        erodeDilate(in, S, rows + 2 * kMargin, e, d);
    } else
#endif
    {
        window<Vector, Min>(in, n, 1, h + across, two, four);
        window<Vector, Min>(h, n, S, e + down, two, four);
        window<Vector, Max>(in, n, 1, h + across, two, four);
        window<Vector, Max>(h, n, S, d + down, two, four);
    }
    // The erosion and dilation are good from kReach rows and columns in;
    // like the luma, beyond the picture's edges they repeat their edge
    // pixels.
    const int first = kReach, end = rows + 2 * kMargin - kReach;
    const int topRow = kMargin - top, bottomRow = plane.height - 1 - top + kMargin;
    for (quint8* filtered : {e, d}) {
        for (int k = first; k < end; ++k) {
            quint8* centre = filtered + std::size_t(k) * S + kMargin;
            if (x0 == 0)
                std::memset(centre - kMargin, centre[0], kMargin);
            if (x1 == plane.width)
                std::memset(centre + width, centre[width - 1], kMargin);
        }
        for (int k = first; k < end; ++k)
            if (k < topRow || k > bottomRow)
                std::memcpy(filtered + std::size_t(k) * S, filtered + std::size_t(k < topRow ? topRow : bottomRow) * S, S);
    }
    const auto bitsAt = [&](int k) { return std::size_t(top + k) * bitStride + std::size_t(x0 / 8); };
    if constexpr (Vector) {
#if defined(__SSE2__)
        quint16* columns = planes.plane16(0);
        columnSums(in, S, rows, columns);
        for (int k = 0; k < rows; ++k) {
            const std::size_t at = std::size_t(k + kMargin) * S + kMargin;
            classifyRowVector(in + at, e + at, d + at, S, columns + std::size_t(k) * S, width, threshold,
                              bits + bitsAt(k), flipped + bitsAt(k));
        }
#endif
    } else {
        classifyBlockPlain(in, S, rows, width, planes, threshold, bitStride, bits + bitsAt(0), flipped + bitsAt(0));
    }
}


// The rows [first, last) of the picture into bits, a band at a time. At
// full speed, a band is cut into tiles of kTile columns: a tile whose luma,
// with kMargin pixels around it, spans less than kContrast holds no stroke
// and only splits (flat areas, gentle gradients); runs of the other tiles
// are filtered together.
template <bool Vector>
void classifyRows(LumaPlane& plane, int threshold, int first, int last, std::size_t bitStride, quint8* bits,
                  quint8* flipped, BandPlanes& planes)
{
    constexpr int kTile = 32;
    const std::size_t S = plane.stride;
    std::pmr::vector<quint8>& block = planes.block;
    std::vector<quint8> &lowest = planes.lowest, &highest = planes.highest;
    std::vector<bool>& flat = planes.flat;
    for (int top = first; top < last; top += kBand) {
        const int rows = std::min(kBand, last - top);
        const quint8* band = plane.bytes.data() + std::size_t(top) * S; // from kMargin rows above
        if constexpr (!Vector) {
            classifyBlock<Vector>(plane, band, S, top, rows, 0, plane.width, planes, threshold, bitStride, bits, flipped);
            continue;
        }
        std::memcpy(lowest.data(), band, S);
        std::memcpy(highest.data(), band, S);
        for (int k = 1; k < rows + 2 * kMargin; ++k)
            widen<Vector>(band + std::size_t(k) * S, lowest.data(), highest.data(), S);
        flat.assign(std::size_t((plane.width + kTile - 1) / kTile), false);
        for (std::size_t t = 0; t < flat.size(); ++t) {
            const std::size_t from = t * kTile, to = std::min<std::size_t>(from + kTile, std::size_t(plane.width)) + 2 * kMargin;
            const quint8 low = *std::min_element(lowest.begin() + std::ptrdiff_t(from), lowest.begin() + std::ptrdiff_t(to));
            const quint8 high = *std::max_element(highest.begin() + std::ptrdiff_t(from), highest.begin() + std::ptrdiff_t(to));
            flat[t] = high - low < Monochrome::kContrast;
        }
        for (std::size_t t = 0; t < flat.size();) {
            std::size_t next = t + 1;
            while (next < flat.size() && flat[next] == flat[t])
                ++next;
            const int x0 = int(t) * kTile, x1 = std::min(int(next) * kTile, plane.width);
            if (flat[t]) {
                for (int k = 0; k < rows; ++k)
                    splitRow<Vector>(plane.row(top + k) + x0, x1 - x0, threshold,
                                     bits + std::size_t(top + k) * bitStride + std::size_t(x0 / 8));
            } else if (x0 == 0 && x1 == plane.width) {
                classifyBlock<Vector>(plane, band, S, top, rows, x0, x1, planes, threshold, bitStride, bits, flipped);
            } else {
                const std::size_t T = std::size_t(x1 - x0 + 2 * kMargin);
                for (int k = 0; k < rows + 2 * kMargin; ++k)
                    std::memcpy(block.data() + std::size_t(k) * T, band + std::size_t(k) * S + std::size_t(x0), T);
                classifyBlock<Vector>(plane, block.data(), T, top, rows, x0, x1, planes, threshold, bitStride, bits, flipped);
            }
            t = next;
        }
    }
}

} // namespace

void classifyStrokes(LumaPlane& plane, int threshold, bool vector, std::size_t bitStride, quint8* bits,
                     quint8* flipped, ThreadPool& pool, std::pmr::memory_resource* memory)
{
    // Each thread's room, made on that thread.
    std::vector<std::unique_ptr<BandPlanes>> planes(static_cast<std::size_t>(pool.count()));
    pool.forEachChunk(plane.height, kBand, [&](int first, int last, int thread) {
        auto& mine = planes[std::size_t(thread)];
        if (!mine)
            mine = std::make_unique<BandPlanes>(plane.stride, vector ? 5 : 9, vector ? 1 : 5, memory);
        if (vector)
            classifyRows<true>(plane, threshold, first, last, bitStride, bits, flipped, *mine);
        else
            classifyRows<false>(plane, threshold, first, last, bitStride, bits, flipped, *mine);
    });
}

} // namespace palette::monochrome
