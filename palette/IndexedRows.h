#pragma once

#include "palette/NearestColour.h"

#include <QImage>
#include <memory>
#include <vector>

namespace palette {

// A picture's pixels as indices into a palette of 2, 16 or 256 entries at
// most: the picture's own colours when it has no more, black and white that
// keeps text legible (Monochrome) for 2, and otherwise the colours that minimise the
// squared error. The same picture always gives the same result.
class IndexedRows {
public:
    // The first width x height pixels of the picture, which must outlive this.
    IndexedRows(const QImage& picture, int width, int height, int entries);
    ~IndexedRows();

    // Darkest first when they are the picture's own colours.
    const std::vector<Rgb>& palette() const;

    // Row y from the top, packed at 1, 4 or 8 bits per pixel from the most
    // significant bits. Below 8 bits the row must be zero before.
    void pack(int y, int bits, quint8* row);

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
    int m_width;
};

} // namespace palette
