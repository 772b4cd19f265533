// A small picture made from the input goes through the bitmap writer and
// comes back from Qt's BMP reader: the same size always, and the same pixels
// whenever it has no more colours than the file's table holds.
#include "capture/modcap.h"
#include "forms/PictureBox.h"
#include "fuzz/FuzzSupport.h"

#include <QDir>
#include <QImageReader>
#include <QSet>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzing::setUpOnce();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    static QTemporaryDir folder;
    static QWidget window;
    static forms::PictureBox box(&window, "Picture1", {0, 0, 100, 100}, true);
    const int width = 1 + data[0] % 48;
    const int height = 1 + data[1] % 24;
    const qint16 depthCodes[] = {1, 2, 4, 8, 16, 256, 0, 24};
    const qint16 depth = depthCodes[data[2] % 8];
    const int tableSize = depth == 4 || depth == 16 ? 16 : (depth == 8 || depth == 256 ? 256 : 2);
    // Colours from a small palette of the input's choosing, so that pictures
    // with few colours are common.
    const int colours = 1 + data[3] % 300;
    QImage picture(width, height, QImage::Format_RGB32);
    std::size_t at = 4;
    auto next = [&] { return at < size ? data[at++] : uint8_t(at++ * 37); };
    QList<QRgb> palette;
    for (int i = 0; i < std::min(colours, 64); ++i)
        palette << qRgb(next(), next(), next());
    QSet<QRgb> used;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const QRgb colour = colours > 64 ? qRgb(next(), next(), next()) : palette[next() % palette.size()];
            picture.setPixel(x, y, colour);
            used.insert(colour);
        }
    box.setPicture(picture);
    const QString path = QDir(folder.path()).filePath("roundtrip.bmp");
    capture::SaveBitmap(box, path, depth);
    const QImage back = QImageReader(path, "bmp").read().convertToFormat(QImage::Format_RGB32);
    if (back.size() != picture.size())
        fuzzing::propertyBroken();
    if (used.size() <= tableSize && back != picture)
        fuzzing::propertyBroken();
    return 0;
}
