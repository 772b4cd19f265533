#include "palette/Monochrome.h"
#include "palette/PaletteChooser.h"

#include <QPainter>
#include <gtest/gtest.h>
#include <random>

using namespace palette;

namespace {

// A screen-like picture: panels of flat colour, a gradient, noise (unless
// told not), and text in several colours on them.
QImage screenLike(int width, int height, quint32 seed, bool noise = true)
{
    std::mt19937 random(seed);
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(qRgb(246, 245, 244));
    QPainter painter(&image);
    for (int i = 0; i < 12; ++i) {
        const QColor colour(int(random() % 256), int(random() % 256), int(random() % 256));
        const QRect box(int(random() % width), int(random() % height), 10 + int(random() % 120), 8 + int(random() % 60));
        if (i % 4 == 0) {
            QLinearGradient gradient(box.topLeft(), box.topRight());
            gradient.setColorAt(0, colour);
            gradient.setColorAt(1, colour.lighter(170));
            painter.fillRect(box, gradient);
        } else {
            painter.fillRect(box, colour);
        }
        painter.setPen(QColor(int(random() % 256), int(random() % 256), int(random() % 256)));
        painter.drawText(box.adjusted(2, 2, 0, 0), "Save to File e-Mail");
        painter.drawLine(box.bottomLeft(), box.bottomRight() + QPoint(20, 0));
        painter.drawLine(box.topRight(), box.bottomRight() + QPoint(0, 20));
    }
    painter.end();
    for (int i = 0; noise && i < width * height / 20; ++i)
        image.setPixel(int(random() % width), int(random() % height), random());
    return image;
}

// The conversion as defined, one pixel at a time: erosion and dilation in a
// square reaching kStroke / 2 pixels each way, the picture's edge pixels
// repeated beyond it, then opening and closing, and the mean and range of a
// square reaching twice as far; straight runs of kLine pixels or more that
// differ from the split take the split.
std::vector<bool> definedWhite(const QImage& image)
{
    const int w = image.width(), h = image.height(), reach = Monochrome::kStroke / 2;
    std::vector<int> l(std::size_t(w * h));
    std::array<quint64, 256> histogram{};
    for (int i = 0; i < w * h; ++i) {
        const QRgb c = image.pixel(i % w, i / w);
        l[std::size_t(i)] = luma({qRed(c), qGreen(c), qBlue(c)});
        ++histogram[std::size_t(l[std::size_t(i)])];
    }
    const auto filter = [&](const std::vector<int>& in, bool smallest) {
        std::vector<int> out(in.size());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                int v = in[std::size_t(y * w + x)];
                for (int dy = -reach; dy <= reach; ++dy)
                    for (int dx = -reach; dx <= reach; ++dx) {
                        const int u = in[std::size_t(std::clamp(y + dy, 0, h - 1) * w + std::clamp(x + dx, 0, w - 1))];
                        v = smallest ? std::min(v, u) : std::max(v, u);
                    }
                out[std::size_t(y * w + x)] = v;
            }
        return out;
    };
    const std::vector<int> e = filter(l, true), d = filter(l, false), o = filter(e, false), c = filter(d, true);
    const std::vector<int> wideE = filter(e, true), wideD = filter(d, false);
    const int t = otsuThreshold(histogram);
    std::vector<bool> white, flipped;
    for (int i = 0; i < w * h; ++i) {
        const std::size_t p = std::size_t(i);
        double mean = 0;
        for (int dy = -2 * reach; dy <= 2 * reach; ++dy)
            for (int dx = -2 * reach; dx <= 2 * reach; ++dx)
                mean += l[std::size_t(std::clamp(i / w + dy, 0, h - 1) * w + std::clamp(i % w + dx, 0, w - 1))];
        mean /= (4 * reach + 1) * (4 * reach + 1);
        // Light background where most of the window is light.
        const bool lightBackground = mean >= (wideE[p] + wideD[p] + 1) / 2;
        const int depth = lightBackground ? c[p] - l[p] : l[p] - o[p];
        const int background = lightBackground ? c[p] : o[p];
        const int spread = lightBackground ? c[p] - e[p] : d[p] - o[p];
        if (depth >= Monochrome::kContrast && 3 * depth >= spread)
            white.push_back(background <= t);
        else
            white.push_back(l[p] > t);
        flipped.push_back(white.back() != (l[p] > t));
    }
    const auto runThrough = [&](int x, int y, int dx, int dy) {
        int n = 1;
        for (int s : {-1, 1})
            for (int k = 1; x + s * k * dx >= 0 && x + s * k * dx < w && y + s * k * dy >= 0 && y + s * k * dy < h &&
                            flipped[std::size_t((y + s * k * dy) * w + x + s * k * dx)];
                 ++k)
                ++n;
        return n;
    };
    for (int i = 0; i < w * h; ++i)
        if (flipped[std::size_t(i)] &&
            std::max(runThrough(i % w, i / w, 1, 0), runThrough(i % w, i / w, 0, 1)) >= Monochrome::kLine)
            white[std::size_t(i)] = !white[std::size_t(i)];
    return white;
}

std::vector<bool> whiteOf(const Monochrome& m, int width, int height)
{
    std::vector<bool> white;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            white.push_back(m.row(y)[x / 8] & (0x80 >> (x % 8)));
        if (width % 8) {
            EXPECT_EQ(m.row(y)[width / 8] & (0xFF >> (width % 8)), 0) << "bits after the last pixel, row " << y;
        }
    }
    return white;
}

// Faint text on a light panel beside a black one: the split puts the text
// with the panel, the strokes black, though the panel's tiles span little.
QImage faintTextBesideBlack()
{
    QImage image(400, 70, QImage::Format_RGB32);
    image.fill(qRgb(200, 200, 200));
    QPainter painter(&image);
    painter.fillRect(300, 0, 100, 70, Qt::black);
    painter.setPen(QColor(160, 160, 160));
    painter.drawText(QRect(5, 5, 280, 60), "Save to File e-Mail View a File");
    return image;
}

// Faint grey lines of lengths around kLine, across and down, at any column
// and row, some running off the picture's edge, some crossing, on a light
// panel beside a black one.
QImage faintLinesBesideBlack(quint32 seed)
{
    std::mt19937 random(seed);
    QImage image(300, 160, QImage::Format_RGB32);
    image.fill(qRgb(240, 240, 240));
    QPainter painter(&image);
    painter.fillRect(0, 0, 40, 160, Qt::black);
    painter.setPen(QColor(170, 170, 170));
    for (int i = 0; i < 24; ++i) {
        const QPoint from(40 + int(random() % 260), int(random() % 160));
        const int length = Monochrome::kLine - 6 + int(random() % 60);
        painter.drawLine(from, from + (i % 2 ? QPoint(length, 0) : QPoint(0, length)));
    }
    return image;
}

// Flat grey bands, whose blocks the fast path takes whole, of widths that
// put the middle band on the edge between Otsu's two best splits: a block
// counted short moves the split past it.
QImage greyBands()
{
    QImage image(160, 40, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int grey = x < 34 ? 50 : x < 136 ? 120 : 200;
            image.setPixel(x, y, qRgb(grey, grey, grey));
        }
    return image;
}

// Short strokes on a light grey beside a dark panel, which puts the split
// below both: one exactly kContrast levels darker than the grey, which must
// stay black, and one a level less, which is only the grey's noise.
QImage strokesAtTheContrast()
{
    QImage image(120, 40, QImage::Format_RGB32);
    image.fill(qRgb(180, 180, 180));
    QPainter painter(&image);
    painter.fillRect(0, 0, 40, 40, qRgb(30, 30, 30));
    for (const int darker : {Monochrome::kContrast, Monochrome::kContrast - 1}) {
        const int grey = 180 - darker;
        for (int k = 0; k < 5; ++k)
            image.setPixel(darker == Monochrome::kContrast ? 60 + k : 90 + k, 20, qRgb(grey, grey, grey));
    }
    return image;
}

// Sizes around the vector width and the band height, one row and one
// column; without noise, flat areas beside text.
TEST(MonochromeConversion, FastAndPlainGiveWhatTheDefinitionGives)
{
    const QImage images[] = {screenLike(1, 1, 1001), screenLike(17, 1, 17001), screenLike(1, 40, 1040), screenLike(231, 97, 231097),
                             screenLike(64, 33, 64033), screenLike(500, 90, 500090, false), faintTextBesideBlack(),
                             faintLinesBesideBlack(300160), greyBands()};
    for (const QImage& image : images) {
        const std::vector<bool> defined = definedWhite(image);
        for (const auto kernels : {Monochrome::Kernels::Vector, Monochrome::Kernels::Plain}) {
            const Monochrome m(image, image.width(), image.height(), nullptr, std::pmr::get_default_resource(), kernels);
            const std::vector<bool> white = whiteOf(m, image.width(), image.height());
            int wrong = 0;
            for (std::size_t i = 0; i < white.size(); ++i)
                wrong += white[i] != defined[i];
            EXPECT_EQ(wrong, 0) << image.width() << "x" << image.height() << (kernels == Monochrome::Kernels::Vector ? " vector" : " plain");
        }
    }
}

TEST(MonochromeConversion, AStrokeOfExactlyTheContrastSurvives)
{
    const QImage image = strokesAtTheContrast();
    for (const auto kernels : {Monochrome::Kernels::Vector, Monochrome::Kernels::Plain}) {
        const std::vector<bool> white = whiteOf(Monochrome(image, image.width(), image.height(), nullptr, std::pmr::get_default_resource(), kernels), image.width(), 40);
        for (int k = 0; k < 5; ++k) {
            EXPECT_FALSE(white[std::size_t(20 * 120 + 60 + k)]) << k;
            EXPECT_TRUE(white[std::size_t(20 * 120 + 90 + k)]) << k;
        }
    }
}

// A faint grey line on a light panel beside a black one, which puts the
// split below the grey: short, it is a stroke and black; kLine long, a frame
// that splits white like the panel. The line down lies in the second word
// of eight bytes of columns.
TEST(MonochromeConversion, FaintLinesFromKLinePixelsLongSplitLikeAreas)
{
    for (const int length : {Monochrome::kLine - 1, Monochrome::kLine})
        for (const bool across : {true, false}) {
            QImage image(100, 100, QImage::Format_RGB32);
            image.fill(qRgb(240, 240, 240));
            QPainter painter(&image);
            painter.fillRect(0, 0, 30, 100, Qt::black);
            for (int k = 0; k < length; ++k)
                image.setPixel(across ? 50 + k : 66, across ? 60 : 50 + k, qRgb(170, 170, 170));
            for (const auto kernels : {Monochrome::Kernels::Vector, Monochrome::Kernels::Plain}) {
                const Monochrome m(image, 100, 100, nullptr, std::pmr::get_default_resource(), kernels);
                const std::vector<bool> white = whiteOf(m, 100, 100);
                EXPECT_EQ(white, definedWhite(image)) << length << (across ? " across" : " down");
                int black = 0;
                for (int k = 0; k < length; ++k)
                    black += !white[std::size_t(across ? 60 * 100 + 50 + k : (50 + k) * 100 + 66)];
                EXPECT_EQ(black, length < Monochrome::kLine ? length : 0) << length << (across ? " across" : " down");
            }
        }
}

// Noise of every luma, where Otsu's best split lies on a flat plateau that
// a few miscounted pixels move: the threshold is the one of every pixel's
// luma, at sizes around the sixteen pixels counted at a time.
TEST(MonochromeConversion, ThresholdCountsEveryPixel)
{
    std::mt19937 random(4242);
    for (const QSize size : {QSize(16, 9), QSize(33, 7), QSize(640, 48), QSize(1000, 3)}) {
        QImage image(size, QImage::Format_RGB32);
        std::array<quint64, 256> histogram{};
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                const QRgb c = random();
                image.setPixel(x, y, c);
                ++histogram[std::size_t(luma({qRed(c), qGreen(c), qBlue(c)}))];
            }
        for (const auto kernels : {Monochrome::Kernels::Vector, Monochrome::Kernels::Plain})
            EXPECT_EQ(Monochrome(image, size.width(), size.height(), nullptr, std::pmr::get_default_resource(), kernels).threshold(), otsuThreshold(histogram))
                << size.width() << "x" << size.height();
    }
}

} // namespace
