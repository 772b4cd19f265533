#include "host/NearestColour.h"

#include <algorithm>
#include <climits>

namespace host {
namespace {

// Squared distance from p to the nearest and to the farthest point of [lo, hi].
int nearestOnAxis(int p, int lo, int hi)
{
    const int d = p < lo ? lo - p : (p > hi ? p - hi : 0);
    return d * d;
}

int farthestOnAxis(int p, int lo, int hi)
{
    const int d = std::max(p - lo, hi - p);
    return d * d;
}

} // namespace

NearestColour::NearestColour(std::vector<Rgb> palette) : m_palette(std::move(palette)), m_cells(kCells)
{
}

const NearestColour::Cell& NearestColour::cell(int index, const Rgb& corner)
{
    Cell& cell = m_cells[index];
    if (cell.count)
        return cell;
    constexpr int span = (1 << kCellShift) - 1;
    const Rgb lo = corner;
    const Rgb hi{corner.r + span, corner.g + span, corner.b + span};
    // No colour of the cell is farther from its nearest entry than the
    // smallest "farthest distance" of any entry; only entries that come that
    // close to the cell at all can be nearest.
    int bound = INT_MAX;
    for (const Rgb& p : m_palette)
        bound = std::min(bound, farthestOnAxis(p.r, lo.r, hi.r) + farthestOnAxis(p.g, lo.g, hi.g)
                                    + farthestOnAxis(p.b, lo.b, hi.b));
    cell.first = quint32(m_candidates.size());
    for (std::size_t i = 0; i < m_palette.size(); ++i) {
        const Rgb& p = m_palette[i];
        if (nearestOnAxis(p.r, lo.r, hi.r) + nearestOnAxis(p.g, lo.g, hi.g) + nearestOnAxis(p.b, lo.b, hi.b) <= bound)
            m_candidates.push_back(quint8(i));
    }
    cell.count = quint32(m_candidates.size()) - cell.first;
    return cell;
}

int NearestColour::operator()(const Rgb& colour)
{
    const int index = ((colour.r >> kCellShift) << (2 * (8 - kCellShift)))
                      | ((colour.g >> kCellShift) << (8 - kCellShift)) | (colour.b >> kCellShift);
    const Rgb corner{colour.r & ~((1 << kCellShift) - 1), colour.g & ~((1 << kCellShift) - 1),
                     colour.b & ~((1 << kCellShift) - 1)};
    const Cell& c = cell(index, corner);
    int best = m_candidates[c.first];
    int bestDistance = distance2(colour, m_palette[best]);
    for (quint32 k = c.first + 1; k < c.first + c.count; ++k) {
        const int candidate = m_candidates[k];
        const int d = distance2(colour, m_palette[candidate]);
        if (d < bestDistance) {
            best = candidate;
            bestDistance = d;
        }
    }
    return best;
}

} // namespace host
