#pragma once

#include "capture/Dib.h"

#include <QByteArray>

// The records of a bitmap file, laid out byte by byte as the file holds them:
// little-endian fields one after another, no alignment gaps.
namespace capture {

struct BITMAPFILEHEADER {
    quint16 bfType = 0;
    quint32 bfSize = 0;
    quint16 bfReserved1 = 0;
    quint16 bfReserved2 = 0;
    quint32 bfOffBits = 0;
};

constexpr int kFileHeaderSize = 14;
constexpr quint16 kBitmapType = 0x4D42; // "BM"

QByteArray serialise(const BITMAPFILEHEADER& header);

// The info header followed by the colour table of N entries.
QByteArray serialise(const BITMAPINFOHEADER& header, const RGBQUAD* colours, int entries);

} // namespace capture
