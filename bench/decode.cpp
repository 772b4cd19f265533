// PNG decode of captures, median of repeated runs in milliseconds: Qt's
// reader, libspng, and ours (libdeflate's inflate), which the clipboard and
// "View a File" use for the PNG pictures it takes.
//   bench_decode PICTURE.png... [--runs N]
#include "pictures/PngReader.h"

#include <QBuffer>
#include <QColorSpace>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <spng.h>
#include <vector>

namespace {

double medianMs(int runs, const std::function<QImage()>& decode)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QImage image = decode();
        times.push_back(timer.nsecsElapsed() / 1e6);
        if (image.isNull()) {
            std::fprintf(stderr, "decode failed\n");
            std::exit(1);
        }
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

QImage decodeWithQt(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer);
    reader.setAllocationLimit(0);
    return reader.read();
}

QImage decodeWithSpng(const QByteArray& bytes)
{
    spng_ctx* context = spng_ctx_new(0);
    spng_set_png_buffer(context, bytes.constData(), std::size_t(bytes.size()));
    spng_ihdr header{};
    std::size_t size = 0;
    QImage image;
    if (spng_get_ihdr(context, &header) == 0 && spng_decoded_image_size(context, SPNG_FMT_RGBA8, &size) == 0) {
        image = QImage(int(header.width), int(header.height), QImage::Format_RGBA8888);
        if (spng_decode_image(context, image.bits(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0)
            image = QImage();
    }
    spng_ctx_free(context);
    return image;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QStringList pictures = application.arguments().mid(1);
    int runs = 7;
    if (const qsizetype at = pictures.indexOf("--runs"); at >= 0 && at + 1 < pictures.size()) {
        runs = pictures[at + 1].toInt();
        pictures.remove(at, 2);
    }
    std::printf("%-40s %6s %8s %8s %8s\n", "picture", "MB", "qt_ms", "spng_ms", "ours_ms");
    for (const QString& path : pictures) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
            return 1;
        }
        const QByteArray bytes = file.readAll();
        QImage qt = decodeWithQt(bytes).convertToFormat(QImage::Format_RGBA8888);
        qt.setColorSpace(QColorSpace());
        const auto ours = [&] { return pictures::decodeCapturePng(bytes, path).value_or(QImage()); };
        const QImage mine = ours();
        if (qt != decodeWithSpng(bytes) || (!mine.isNull() && qt != mine.convertToFormat(QImage::Format_RGBA8888))) {
            std::fprintf(stderr, "%s: the decoders disagree\n", qPrintable(path));
            return 1;
        }
        const double qtMs = medianMs(runs, [&] { return decodeWithQt(bytes); });
        const double spngMs = medianMs(runs, [&] { return decodeWithSpng(bytes); });
        // A picture that ours leaves to Qt's reader costs what Qt's does.
        const double oursMs = mine.isNull() ? qtMs : medianMs(runs, ours);
        std::printf("%-40s %6.1f %8.1f %8.1f %8.1f\n", qPrintable(path.section('/', -1)), bytes.size() / 1e6, qtMs,
                    spngMs, oursMs);
    }
    return 0;
}
