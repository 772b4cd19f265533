#include "capture/Dib.h"

#include "palette/IndexedRows.h"

#include <algorithm>
#include <cstring>

namespace modcap {

qint64 dibStride(qint64 width, int bitsPerPixel)
{
    return (width * bitsPerPixel + 31) / 32 * 4;
}

int GetDIBits(const QImage& bitmap, quint32 startScan, quint32 scanLines, void* bits,
              const BITMAPINFOHEADER& header, RGBQUAD* colours, quint32 usage)
{
    const int bpp = header.biBitCount;
    if ((bpp != 1 && bpp != 4 && bpp != 8) || usage != DIB_RGB_COLORS || header.biWidth <= 0
        || header.biHeight <= 0 || bitmap.isNull() || !bits || !colours)
        return 0;
    const int entries = 1 << bpp;
    const qint64 stride = dibStride(header.biWidth, bpp);
    const int height = header.biHeight;
    if (qint64(startScan) >= height)
        return 0;
    const int lines = int(std::min<qint64>(scanLines, height - qint64(startScan)));
    // Only the part of the bitmap that the header covers is read.
    const int width = std::min(header.biWidth, bitmap.width());
    const int picturedRows = std::min(height, bitmap.height());

    palette::IndexedRows indexed(bitmap, width, picturedRows, entries);
    std::fill_n(colours, entries, RGBQUAD{});
    for (std::size_t i = 0; i < indexed.palette().size(); ++i) {
        const palette::Rgb& c = indexed.palette()[i];
        colours[i] = {quint8(c.b), quint8(c.g), quint8(c.r), 0};
    }

    // Line 0 is the bottom row of the picture.
    auto* out = static_cast<quint8*>(bits);
    const auto rowOf = [&](int y) { return out + (qint64(height) - 1 - startScan - y) * stride; };
    const int top = height - int(startScan) - lines;
    const int bottom = height - int(startScan); // [top, bottom) from the top
    for (int y = std::max(top, picturedRows); y < bottom; ++y)
        std::memset(rowOf(y), 0, std::size_t(stride));
    // At 8 bits every pixel of a pictured row is stored; the rest is zero.
    const std::size_t stored = bpp == 8 ? std::size_t(width) : 0;
    indexed.pack(top, std::min(bottom, picturedRows), bpp, [&](int y) {
        quint8* row = rowOf(y);
        std::memset(row + stored, 0, std::size_t(stride) - stored);
        return row;
    });
    return lines;
}

} // namespace modcap
