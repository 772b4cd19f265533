#include "capture/BitmapFile.h"

#include <QtEndian>

namespace capture {
namespace {

template <class T>
void put(QByteArray& bytes, T value)
{
    char raw[sizeof(T)];
    qToLittleEndian(value, raw);
    bytes.append(raw, sizeof(T));
}

} // namespace

QByteArray serialise(const BITMAPFILEHEADER& header)
{
    QByteArray bytes;
    bytes.reserve(kFileHeaderSize);
    put(bytes, header.bfType);
    put(bytes, header.bfSize);
    put(bytes, header.bfReserved1);
    put(bytes, header.bfReserved2);
    put(bytes, header.bfOffBits);
    return bytes;
}

QByteArray serialise(const BITMAPINFOHEADER& header, const RGBQUAD* colours, int entries)
{
    QByteArray bytes;
    bytes.reserve(kBitmapInfoHeaderSize + entries * kRgbQuadSize);
    put(bytes, header.biSize);
    put(bytes, header.biWidth);
    put(bytes, header.biHeight);
    put(bytes, header.biPlanes);
    put(bytes, header.biBitCount);
    put(bytes, header.biCompression);
    put(bytes, header.biSizeImage);
    put(bytes, header.biXPelsPerMeter);
    put(bytes, header.biYPelsPerMeter);
    put(bytes, header.biClrUsed);
    put(bytes, header.biClrImportant);
    for (int i = 0; i < entries; ++i) {
        put(bytes, colours[i].rgbBlue);
        put(bytes, colours[i].rgbGreen);
        put(bytes, colours[i].rgbRed);
        put(bytes, colours[i].rgbReserved);
    }
    return bytes;
}

} // namespace capture
