#include "palette/ColourRuns.h"

#include <algorithm>

namespace palette {

bool ColourRuns::count(PixelRows& rows, int width, int height, ColourTable& table, std::size_t maxRuns)
{
    drop();
    m_kept = true;
    // Reserved, not touched: only the pages the runs fill are used.
    m_runs.reserve(std::min(maxRuns, std::size_t(width) * std::size_t(height)));
    m_rowStart.reserve(std::size_t(height) + 1);
    for (int y = 0; y < height; ++y) {
        if (m_kept)
            m_rowStart.push_back(m_runs.size());
        const bool counted = forEachRun(rows.row(y), width, [&](quint32 rgb, int x, int end) {
            const quint32 number = table.add(rgb, quint32(end - x));
            if (number == ColourTable::kFull)
                return false;
            if (m_kept) {
                if (m_runs.size() == maxRuns)
                    drop();
                else
                    m_runs.push_back({number, quint32(end)});
            }
            return true;
        });
        if (!counted) {
            drop();
            return false;
        }
    }
    if (m_kept)
        m_rowStart.push_back(m_runs.size());
    return true;
}

void ColourRuns::drop()
{
    m_kept = false;
    m_runs = {};
    m_rowStart = {};
}

} // namespace palette
