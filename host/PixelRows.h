#pragma once

#include <QImage>
#include <vector>

namespace host {

// The rows of a picture as 0xRRGGBB words, alpha ignored: a capture is
// opaque. 32-bit pictures are read in place; other formats are converted a
// block of rows at a time, so no second copy of a large picture is made.
class PixelRows {
public:
    explicit PixelRows(const QImage& image);

    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }
    // Row y from the top; bits 24-31 may hold anything.
    const quint32* row(int y);

    static constexpr quint32 kRgbMask = 0x00FFFFFF;

private:
    const QImage& m_image;
    bool m_direct;
    QImage m_block;
    int m_blockTop = -1;
};

} // namespace host
