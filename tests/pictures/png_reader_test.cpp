#include "host/HostError.h"
#include "pictures/Picture.h"
#include "pictures/PngReader.h"
#include "tests/support/PngChunks.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QRandomGenerator>
#include <QtEndian>
#include <gtest/gtest.h>

using pictures::decodeCapturePng;
using testing_support::pngChunk;
using testing_support::pngCrc;

namespace {

// A PNG of 8-bit RGB or RGBA pixels whose row y is written with filter
// filterOf(y), encoded here so that every filter is met; Qt's reader is the
// judge of what it holds.
QByteArray encode(const QImage& picture, bool alpha, const std::function<int(int)>& filterOf)
{
    const int n = alpha ? 4 : 3, w = picture.width(), bytes = w * n;
    QByteArray raw, above(bytes, 0);
    for (int y = 0; y < picture.height(); ++y) {
        QByteArray row(bytes, 0);
        for (int x = 0; x < w; ++x) {
            const QRgb p = picture.pixel(x, y);
            const int channels[] = {qRed(p), qGreen(p), qBlue(p), qAlpha(p)};
            for (int k = 0; k < n; ++k)
                row[x * n + k] = char(channels[k]);
        }
        const int filter = filterOf(y);
        raw += char(filter);
        for (int i = 0; i < bytes; ++i) {
            const int a = i >= n ? quint8(row[i - n]) : 0, b = quint8(above[i]), c = i >= n ? quint8(above[i - n]) : 0;
            const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            const int predictors[] = {0, a, b, (a + b) / 2, pa <= pb && pa <= pc ? a : pb <= pc ? b : c};
            raw += char(quint8(row[i]) - (filter < 5 ? predictors[filter] : 0));
        }
        above = row;
    }
    QByteArray header(13, 0);
    qToBigEndian(quint32(w), header.data());
    qToBigEndian(quint32(picture.height()), header.data() + 4);
    header[8] = 8;
    header[9] = alpha ? 6 : 2;
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", qCompress(raw).mid(4))
           + pngChunk("IEND", {});
}

QImage byQt(const QByteArray& png)
{
    QImage image = QImage::fromData(png, "PNG").convertToFormat(QImage::Format_ARGB32);
    image.setColorSpace(QColorSpace());
    return image;
}

QImage noise(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    QRandomGenerator random(w * 1000 + h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, (x + y) % 3 ? random.generate() : qRgba(x * 9, y * 7, 200, 255 - x));
    return image;
}

TEST(PngReader, EveryFilterAndLayoutDecodesAsQtsReaderDoes)
{
    for (const bool alpha : {false, true})
        for (const int filter : {0, 1, 2, 3, 4, -1})
            for (const QSize size : {QSize(1, 1), QSize(3, 2), QSize(17, 9)}) {
                const QByteArray png = encode(noise(size.width(), size.height()), alpha,
                                              [filter](int y) { return filter < 0 ? y % 5 : filter; });
                const std::optional<QImage> ours = decodeCapturePng(png, "it");
                ASSERT_TRUE(ours) << alpha << " " << filter << " " << size.width();
                EXPECT_EQ(ours->convertToFormat(QImage::Format_ARGB32), byQt(png))
                    << alpha << " " << filter << " " << size.width();
            }
}

TEST(PngReader, LeavesOtherAndDamagedPicturesToQtsReader)
{
    const QByteArray good = encode(noise(9, 4), false, [](int y) { return y % 5; });
    const auto saved = [](QImage::Format format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        noise(9, 4).convertToFormat(format).save(&buffer, "PNG");
        return bytes;
    };
    QByteArray badCrc = good; // the picture data's checksum, just before IEND's length
    badCrc[good.indexOf("IEND") - 5] = char(badCrc[good.indexOf("IEND") - 5] ^ 1);
    // A colour key makes one colour transparent, which Qt's reader applies.
    QByteArray keyed = good;
    keyed.insert(33, pngChunk("tRNS", QByteArray(6, 0)));
    const QList<QByteArray> others = {keyed,
        saved(QImage::Format_Grayscale8), saved(QImage::Format_Indexed8), saved(QImage::Format_RGBA64),
        good.left(good.indexOf("IEND") - 4), badCrc,
        encode(noise(9, 3), false, [](int) { return 5; }), good.mid(1)};
    for (const QByteArray& png : others)
        EXPECT_FALSE(decodeCapturePng(png, "it")) << others.indexOf(png);
    EXPECT_TRUE(decodeCapturePng(saved(QImage::Format_RGB32), "it"));
    EXPECT_TRUE(decodeCapturePng(saved(QImage::Format_ARGB32), "it"));
}

TEST(PngReader, APictureOverTheLimitOrWithAnOverlongPartIsRefusedBeforeAnyMemoryIsTaken)
{
    QByteArray png = encode(noise(2, 2), false, [](int) { return 0; });
    qToBigEndian(quint32(100000), png.data() + 16);
    qToBigEndian(quint32(100000), png.data() + 20);
    const int at = png.indexOf("IHDR");
    qToBigEndian(pngCrc(png.mid(at, 17)), png.data() + at + 17);
    EXPECT_THROW(decodeCapturePng(png, "it"), host::HostError);
    // A part that claims gigabytes in a small file, in a PNG of any layout.
    QByteArray grey;
    QBuffer buffer(&grey);
    buffer.open(QIODevice::WriteOnly);
    noise(4, 4).convertToFormat(QImage::Format_Grayscale8).save(&buffer, "PNG");
    const QByteArray text = pngChunk("tEXt", "Comment\0x");
    QByteArray overlong = QByteArray(grey).insert(grey.indexOf("IEND") - 4, text);
    qToBigEndian(quint32(0x7A000000), overlong.data() + overlong.indexOf("tEXt") - 4);
    EXPECT_THROW(pictures::checkPngChunks(overlong, "it"), host::HostError);
    EXPECT_THROW(pictures::checkPngChunks(png.left(png.indexOf("IDAT") + 20), "it"), host::HostError);
    EXPECT_NO_THROW(pictures::checkPngChunks(grey, "it"));
}

// Damaged in the ways a reader that trusts the file would not survive:
// each is refused with a message, by the program's own reader and by Qt's.
TEST(PngReader, DamagedPicturesAreRefusedWithAMessage)
{
    const QByteArray good = encode(noise(5, 4), false, [](int) { return 0; });
    const qsizetype ihdr = good.indexOf("IHDR") - 4, idat = good.indexOf("IDAT") - 4, iend = good.indexOf("IEND") - 4;
    QByteArray huge = good; // a length read as negative, were it signed
    qToBigEndian(quint32(0x80000010), huge.data() + idat);
    QByteArray badHeader = good;
    badHeader[idat - 1] = char(badHeader[idat - 1] ^ 0x55);
    const QByteArray dataFirst = good.left(ihdr) + good.mid(idat, iend - idat) + good.mid(ihdr, idat - ihdr) + good.mid(iend);
    for (const QByteArray& png : {huge, badHeader, dataFirst}) {
        try {
            pictures::decodePicture(png, "png");
            ADD_FAILURE() << "read: " << png.toHex().toStdString();
        } catch (const host::HostError& error) {
            EXPECT_FALSE(error.description().isEmpty());
        }
    }
}

} // namespace
