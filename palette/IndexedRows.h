#pragma once

#include "palette/NearestColour.h"
#include "palette/Parallel.h"
#include "palette/Workspace.h"

#include <QImage>
#include <functional>
#include <memory>
#include <vector>

namespace palette {

// A picture's pixels as indices into a palette of 2, 16 or 256 entries at
// most: the picture's own colours when it has no more, black and white that
// keeps text legible (Monochrome) for 2, and otherwise the colours that
// minimise the squared error, each pixel taking its nearest. The same
// picture always gives the same result, on any number of threads.
class IndexedRows {
public:
    // The first width x height pixels of the picture, which must outlive
    // this, as must the workspace it is converted in, on its threads.
    IndexedRows(const QImage& picture, int width, int height, int entries, Workspace& workspace);
    ~IndexedRows();

    // Darkest first when they are the picture's own colours.
    const std::vector<Rgb>& palette() const;

    // Packs the rows [first, last) from the top at 1, 4 or 8 bits per pixel,
    // from the most significant bits, each into rowOf(y), which must give a
    // zeroed row below 8 bits. rowOf is called on several threads at once,
    // for different rows.
    void pack(int first, int last, int bits, const std::function<quint8*(int y)>& rowOf) const;

private:
    struct Conversion;
    std::unique_ptr<Conversion> m_conversion;
};

} // namespace palette
