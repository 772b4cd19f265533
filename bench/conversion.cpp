// Conversion and write of pictures at 1, 4 and 8 bits per pixel: time,
// quality and memory.
//   bench_conversion measure IN.png DEPTH OUT.bmp [RUNS]
//       one line: pixels, distinct colours, milliseconds for conversion + write
//       (median), for the conversion alone, and with the PNG decode, the
//       floor (one copy of the input's pixels, and writing as many bytes as
//       the bitmap to a new file with fdatasync), the median of each save's
//       time over the floor's run beside it, PSNR against the original,
//       peak memory beyond the loaded input, and memory growth over the runs
//   bench_conversion psnr ORIGINAL OTHER
//       PSNR of OTHER (any format Qt reads) against ORIGINAL, in dB
#include "capture/BitmapFile.h"
#include "capture/Dib.h"
#include "capture/modcap.h"
#include "forms/Application.h"
#include "forms/PictureBox.h"
#include "host/Files.h"
#include "palette/Workspace.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace {

QImage load(const QString& path)
{
    QImageReader reader(path);
    reader.setAllocationLimit(0);
    QImage image = reader.read();
    if (image.isNull()) {
        std::fprintf(stderr, "cannot read %s: %s\n", qPrintable(path), qPrintable(reader.errorString()));
        std::exit(1);
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

double psnr(const QImage& original, const QImage& other)
{
    const QImage b = other.convertToFormat(QImage::Format_RGB32);
    if (b.size() != original.size())
        return -1;
    double sum = 0;
    for (int y = 0; y < original.height(); ++y) {
        const QRgb* p = reinterpret_cast<const QRgb*>(original.constScanLine(y));
        const QRgb* q = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < original.width(); ++x) {
            const int dr = qRed(p[x]) - qRed(q[x]), dg = qGreen(p[x]) - qGreen(q[x]), db = qBlue(p[x]) - qBlue(q[x]);
            sum += dr * dr + dg * dg + db * db;
        }
    }
    const double mse = sum / (3.0 * original.width() * original.height());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

std::size_t distinctColours(const QImage& image)
{
    std::unordered_set<quint32> colours;
    for (int y = 0; y < image.height(); ++y) {
        const quint32* p = reinterpret_cast<const quint32*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            colours.insert(p[x] & 0xFFFFFF);
    }
    return colours.size();
}

long statusKilobytes(const char* field)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(std::strlen(field))).trimmed().split(' ').value(0).toLong();
    return -1;
}

void resetPeakMemory()
{
    QFile clear("/proc/self/clear_refs");
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// What no save can beat: the input's pixels read once (copied into a buffer
// that is already in memory) and the output's bytes written to a new file
// that reaches the disk.
class Floor {
public:
    Floor(const QImage& image, qint64 outputBytes, const QString& output)
        : m_image(image), m_copy(std::size_t(image.sizeInBytes()), 1), m_bytes(std::size_t(outputBytes), 1),
          m_path(QFile::encodeName(output + ".floor"))
    {
    }
    ~Floor() { ::unlink(m_path.constData()); }

    double ms()
    {
        ::unlink(m_path.constData());
        QElapsedTimer timer;
        timer.start();
        std::memcpy(m_copy.data(), m_image.constBits(), m_copy.size());
        const int fd = ::open(m_path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0 || ::write(fd, m_bytes.data(), m_bytes.size()) != qint64(m_bytes.size()) || ::fdatasync(fd) != 0) {
            std::perror("floor");
            std::exit(1);
        }
        ::close(fd);
        return timer.nsecsElapsed() / 1e6;
    }

private:
    const QImage& m_image;
    std::vector<uchar> m_copy;
    const std::vector<char> m_bytes;
    const QByteArray m_path;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int measure(const QString& input, qint16 depth, const QString& output, int runs)
{
    QWidget window;
    forms::PictureBox box(&window, "Picture1", {0, 0, 100, 100}, true);
    QImage image = load(input);
    box.setPicture(image);

    // Each save beside a run of the floor, so that both meet the same load
    // of the machine, and the multiple is taken per pair. The floor's
    // buffers are made first, so as not to count as the saves' memory.
    const qint64 bitmapBytes = capture::kFileHeaderSize + capture::kBitmapInfoHeaderSize + capture::kRgbQuadSize * (1 << depth)
                               + capture::dibStride(image.width(), depth) * image.height();
    Floor floor(image, bitmapBytes, output);
    resetPeakMemory();
    const long baseline = statusKilobytes("VmRSS:");
    QElapsedTimer timer;
    // Each run writes a new file, as a numbered save does; removing the last
    // run's file is not timed.
    // Saves convert in one workspace, as the main window's do.
    palette::Workspace workspace;
    const auto saveBitmap = [&] {
        host::AtomicFile file(output);
        capture::SaveBitmap(box, file, depth, workspace);
        file.commit();
    };
    const auto save = [&] {
        QFile::remove(output);
        timer.start();
        saveBitmap();
        return timer.nsecsElapsed() / 1e6;
    };
    std::vector<double> convert{save()};
    std::printf("peak_extra_mb=%.1f ", (statusKilobytes("VmHWM:") - baseline) / 1024.0);
    const long afterFirst = statusKilobytes("VmRSS:");
    std::vector<double> floors{floor.ms()}, multiples{convert[0] / floors[0]};
    for (int i = 1; i < runs; ++i) {
        floors.push_back(floor.ms());
        convert.push_back(save());
        multiples.push_back(convert.back() / floors.back());
    }
    std::printf("growth_mb=%.1f ", (statusKilobytes("VmRSS:") - afterFirst) / 1024.0);
    // The conversion alone, into a buffer that stays allocated.
    capture::BITMAPINFOHEADER header;
    header.biWidth = image.width();
    header.biHeight = image.height();
    header.biBitCount = depth;
    std::vector<quint8> bits(std::size_t(capture::dibStride(image.width(), depth) * image.height()));
    std::vector<capture::RGBQUAD> colours(std::size_t(1) << depth);
    std::vector<double> conversion;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        const capture::DibLines lines(image, header, workspace);
        lines.colours(colours.data());
        lines.pack(0, image.height(), bits.data());
        conversion.push_back(timer.nsecsElapsed() / 1e6);
    }
    bits = {};
    std::vector<double> total;
    for (int i = 0; i < runs; ++i) {
        QFile::remove(output);
        timer.start();
        box.setPicture(load(input));
        saveBitmap();
        total.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double quality = psnr(image, load(output));
    // Counted last: its memory would otherwise hide the writer's peak.
    const std::size_t distinct = distinctColours(image);
    std::printf("pixels=%lld distinct=%zu bits=%d convert_ms=%.1f conversion_ms=%.1f total_ms=%.1f floor_ms=%.1f "
                "x_floor=%.2f psnr=%.2f input_mb=%.1f output_mb=%.1f\n",
                qint64(image.width()) * image.height(), distinct, depth, median(convert), median(conversion),
                median(total), median(floors), median(multiples), quality,
                image.sizeInBytes() / 1048576.0, QFileInfo(output).size() / 1048576.0);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    forms::setUpApplication(application);
    const QStringList args = application.arguments();
    if (args.size() >= 5 && args[1] == "measure")
        return measure(args[2], qint16(args[3].toInt()), args[4], args.size() > 5 ? args[5].toInt() : 5);
    if (args.size() == 4 && args[1] == "psnr") {
        std::printf("%.2f\n", psnr(load(args[2]), load(args[3])));
        return 0;
    }
    std::fprintf(stderr, "usage: bench_conversion measure IN DEPTH OUT [RUNS] | psnr ORIGINAL OTHER\n");
    return 2;
}
