#include "palette/NearestColour.h"

#include <algorithm>

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
BasicNearestColour<Lanes>::BasicNearestColour(std::vector<Rgb> palette) : m_palette(std::move(palette)), m_cells(kCells)
{
    // Padding lies so far away that it is neither near a cell nor bounds one.
    constexpr float kFar = 1e4f;
    const std::size_t groups = (m_palette.size() + kLanes - 1) / kLanes;
    m_red.assign(groups, lanes<Lanes>(kFar));
    m_green.assign(groups, lanes<Lanes>(kFar));
    m_blue.assign(groups, lanes<Lanes>(kFar));
    for (std::size_t i = 0; i < m_palette.size(); ++i) {
        m_red[i / kLanes][i % kLanes] = float(m_palette[i].r);
        m_green[i / kLanes][i % kLanes] = float(m_palette[i].g);
        m_blue[i / kLanes][i % kLanes] = float(m_palette[i].b);
    }
    m_near.resize(groups * kLanes);
}

template <class Lanes>
const typename BasicNearestColour<Lanes>::Cell& BasicNearestColour<Lanes>::cell(int index, const Rgb& corner)
{
    Cell& cell = m_cells[index];
    if (cell.count)
        return cell;
    constexpr int span = (1 << kCellShift) - 1;
    const Lanes loR = lanes<Lanes>(float(corner.r)), hiR = lanes<Lanes>(float(corner.r + span));
    const Lanes loG = lanes<Lanes>(float(corner.g)), hiG = lanes<Lanes>(float(corner.g + span));
    const Lanes loB = lanes<Lanes>(float(corner.b)), hiB = lanes<Lanes>(float(corner.b + span));
    const auto max = [](Lanes a, Lanes b) { return larger(a, b); };
    const auto square = [](Lanes a) { return a * a; };
    // No colour of the cell is farther from its nearest entry than the
    // smallest "farthest distance" of any entry; only entries that come that
    // close to the cell at all can be nearest.
    Lanes bounds = lanes<Lanes>(1e30f);
    for (std::size_t g = 0; g < m_red.size(); ++g) {
        const Lanes farthest = square(max(m_red[g] - loR, hiR - m_red[g])) + square(max(m_green[g] - loG, hiG - m_green[g]))
                               + square(max(m_blue[g] - loB, hiB - m_blue[g]));
        bounds = smaller(farthest, bounds);
    }
    float bound = bounds[0];
    for (int lane = 1; lane < kLanes; ++lane)
        bound = std::min(bound, bounds[lane]);
    const Lanes zero{};
    for (std::size_t g = 0; g < m_red.size(); ++g) {
        const Lanes nearest = square(max(loR - m_red[g], zero) + max(m_red[g] - hiR, zero))
                              + square(max(loG - m_green[g], zero) + max(m_green[g] - hiG, zero))
                              + square(max(loB - m_blue[g], zero) + max(m_blue[g] - hiB, zero));
        for (int lane = 0; lane < kLanes; ++lane)
            m_near[g * kLanes + std::size_t(lane)] = nearest[lane];
    }
    cell.first = quint32(m_candidates.size());
    m_candidates.resize(m_candidates.size() + m_palette.size());
    quint32 count = 0;
    for (std::size_t i = 0; i < m_palette.size(); ++i) {
        m_candidates[cell.first + count] = quint8(i);
        count += m_near[i] <= bound;
    }
    m_candidates.resize(cell.first + count);
    cell.count = count;
    return cell;
}

template <class Lanes>
int BasicNearestColour<Lanes>::operator()(const Rgb& colour)
{
    const int index = ((colour.r >> kCellShift) << (2 * (8 - kCellShift)))
                      | ((colour.g >> kCellShift) << (8 - kCellShift)) | (colour.b >> kCellShift);
    const Rgb corner{colour.r & ~((1 << kCellShift) - 1), colour.g & ~((1 << kCellShift) - 1),
                     colour.b & ~((1 << kCellShift) - 1)};
    const Cell& c = cell(index, corner);
    // The distance and the index in one number: the smallest is the nearest
    // entry, and the lowest index of equally near ones, found without a
    // branch that the processor would mispredict.
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
