#pragma once

#include "palette/IndexTable.h"

#include <QImage>
#include <functional>
#include <vector>

// The last stage of a conversion to a palette: rows of indices, packed.
namespace palette {

// Packs the rows [first, last) of the first width pixels of the picture
// from the top at 1, 4 or 8 bits per pixel, from the most significant bits,
// each into rowOf(y), which must give a zeroed row below 8 bits: a row of
// long runs (longRuns, by row) a run at a time, others pixel by pixel. With
// bitCountInstruction, a look-up by rank uses the processor's instruction.
void packRows(const QImage& picture, int width, int first, int last, int bits, const IndexTable& indices,
              const std::vector<quint8>& longRuns, bool bitCountInstruction,
              const std::function<quint8*(int y)>& rowOf);

} // namespace palette
