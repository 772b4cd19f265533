#include "capture/Dib.h"

#include "palette/IndexedRows.h"
#include "palette/Workspace.h"

#include <algorithm>
#include <cstring>

namespace capture {

qint64 dibStride(qint64 width, int bitsPerPixel)
{
    return (width * bitsPerPixel + 31) / 32 * 4;
}

struct DibLines::State {
    State(const QImage& bitmap, const BITMAPINFOHEADER& header, palette::Workspace& workspace)
        : bpp(header.biBitCount), stride(dibStride(header.biWidth, bpp)), height(header.biHeight),
          width(std::min(header.biWidth, bitmap.width())), picturedRows(std::min(height, bitmap.height())),
          indexed(bitmap, width, picturedRows, 1 << bpp, workspace)
    {
    }

    // Only the part of the bitmap that the header covers is read.
    const int bpp;
    const qint64 stride;
    const int height, width, picturedRows;
    const palette::IndexedRows indexed;
};

DibLines::DibLines(const QImage& bitmap, const BITMAPINFOHEADER& header, palette::Workspace& workspace)
    : m_state(std::make_unique<State>(bitmap, header, workspace))
{
}

DibLines::~DibLines() = default;

void DibLines::colours(RGBQUAD* colours) const
{
    const State& p = *m_state;
    std::fill_n(colours, 1 << p.bpp, RGBQUAD{});
    for (std::size_t i = 0; i < p.indexed.palette().size(); ++i) {
        const palette::Rgb& c = p.indexed.palette()[i];
        colours[i] = {quint8(c.b), quint8(c.g), quint8(c.r), 0};
    }
}

void DibLines::pack(quint32 startScan, int lines, quint8* bits) const
{
    const State& p = *m_state;
    // Line 0 is the bottom row of the picture.
    const auto rowOf = [&](int y) { return bits + (qint64(p.height) - 1 - startScan - y) * p.stride; };
    const int top = p.height - int(startScan) - lines;
    const int bottom = p.height - int(startScan); // [top, bottom) from the top
    for (int y = std::max(top, p.picturedRows); y < bottom; ++y)
        std::memset(rowOf(y), 0, std::size_t(p.stride));
    // At 8 bits every pixel of a pictured row is stored; the rest is zero.
    const std::size_t stored = p.bpp == 8 ? std::size_t(p.width) : 0;
    p.indexed.pack(top, std::min(bottom, p.picturedRows), p.bpp, [&](int y) {
        quint8* row = rowOf(y);
        std::memset(row + stored, 0, std::size_t(p.stride) - stored);
        return row;
    });
}

int GetDIBits(const QImage& bitmap, quint32 startScan, quint32 scanLines, void* bits,
              const BITMAPINFOHEADER& header, RGBQUAD* colours, quint32 usage)
{
    const int bpp = header.biBitCount;
    if ((bpp != 1 && bpp != 4 && bpp != 8) || usage != DIB_RGB_COLORS || header.biWidth <= 0
        || header.biHeight <= 0 || bitmap.isNull() || !bits || !colours)
        return 0;
    if (qint64(startScan) >= header.biHeight)
        return 0;
    const int lines = int(std::min<qint64>(scanLines, header.biHeight - qint64(startScan)));
    palette::Workspace workspace;
    const DibLines dib(bitmap, header, workspace);
    dib.colours(colours);
    dib.pack(startScan, lines, static_cast<quint8*>(bits));
    return lines;
}

} // namespace capture
