#include "palette/NearestColour.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace palette {
namespace {

template <class Lanes>
Lanes lanes(float value)
{
    Lanes out{};
    for (int i = 0; i < 4; ++i)
        out[i] = value;
    return out;
}

PlainLanes operator+(PlainLanes a, PlainLanes b)
{
    for (int i = 0; i < 4; ++i)
        a[i] += b[i];
    return a;
}

PlainLanes operator-(PlainLanes a, PlainLanes b)
{
    for (int i = 0; i < 4; ++i)
        a[i] -= b[i];
    return a;
}

PlainLanes operator*(PlainLanes a, PlainLanes b)
{
    for (int i = 0; i < 4; ++i)
        a[i] *= b[i];
    return a;
}

PlainLanes larger(PlainLanes a, PlainLanes b)
{
    for (int i = 0; i < 4; ++i)
        a[i] = std::max(a[i], b[i]);
    return a;
}

PlainLanes smaller(PlainLanes a, PlainLanes b)
{
    for (int i = 0; i < 4; ++i)
        a[i] = std::min(a[i], b[i]);
    return a;
}

#if defined(__GNUC__)
VectorLanes larger(VectorLanes a, VectorLanes b)
{
    return a > b ? a : b;
}

VectorLanes smaller(VectorLanes a, VectorLanes b)
{
    return a < b ? a : b;
}
#endif

} // namespace

template <class Lanes>
void BasicNearestColour<Lanes>::Entries::assign(const std::vector<Rgb>& palette, const quint8* indices, std::size_t count)
{
    // Padding lies so far away that it is neither near a cell nor bounds one.
    constexpr float kFar = 1e4f;
    const std::size_t groups = (count + kLanes - 1) / kLanes;
    red.assign(groups, lanes<Lanes>(kFar));
    green.assign(groups, lanes<Lanes>(kFar));
    blue.assign(groups, lanes<Lanes>(kFar));
    index.assign(indices, indices + count);
    for (std::size_t i = 0; i < count; ++i) {
        const Rgb& entry = palette[indices[i]];
        red[i / kLanes][i % kLanes] = float(entry.r);
        green[i / kLanes][i % kLanes] = float(entry.g);
        blue[i / kLanes][i % kLanes] = float(entry.b);
    }
}

template <class Lanes>
BasicNearestColour<Lanes>::BasicNearestColour(std::vector<Rgb> palette)
    : m_palette(std::move(palette)), m_coarse(1 << (3 * (8 - kCoarseShift))), m_cells(1 << (3 * (8 - kCellShift)))
{
    std::vector<quint8> all(m_palette.size());
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = quint8(i);
    m_all.assign(m_palette, all.data(), all.size());
    m_near.resize(m_all.red.size() * kLanes);
}

template <class Lanes>
int BasicNearestColour<Lanes>::cellOf(const Rgb& colour, int shift)
{
    return ((colour.r >> shift) << (2 * (8 - shift))) | ((colour.g >> shift) << (8 - shift)) | (colour.b >> shift);
}

// Appends to the candidates the entries that can be nearest to some colour
// of the cell of 2^shift levels around a colour. No colour of the cell is
// farther from its nearest entry than the smallest "farthest distance" of
// any entry; only entries that come that close to the cell at all can be
// nearest. Leaving entries out of the set can only raise that bound, so a
// set that holds every entry that can be nearest anywhere in a larger cell
// around this one gives a list that still holds every nearest one.
template <class Lanes>
void BasicNearestColour<Lanes>::select(const Entries& from, const Rgb& colour, int shift)
{
    const int span = (1 << shift) - 1;
    const Rgb corner{colour.r & ~span, colour.g & ~span, colour.b & ~span};
    const Lanes loR = lanes<Lanes>(float(corner.r)), hiR = lanes<Lanes>(float(corner.r + span));
    const Lanes loG = lanes<Lanes>(float(corner.g)), hiG = lanes<Lanes>(float(corner.g + span));
    const Lanes loB = lanes<Lanes>(float(corner.b)), hiB = lanes<Lanes>(float(corner.b + span));
    const auto max = [](Lanes a, Lanes b) { return larger(a, b); };
    const auto square = [](Lanes a) { return a * a; };
    Lanes bounds = lanes<Lanes>(1e30f);
    for (std::size_t g = 0; g < from.red.size(); ++g) {
        const Lanes farthest = square(max(from.red[g] - loR, hiR - from.red[g]))
                               + square(max(from.green[g] - loG, hiG - from.green[g]))
                               + square(max(from.blue[g] - loB, hiB - from.blue[g]));
        bounds = smaller(farthest, bounds);
    }
    float bound = bounds[0];
    for (int lane = 1; lane < kLanes; ++lane)
        bound = std::min(bound, bounds[lane]);
    const Lanes zero{};
    for (std::size_t g = 0; g < from.red.size(); ++g) {
        const Lanes nearest = square(max(loR - from.red[g], zero) + max(from.red[g] - hiR, zero))
                              + square(max(loG - from.green[g], zero) + max(from.green[g] - hiG, zero))
                              + square(max(loB - from.blue[g], zero) + max(from.blue[g] - hiB, zero));
        for (int lane = 0; lane < kLanes; ++lane)
            m_near[g * kLanes + std::size_t(lane)] = nearest[lane];
    }
    const std::size_t first = m_candidates.size();
    m_candidates.resize(first + from.index.size());
    std::size_t count = 0;
    for (std::size_t i = 0; i < from.index.size(); ++i) {
        m_candidates[first + count] = from.index[i];
        count += m_near[i] <= bound;
    }
    m_candidates.resize(first + count);
}

template <class Lanes>
const typename BasicNearestColour<Lanes>::Cell& BasicNearestColour<Lanes>::cell(const Rgb& colour)
{
    Cell& cell = m_cells[std::size_t(cellOf(colour, kCellShift))];
    if (cell.count)
        return cell;
    Entries& coarse = m_coarse[std::size_t(cellOf(colour, kCoarseShift))];
    if (coarse.index.empty()) {
        const std::size_t first = m_candidates.size();
        select(m_all, colour, kCoarseShift);
        coarse.assign(m_palette, m_candidates.data() + first, m_candidates.size() - first);
        m_candidates.resize(first);
    }
    cell.first = quint32(m_candidates.size());
    select(coarse, colour, kCellShift);
    cell.count = quint32(m_candidates.size() - cell.first);
    // A few candidates are searched one by one at less cost.
    if (kGroups && cell.count > quint32(kLanes)) {
        // Padding lies so far away that it never wins, and its distances
        // still fit the lanes.
        constexpr qint16 kFar = 1000;
        cell.group = quint32(m_groups.size());
        for (quint32 i = 0; i < cell.count; i += kLanes) {
            Group group;
            for (quint32 lane = 0; lane < quint32(kLanes); ++lane) {
                const bool real = i + lane < cell.count;
                const quint8 index = real ? m_candidates[cell.first + i + lane] : 0;
                const Rgb& entry = m_palette[index];
                group.redGreen[2 * lane] = real ? qint16(entry.r) : kFar;
                group.redGreen[2 * lane + 1] = real ? qint16(entry.g) : kFar;
                group.blue[2 * lane] = real ? qint16(entry.b) : kFar;
                group.blue[2 * lane + 1] = 0;
                group.index[lane] = index;
            }
            m_groups.push_back(group);
        }
    }
    return cell;
}

template <class Lanes>
int BasicNearestColour<Lanes>::operator()(const Rgb& colour)
{
    const Cell& c = cell(colour);
    // The distance and the index in one number: the smallest is the nearest
    // entry, and the lowest index of equally near ones, found without a
    // branch that the processor would mispredict.
#if defined(__SSE2__)
    if (kGroups && c.count > quint32(kLanes)) {
        const __m128i redGreen = _mm_set1_epi32(colour.r | colour.g << 16), blue = _mm_set1_epi32(colour.b);
        __m128i best = _mm_set1_epi32(0x7FFFFFFF);
        const Group* group = m_groups.data() + c.group;
        for (quint32 i = 0; i < c.count; i += kLanes, ++group) {
            const __m128i dRedGreen = _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(group->redGreen)), redGreen);
            const __m128i dBlue = _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(group->blue)), blue);
            const __m128i distance = _mm_add_epi32(_mm_madd_epi16(dRedGreen, dRedGreen), _mm_madd_epi16(dBlue, dBlue));
            const __m128i key = _mm_or_si128(_mm_slli_epi32(distance, 8), _mm_loadu_si128(reinterpret_cast<const __m128i*>(group->index)));
            const __m128i less = _mm_cmplt_epi32(key, best);
            best = _mm_or_si128(_mm_and_si128(less, key), _mm_andnot_si128(less, best));
        }
        const auto smaller = [](__m128i a, __m128i b) {
            const __m128i less = _mm_cmplt_epi32(a, b);
            return _mm_or_si128(_mm_and_si128(less, a), _mm_andnot_si128(less, b));
        };
        best = smaller(best, _mm_shuffle_epi32(best, 0x4E));
        best = smaller(best, _mm_shuffle_epi32(best, 0xB1));
        return _mm_cvtsi128_si32(best) & 0xFF;
    }
#endif
    int best = distance2(colour, m_palette[m_candidates[c.first]]) << 8 | m_candidates[c.first];
    for (quint32 k = c.first + 1; k < c.first + c.count; ++k) {
        const int candidate = m_candidates[k];
        best = std::min(best, distance2(colour, m_palette[std::size_t(candidate)]) << 8 | candidate);
    }
    return best & 0xFF;
}

#if defined(__GNUC__)
template class BasicNearestColour<VectorLanes>;
#endif
template class BasicNearestColour<PlainLanes>;

} // namespace palette
