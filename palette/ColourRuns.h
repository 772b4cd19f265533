#pragma once

#include "palette/ColourTable.h"
#include "palette/PixelRows.h"

#include <vector>

namespace palette {

// A picture's rows as runs of one colour, made while its colours are counted:
// each run is its colour's number in the table and the pixel it ends before.
// Screens are mostly long runs, so the picture is read once and packed from
// the runs. A picture with more runs than the limit, a photograph, is only
// counted.
class ColourRuns {
public:
    struct Run {
        quint32 number;
        quint32 end;
    };

    // Counts the colours of the first width x height pixels into the table,
    // one run at a time. False when the table filled up first.
    bool count(PixelRows& rows, int width, int height, ColourTable& table, std::size_t maxRuns);

    // Whether the runs of every row were kept.
    bool kept() const { return m_kept; }
    const Run* begin(int y) const { return m_runs.data() + m_rowStart[std::size_t(y)]; }
    const Run* end(int y) const { return m_runs.data() + m_rowStart[std::size_t(y) + 1]; }

private:
    void drop();

    std::vector<Run> m_runs;
    std::vector<std::size_t> m_rowStart;
    bool m_kept = false;
};

} // namespace palette
