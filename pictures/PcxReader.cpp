#include "pictures/PcxReader.h"

#include "host/HostError.h"
#include "pictures/Picture.h"

#include <QCoreApplication>
#include <QtEndian>
#include <vector>

namespace pictures {
namespace {

constexpr int kHeaderSize = 128;
constexpr int kTrailingPaletteSize = 769; // the 0x0C marker and 256 RGB triples
// One run of two bytes gives at most 63 bytes.
constexpr qint64 kMaxExpansion = 32;

struct Header {
    int version, encoding, bitsPerPixel, planes, bytesPerLine;
    int width, height;
    const uchar* palette16;
};

[[noreturn]] void malformed(const QString& reason)
{
    host::raiseError(host::ErrorKind::Picture, QCoreApplication::translate("host", "not a readable PCX picture: %1").arg(reason));
}

quint16 word(const QByteArray& data, int offset)
{
    return qFromLittleEndian<quint16>(data.constData() + offset);
}

Header readHeader(const QByteArray& data)
{
    if (data.size() < kHeaderSize)
        malformed(QCoreApplication::translate("host", "the file is shorter than a PCX header."));
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    Header h{};
    h.version = bytes[1];
    h.encoding = bytes[2];
    h.bitsPerPixel = bytes[3];
    h.planes = bytes[65];
    h.bytesPerLine = word(data, 66);
    h.palette16 = bytes + 16;
    const int xmin = word(data, 4), ymin = word(data, 6), xmax = word(data, 8), ymax = word(data, 10);
    if (bytes[0] != 0x0A || h.encoding > 1)
        malformed(QCoreApplication::translate("host", "the header is not a PCX header."));
    if (xmax < xmin || ymax < ymin)
        malformed(QCoreApplication::translate("host", "the picture's bounds are inverted."));
    h.width = xmax - xmin + 1;
    h.height = ymax - ymin + 1;
    const bool packed = h.planes == 1 && (h.bitsPerPixel == 1 || h.bitsPerPixel == 2 || h.bitsPerPixel == 4
                                          || h.bitsPerPixel == 8);
    const bool planar = h.bitsPerPixel == 1 && h.planes >= 2 && h.planes <= 4;
    const bool colour = h.bitsPerPixel == 8 && (h.planes == 3 || h.planes == 4);
    if (!packed && !planar && !colour)
        malformed(QCoreApplication::translate("host", "%1 bits per pixel in %2 planes is not a PCX layout this program reads.")
                      .arg(h.bitsPerPixel)
                      .arg(h.planes));
    if (qint64(h.bytesPerLine) * 8 < qint64(h.width) * h.bitsPerPixel)
        malformed(QCoreApplication::translate("host", "its rows are shorter than the picture is wide."));
    return h;
}

// Expands the run-length encoded (or plain) rows into exactly `size` bytes.
std::vector<uchar> decodeRows(const QByteArray& data, qint64 end, const Header& h, qint64 size)
{
    const auto* in = reinterpret_cast<const uchar*>(data.constData());
    qint64 pos = kHeaderSize;
    if (h.encoding == 0) {
        if (end - pos < size)
            malformed(QCoreApplication::translate("host", "the file is truncated."));
        return std::vector<uchar>(in + pos, in + pos + size);
    }
    std::vector<uchar> out;
    out.reserve(std::size_t(size));
    while (qint64(out.size()) < size) {
        if (pos >= end)
            malformed(QCoreApplication::translate("host", "the file is truncated."));
        uchar value = in[pos++];
        qint64 count = 1;
        if ((value & 0xC0) == 0xC0) {
            count = value & 0x3F;
            if (pos >= end)
                malformed(QCoreApplication::translate("host", "the file is truncated."));
            value = in[pos++];
        }
        count = std::min(count, size - qint64(out.size()));
        out.insert(out.end(), std::size_t(count), value);
    }
    return out;
}

QRgb headerColour(const Header& h, int index)
{
    const uchar* p = h.palette16 + 3 * index;
    return qRgb(p[0], p[1], p[2]);
}

} // namespace

bool looksLikePcx(const QByteArray& data)
{
    if (data.size() < kHeaderSize)
        return false;
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    return bytes[0] == 0x0A && (bytes[1] == 0 || (bytes[1] >= 2 && bytes[1] <= 5)) && bytes[2] <= 1
           && (bytes[3] == 1 || bytes[3] == 2 || bytes[3] == 4 || bytes[3] == 8) && bytes[64] == 0;
}

QImage decodePcx(const QByteArray& data)
{
    const Header h = readHeader(data);
    qint64 end = data.size();
    std::vector<QRgb> palette;
    if (h.bitsPerPixel == 8 && h.planes == 1) {
        if (data.size() < kHeaderSize + kTrailingPaletteSize || uchar(data[data.size() - kTrailingPaletteSize]) != 0x0C)
            malformed(QCoreApplication::translate("host", "its 256-colour palette is missing."));
        end -= kTrailingPaletteSize;
        const auto* p = reinterpret_cast<const uchar*>(data.constData()) + end + 1;
        for (int i = 0; i < 256; ++i)
            palette.push_back(qRgb(p[3 * i], p[3 * i + 1], p[3 * i + 2]));
    } else if (h.bitsPerPixel * h.planes <= 4) {
        for (int i = 0; i < (1 << (h.bitsPerPixel * h.planes)); ++i)
            palette.push_back(headerColour(h, i));
        // A two-colour picture with no palette of its own is black and white.
        if (palette.size() == 2 && palette[0] == palette[1])
            palette = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    }

    const qint64 lineBytes = qint64(h.bytesPerLine) * h.planes;
    const qint64 rowsBytes = lineBytes * h.height;
    checkPictureSize(QSize(h.width, h.height), QCoreApplication::translate("host", "it"));
    // The data cannot hold more rows than its runs can expand to.
    const qint64 available = end - kHeaderSize;
    if (rowsBytes > (h.encoding ? available * kMaxExpansion : available))
        malformed(QCoreApplication::translate("host", "the file is truncated."));
    const std::vector<uchar> rows = decodeRows(data, end, h, rowsBytes);

    QImage image(h.width, h.height, QImage::Format_RGB32);
    if (image.isNull())
        host::raiseError(host::ErrorKind::OutOfMemory, QCoreApplication::translate("host", "Not enough memory for a picture of %1 x %2 pixels.")
                                                .arg(h.width)
                                                .arg(h.height));
    for (int y = 0; y < h.height; ++y) {
        const uchar* line = rows.data() + y * lineBytes;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < h.width; ++x) {
            if (h.bitsPerPixel == 8 && h.planes >= 3) {
                out[x] = qRgb(line[x], line[h.bytesPerLine + x], line[2 * h.bytesPerLine + x]);
                continue;
            }
            int index = 0;
            if (h.planes == 1) {
                const int bit = x * h.bitsPerPixel;
                index = (line[bit / 8] >> (8 - h.bitsPerPixel - bit % 8)) & ((1 << h.bitsPerPixel) - 1);
            } else {
                for (int plane = 0; plane < h.planes; ++plane)
                    index |= ((line[plane * h.bytesPerLine + x / 8] >> (7 - x % 8)) & 1) << plane;
            }
            out[x] = palette[std::size_t(index)];
        }
    }
    return image;
}

} // namespace pictures
