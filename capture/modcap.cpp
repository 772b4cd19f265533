#include "capture/modcap.h"

#include "capture/BitmapFile.h"
#include "capture/Dib.h"
#include "host/Files.h"
#include "host/HostError.h"
#include "host/PictureBox.h"

#include <QDir>
#include <cmath>
#include <limits>
#include <cstdlib>
#include <memory>

using namespace host;

namespace modcap {
namespace {

constexpr qint64 kMaxRowWords = std::numeric_limits<qint16>::max() / 4; // 8191 words, 32764 bytes

qint32 toWholePixels(float value, const char* what)
{
    const double rounded = std::nearbyint(double(value)); // halves to even
    if (!(rounded >= std::numeric_limits<qint32>::min() && rounded <= std::numeric_limits<qint32>::max()))
        raiseOverflow(QStringLiteral("the picture's %1 of %2 pixels is out of range.").arg(what).arg(double(value)));
    return qint32(rounded);
}

int coloursFor(qint16 depthCode)
{
    int colours = depthCode;
    if (colours == 1)
        colours = 2;
    else if (colours == 4)
        colours = 16;
    else if (colours == 8)
        colours = 256;
    if (colours != 2 && colours != 16 && colours != 256)
        colours = 2;
    return colours;
}

template <int N>
void convertAndWrite(PictureBox& picture, AtomicFile& out, qint32 width, qint32 height, qint32 imageSize,
                     int bitsPerPixel)
{
    // Fresh zeroed pages: the buffer is zero-filled without a pass over it.
    const std::unique_ptr<quint8, decltype(&std::free)> pixels(
        static_cast<quint8*>(std::calloc(std::size_t(imageSize), 1)), &std::free);
    if (!pixels) {
        raiseError(ErrorKind::OutOfMemory,
                   QStringLiteral("Could not write %1: not enough memory for a bitmap of %2 bytes.")
                       .arg(QDir::toNativeSeparators(out.path()))
                       .arg(imageSize));
    }

    BITMAPINFO<N> info{};
    info.bmiHeader.biSize = kBitmapInfoHeaderSize;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = qint16(bitsPerPixel);
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = imageSize;
    info.bmiHeader.biClrUsed = 0;
    info.bmiHeader.biClrImportant = 0;

    // Nothing tests the result: rows the conversion could not fill stay zero.
    GetDIBits(picture.Image(), 0, quint32(height), pixels.get(), info.bmiHeader, info.bmiColors, DIB_RGB_COLORS);

    BITMAPFILEHEADER file{};
    file.bfType = kBitmapType;
    file.bfSize = quint32(kFileHeaderSize + BITMAPINFO<N>::kSize + imageSize);
    file.bfOffBits = quint32(kFileHeaderSize + BITMAPINFO<N>::kSize);

    out.write(serialise(file));
    out.write(serialise(info.bmiHeader, info.bmiColors, N));
    out.write(reinterpret_cast<const char*>(pixels.get()), imageSize);
}

} // namespace

void SaveBitmap(PictureBox& picture, const QString& FileName, qint16 DepthCode)
{
    AtomicFile out(FileName);
    SaveBitmap(picture, out, DepthCode);
    out.commit();
}

void SaveBitmap(PictureBox& picture, AtomicFile& out, qint16 DepthCode)
{
    picture.setScaleMode(ScaleMode::Pixels);

    const int colours = coloursFor(DepthCode);
    const int bitsPerPixel = colours == 2 ? 1 : (colours == 16 ? 4 : 8);

    const qint32 width = toWholePixels(picture.ScaleWidth(), "width");
    const qint64 words = (qint64(bitsPerPixel) * width + 31) / 32;
    if (words > kMaxRowWords)
        raiseOverflow(QStringLiteral("a row of %1 pixels at %2 bits per pixel needs %3 bytes; a bitmap row "
                                     "holds at most %4 bytes. Capture a narrower picture or choose fewer colours.")
                          .arg(width)
                          .arg(bitsPerPixel)
                          .arg(words * 4)
                          .arg(kMaxRowWords * 4));
    const qint32 height = toWholePixels(picture.ScaleHeight(), "height");
    const qint64 size = words * 4 * height;
    if (size > std::numeric_limits<qint32>::max())
        raiseOverflow(QStringLiteral("a bitmap of %1 x %2 pixels at %3 bits per pixel needs %4 bytes; a bitmap "
                                     "holds at most %5 bytes.")
                          .arg(width)
                          .arg(height)
                          .arg(bitsPerPixel)
                          .arg(size)
                          .arg(std::numeric_limits<qint32>::max()));
    if (width <= 0 || height <= 0)
        raiseError(ErrorKind::Picture, QStringLiteral("Could not write %1: the picture is empty (%2 x %3 pixels).")
                                           .arg(QDir::toNativeSeparators(out.path()))
                                           .arg(width)
                                           .arg(height));

    const qint32 imageSize = qint32(size);
    switch (colours) {
    case 16:
        convertAndWrite<16>(picture, out, width, height, imageSize, bitsPerPixel);
        break;
    case 256:
        convertAndWrite<256>(picture, out, width, height, imageSize, bitsPerPixel);
        break;
    default:
        convertAndWrite<2>(picture, out, width, height, imageSize, bitsPerPixel);
        break;
    }
}

} // namespace modcap
