#include "capture/modcap.h"

#include "capture/BitmapFile.h"
#include "capture/Dib.h"
#include "forms/PictureBox.h"
#include "host/Files.h"
#include "host/HostError.h"
#include "palette/Workspace.h"
#include "pictures/Picture.h"

#include <QCoreApplication>
#include <QDir>
#include <algorithm>
#include <cmath>
#include <limits>
#include <cstdlib>
#include <memory>

using namespace host;

namespace capture {
namespace {

constexpr qint64 kMaxStride = std::numeric_limits<qint16>::max() / 4 * 4; // 8191 words, 32764 bytes

// The size of a bitmap in the file, checked against what the format holds.
struct Geometry {
    qint32 width;
    qint32 height;
    qint32 imageSize;
};

Geometry geometry(qint32 width, qint32 height, int bitsPerPixel, const QString& fileName)
{
    const qint64 stride = dibStride(width, bitsPerPixel);
    if (stride > kMaxStride)
        raiseOverflow(QCoreApplication::translate("capture", "a row of %1 pixels at %2 bits per pixel needs %3 bytes; a bitmap row "
                                     "holds at most %4 bytes. Capture a narrower picture or choose fewer colours.")
                          .arg(width)
                          .arg(bitsPerPixel)
                          .arg(stride)
                          .arg(kMaxStride));
    const qint64 size = stride * height;
    if (size > std::numeric_limits<qint32>::max())
        raiseOverflow(QCoreApplication::translate("capture", "a bitmap of %1 x %2 pixels at %3 bits per pixel needs %4 bytes; a bitmap "
                                     "holds at most %5 bytes.")
                          .arg(width)
                          .arg(height)
                          .arg(bitsPerPixel)
                          .arg(size)
                          .arg(std::numeric_limits<qint32>::max()));
    if (width <= 0 || height <= 0)
        raiseError(ErrorKind::Picture, QCoreApplication::translate("capture", "Could not write %1: the picture is empty (%2 x %3 pixels).")
                                           .arg(QDir::toNativeSeparators(fileName))
                                           .arg(width)
                                           .arg(height));
    return {width, height, qint32(size)};
}

qint32 toWholePixels(float value, const char* what)
{
    const double rounded = std::nearbyint(double(value)); // halves to even
    if (!(rounded >= std::numeric_limits<qint32>::min() && rounded <= std::numeric_limits<qint32>::max()))
        raiseOverflow(QCoreApplication::translate("capture", "the picture's %1 of %2 pixels is out of range.").arg(what).arg(double(value)));
    return qint32(rounded);
}

// The bytes of lines packed and written at a time, so that the file's
// pixels are never all in memory at once.
constexpr qint64 kBlockBytes = 1 << 20;

template <int N>
void convertAndWrite(const QImage& picture, AtomicFile& out, palette::Workspace& workspace)
{
    constexpr int bitsPerPixel = N == 2 ? 1 : N == 16 ? 4 : 8;
    const Geometry g = geometry(picture.width(), picture.height(), bitsPerPixel, out.path());
    const qint64 stride = dibStride(g.width, bitsPerPixel);
    const int blockLines = int(std::clamp<qint64>(kBlockBytes / stride, 1, g.height));
    const palette::RawArray<quint8> block = [&] {
        try {
            return palette::RawArray<quint8>(workspace.memory(), std::size_t(stride * blockLines));
        } catch (const std::bad_alloc&) {
            raiseError(ErrorKind::OutOfMemory,
                       QCoreApplication::translate("capture", "Could not write %1: not enough memory for a bitmap of %2 bytes.")
                           .arg(QDir::toNativeSeparators(out.path()))
                           .arg(g.imageSize));
        }
    }();

    BITMAPINFO<N> info{};
    info.bmiHeader.biSize = kBitmapInfoHeaderSize;
    info.bmiHeader.biWidth = g.width;
    info.bmiHeader.biHeight = g.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = qint16(bitsPerPixel);
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = g.imageSize;
    info.bmiHeader.biClrUsed = 0;
    info.bmiHeader.biClrImportant = 0;

    const DibLines lines(picture, info.bmiHeader, workspace);
    lines.colours(info.bmiColors);

    BITMAPFILEHEADER file{};
    file.bfType = kBitmapType;
    file.bfSize = quint32(kFileHeaderSize + BITMAPINFO<N>::kSize + g.imageSize);
    file.bfOffBits = quint32(kFileHeaderSize + BITMAPINFO<N>::kSize);

    out.expectSize(file.bfSize);
    out.write(serialise(file));
    out.write(serialise(info.bmiHeader, info.bmiColors, N));
    for (int first = 0; first < g.height; first += blockLines) {
        const int count = std::min(blockLines, g.height - first);
        lines.pack(quint32(first), count, block.get());
        out.write(reinterpret_cast<const char*>(block.get()), stride * count);
    }
}

} // namespace

void WriteBitmap(const QImage& picture, capture::Depth depth, AtomicFile& out, palette::Workspace& workspace)
{
    switch (depth) {
    case capture::Depth::Mono:
        convertAndWrite<2>(picture, out, workspace);
        return;
    case capture::Depth::Colours16:
        convertAndWrite<16>(picture, out, workspace);
        return;
    case capture::Depth::Colours256:
        convertAndWrite<256>(picture, out, workspace);
        return;
    case capture::Depth::Display:
        pictures::SavePicture(picture, out);
        return;
    }
    raiseError(ErrorKind::InvalidPropertyValue,
               QCoreApplication::translate("capture", "Could not write %1: no such colour depth (%2).")
                   .arg(QDir::toNativeSeparators(out.path()))
                   .arg(int(depth)));
}

void SaveBitmap(forms::PictureBox& picture, const QString& FileName, qint16 DepthCode)
{
    AtomicFile out(FileName);
    palette::Workspace workspace;
    SaveBitmap(picture, out, DepthCode, workspace);
    out.commit();
}

void SaveBitmap(forms::PictureBox& picture, AtomicFile& out, qint16 DepthCode, palette::Workspace& workspace)
{
    picture.setScaleMode(forms::ScaleMode::Pixels);
    const capture::Depth depth = capture::depthOfCode(DepthCode);
    // The box's inner size in pixels is the bitmap's: one the format cannot
    // hold is refused before the box's image is made.
    geometry(toWholePixels(picture.ScaleWidth(), "width"), toWholePixels(picture.ScaleHeight(), "height"),
             capture::bitsPerPixelOf(depth), out.path());
    WriteBitmap(picture.Image(), depth, out, workspace);
}

} // namespace capture
