#pragma once

#include <QImage>
#include <QtGlobal>
#include <memory>

namespace palette {
class Workspace;
}

// Device-independent bitmaps: the records of the bitmap file format and the
// conversion of a picture to 1, 4 or 8 bits per pixel with a colour table.
namespace capture {

struct RGBQUAD {
    quint8 rgbBlue = 0;
    quint8 rgbGreen = 0;
    quint8 rgbRed = 0;
    quint8 rgbReserved = 0;
};

struct BITMAPINFOHEADER {
    qint32 biSize = 0;
    qint32 biWidth = 0;
    qint32 biHeight = 0;
    qint16 biPlanes = 0;
    qint16 biBitCount = 0;
    qint32 biCompression = 0;
    qint32 biSizeImage = 0;
    qint32 biXPelsPerMeter = 0;
    qint32 biYPelsPerMeter = 0;
    qint32 biClrUsed = 0;
    qint32 biClrImportant = 0;
};

constexpr qint32 kBitmapInfoHeaderSize = 40;
constexpr qint32 kRgbQuadSize = 4;
constexpr qint32 BI_RGB = 0;
constexpr quint32 DIB_RGB_COLORS = 0;

// A BITMAPINFO with a colour table of N entries.
template <int N>
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[N];

    static constexpr int kEntries = N;
    static constexpr qint32 kSize = kBitmapInfoHeaderSize + N * kRgbQuadSize;
};

// Row stride in bytes of a bitmap: whole 32-bit words per row.
qint64 dibStride(qint64 width, int bitsPerPixel);

// A picture as the lines of a bitmap of a header's width, height and depth
// (1, 4 or 8 bits, which the caller has checked): its colour table chosen
// once, its lines packed any number at a time, so that a writer needs memory
// for a block of lines only.
class DibLines {
public:
    DibLines(const QImage& bitmap, const BITMAPINFOHEADER& header, palette::Workspace& workspace);
    ~DibLines();

    // Fills the table of 2, 16 or 256 colours.
    void colours(RGBQUAD* colours) const;
    // Writes lines rows from startScan (0 is the bottom row), which the
    // header must hold, into bits, bottom row first.
    void pack(quint32 startScan, int lines, quint8* bits) const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Converts the picture to the depth of header.biBitCount (1, 4 or 8): writes
// scanLines rows starting at startScan (0 is the bottom row) into bits, at the
// header's width and stride, bottom row first, pixels packed from the most
// significant bits, padding zero; and fills the table of 2, 16 or 256 colours.
// A picture with at most that many colours is kept exactly; otherwise the
// table is chosen to minimise the squared error (black and white split by
// Otsu's threshold for 2 colours). Same picture, same bytes.
// Returns the number of rows written, 0 when the header cannot be served.
int GetDIBits(const QImage& bitmap, quint32 startScan, quint32 scanLines, void* bits,
              const BITMAPINFOHEADER& header, RGBQUAD* colours, quint32 usage = DIB_RGB_COLORS);

} // namespace capture
