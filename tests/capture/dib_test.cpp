#include "capture/Dib.h"
#include "palette/PaletteChooser.h"
#include "tests/support/Pictures.h"

#include <QImage>
#include <QSet>
#include <gtest/gtest.h>
#include <random>

using namespace capture;
using namespace palette;
using testing_support::bruteForceNearest;
using testing_support::runsOf;

namespace {

struct Converted {
    std::vector<QRgb> table;
    std::vector<int> indices; // row-major from the top
};

Converted convert(const QImage& image, int bits)
{
    BITMAPINFOHEADER header;
    header.biSize = kBitmapInfoHeaderSize;
    header.biWidth = image.width();
    header.biHeight = image.height();
    header.biPlanes = 1;
    header.biBitCount = qint16(bits);
    const qint64 stride = dibStride(image.width(), bits);
    std::vector<quint8> buffer(std::size_t(stride * image.height()), 0xAA);
    std::vector<RGBQUAD> colours(std::size_t(1) << bits);
    EXPECT_EQ(GetDIBits(image, 0, quint32(image.height()), buffer.data(), header, colours.data()), image.height());
    Converted out;
    for (const RGBQUAD& q : colours)
        out.table.push_back(qRgb(q.rgbRed, q.rgbGreen, q.rgbBlue));
    for (int y = 0; y < image.height(); ++y) {
        const quint8* row = buffer.data() + (image.height() - 1 - y) * stride;
        for (int x = 0; x < image.width(); ++x) {
            const int bit = x * bits;
            out.indices.push_back((row[bit / 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1));
        }
    }
    return out;
}

Rgb rgbOf(QRgb c)
{
    return {qRed(c), qGreen(c), qBlue(c)};
}

QImage manyColours(int width, int height, int colours, quint32 seed)
{
    std::mt19937 random(seed);
    std::vector<QRgb> set;
    for (int i = 0; i < colours; ++i)
        set.push_back(qRgb(int(random() % 256), int(random() % 256), int(random() % 256)));
    QImage image(width, height, QImage::Format_RGB32);
    for (int i = 0; i < width * height; ++i)
        image.setPixel(i % width, i / width, set[i < colours ? i : random() % colours]);
    return image;
}

TEST(ExactConversion, RunsOfEveryLengthAndOffsetKeepEveryPixel)
{
    for (int bits : {1, 4, 8}) {
        for (int width : {1, 37, 64, 203}) {
            const QImage image = runsOf(width, 23, 1 << bits, 1 + width / 4, quint32(width + bits));
            const Converted c = convert(image, bits);
            for (int i = 0; i < width * image.height(); ++i)
                ASSERT_EQ(c.table[c.indices[i]], image.pixel(i % width, i / width) | 0xFF000000u)
                    << "pixel " << i << " of width " << width << " at " << bits << " bits";
        }
    }
}

TEST(AdaptiveConversion, WithOneColourTooManyEveryPixelTakesItsNearestTableEntry)
{
    for (int bits : {4, 8}) {
        const int n = 1 << bits;
        const QImage image = manyColours(61, 43, n + 1, 7);
        const Converted c = convert(image, bits);
        std::vector<Rgb> table;
        for (QRgb q : c.table)
            table.push_back(rgbOf(q));
        for (int i = 0; i < image.width() * image.height(); ++i) {
            const Rgb source = rgbOf(image.pixel(i % image.width(), i / image.width()));
            ASSERT_EQ(distance2(source, table[c.indices[i]]), distance2(source, table[bruteForceNearest(table, source)]))
                << "pixel " << i << " at " << bits << " bits";
        }
        // n + 1 colours in n entries: all but one pair are kept exactly.
        int exact = 0;
        for (int i = 0; i < image.width() * image.height(); ++i)
            exact += table[c.indices[i]] == rgbOf(image.pixel(i % image.width(), i / image.width()));
        EXPECT_GE(exact, image.width() * image.height() * 8 / 10);
    }
}

TEST(AdaptiveConversion, MoreColoursThanTheExactTableHoldsAreStillMappedToTheNearestEntry)
{
    // 1 100 000 distinct colours: summarised in a coarse histogram.
    QImage image(1100, 1000, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const quint32 v = quint32(y * image.width() + x) * 15u;
            image.setPixel(x, y, 0xFF000000u | (v & 0xFFFFFF));
        }
    const Converted c = convert(image, 8);
    std::vector<Rgb> table;
    for (QRgb q : c.table)
        table.push_back(rgbOf(q));
    for (int i = 0; i < image.width() * image.height(); i += 997) {
        const Rgb source = rgbOf(image.pixel(i % image.width(), i / image.width()));
        ASSERT_EQ(distance2(source, table[c.indices[i]]), distance2(source, table[bruteForceNearest(table, source)]));
    }
}

TEST(AdaptiveConversion, TheSamePictureAlwaysGivesTheSameBytes)
{
    const QImage image = manyColours(200, 150, 3000, 11);
    for (int bits : {1, 4, 8}) {
        const Converted a = convert(image, bits);
        const Converted b = convert(image.copy(), bits);
        EXPECT_EQ(a.table, b.table);
        EXPECT_EQ(a.indices, b.indices);
    }
}

TEST(AdaptiveConversion, ColoursThatDominateTheirClusterAreKeptExactly)
{
    // An interface: five flat colours over most of the picture, and a photo-like gradient.
    const QList<QRgb> flat = {qRgb(240, 240, 240), qRgb(0, 120, 215), qRgb(30, 30, 30), qRgb(255, 255, 255),
                              qRgb(204, 0, 0)};
    QImage image(400, 300, QImage::Format_RGB32);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x)
            image.setPixel(x, y, x < 300 ? flat[(x / 60 + y / 100) % 5] : qRgb(x - 150, y * 255 / 299, (x + y) % 256));
    for (int bits : {4, 8}) {
        const Converted c = convert(image, bits);
        for (QRgb colour : flat)
            EXPECT_TRUE(std::find(c.table.begin(), c.table.end(), colour) != c.table.end())
                << std::hex << colour << " at " << std::dec << bits << " bits";
    }
}

TEST(AdaptiveConversion, AlphaIsIgnored)
{
    QImage opaque = manyColours(30, 20, 40, 3);
    QImage translucent = opaque.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            translucent.setPixel(x, y, (translucent.pixel(x, y) & 0x00FFFFFF) | (quint32(x * 8) << 24));
    for (int bits : {1, 4, 8}) {
        EXPECT_EQ(convert(opaque, bits).indices, convert(translucent, bits).indices);
        EXPECT_EQ(convert(opaque, bits).table, convert(translucent, bits).table);
    }
}

TEST(AdaptiveConversion, OtherPixelFormatsGiveTheSameResultAsThirtyTwoBits)
{
    const QImage image = manyColours(130, 70, 20, 5);
    const Converted reference = convert(image, 8);
    for (QImage::Format format : {QImage::Format_RGB888, QImage::Format_Indexed8, QImage::Format_RGBX8888}) {
        const QImage other = image.convertToFormat(format);
        ASSERT_EQ(other.convertToFormat(QImage::Format_RGB32), image);
        EXPECT_EQ(convert(other, 8).indices, reference.indices);
    }
}

struct TextCase {
    const char* name;
    QRgb background, text;
    QRgb panel; // below the text, as large as it: moves the picture's one threshold
};

// Text stands out from its own background: every stroke pixel has one value
// and every background pixel the other, whichever is darker, also where one
// threshold for the whole picture would put both on the same side.
TEST(MonochromeConversion, TextStaysLegibleOnLightAndDarkInterfaces)
{
    for (const TextCase& t : {TextCase{"light", qRgb(246, 245, 244), qRgb(46, 52, 54), qRgb(246, 245, 244)},
                              TextCase{"dark", qRgb(36, 31, 49), qRgb(222, 221, 218), qRgb(36, 31, 49)},
                              TextCase{"blue", qRgb(0, 84, 166), qRgb(255, 255, 255), qRgb(0, 84, 166)},
                              TextCase{"greyed out, beside black", qRgb(246, 245, 244), qRgb(146, 149, 149), qRgb(0, 0, 0)},
                              TextCase{"white on a light bar, beside black", qRgb(114, 159, 207), qRgb(255, 255, 255),
                                       qRgb(20, 20, 20)},
                              TextCase{"dim on dark, beside white", qRgb(53, 53, 53), qRgb(130, 130, 130),
                                       qRgb(255, 255, 255)}}) {
        // Glyph-like strokes with anti-aliased edges between text and background.
        QImage image(120, 80, QImage::Format_RGB32);
        image.fill(t.panel);
        std::vector<bool> stroke;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 120; ++x) {
                const int phase = (x % 12);
                const bool core = phase >= 4 && phase <= 6 && y > 8 && y < 32;
                const bool edge = (phase == 3 || phase == 7) && y > 8 && y < 32;
                const double mix = core ? 1.0 : (edge ? 0.35 : 0.0);
                auto blend = [&](int a, int b) { return int(a + (b - a) * mix + 0.5); };
                image.setPixel(x, y, qRgb(blend(qRed(t.background), qRed(t.text)),
                                          blend(qGreen(t.background), qGreen(t.text)),
                                          blend(qBlue(t.background), qBlue(t.text))));
                stroke.push_back(core);
            }
        const Converted c = convert(image, 1);
        EXPECT_EQ(c.table[0], qRgb(0, 0, 0)) << t.name;
        EXPECT_EQ(c.table[1], qRgb(255, 255, 255)) << t.name;
        const int background = c.indices[0];
        int wrongCore = 0, wrongBackground = 0;
        for (std::size_t i = 0; i < stroke.size(); ++i) {
            const Rgb source = rgbOf(image.pixel(int(i % 120), int(i / 120)));
            if (stroke[i])
                wrongCore += c.indices[i] == background;
            else if (source == rgbOf(t.background))
                wrongBackground += c.indices[i] != background;
        }
        EXPECT_EQ(wrongCore, 0) << t.name;
        EXPECT_EQ(wrongBackground, 0) << t.name;
    }
}

TEST(MonochromeConversion, ThreeColoursMapByOneLumaThreshold)
{
    const QImage image = manyColours(50, 50, 3, 9);
    const Converted c = convert(image, 1);
    int darkestWhite = 256, lightestBlack = -1;
    for (int i = 0; i < 2500; ++i) {
        const int y = luma(rgbOf(image.pixel(i % 50, i / 50)));
        if (c.indices[i])
            darkestWhite = std::min(darkestWhite, y);
        else
            lightestBlack = std::max(lightestBlack, y);
    }
    EXPECT_LT(lightestBlack, darkestWhite);
    EXPECT_GE(lightestBlack, 0);
    EXPECT_LE(darkestWhite, 255);
}

// Three colours, two of one brightness and one a step brighter: those at the
// split level keep to the dark side.
TEST(MonochromeConversion, TwoBrightnessLevelsOneStepApartStayOnTheirOwnSides)
{
    for (int level = 2; level < 255; ++level) {
        QImage image(8, 2, QImage::Format_RGB32);
        image.fill(qRgb(level, level, level));
        image.setPixel(0, 0, qRgb(level + 1, level, level - 2)); // the same luma
        image.setPixel(3, 1, qRgb(level + 1, level + 1, level + 1));
        const Converted c = convert(image, 1);
        EXPECT_EQ(c.indices[0], 0) << level;
        EXPECT_EQ(c.indices[8 + 3], 1) << level;
    }
}

TEST(ExactConversion, TheTableHoldsThePicturesColoursDarkestFirstAndTheRestBlack)
{
    const QImage image = manyColours(20, 20, 5, 2);
    const Converted c = convert(image, 4);
    QSet<QRgb> used;
    for (int i = 0; i < 400; ++i)
        used.insert(image.pixel(i % 20, i / 20));
    for (int k = 0; k < 5; ++k)
        EXPECT_TRUE(used.contains(c.table[k]));
    for (int k = 1; k < 5; ++k)
        EXPECT_LE(luma(rgbOf(c.table[k - 1])), luma(rgbOf(c.table[k])));
    for (int k = 5; k < 16; ++k)
        EXPECT_EQ(c.table[k], qRgb(0, 0, 0));
}

TEST(Conversion, HeadersItCannotServeGiveZeroRows)
{
    const QImage image = manyColours(8, 8, 4, 1);
    BITMAPINFOHEADER header;
    header.biWidth = 8;
    header.biHeight = 8;
    std::vector<quint8> buffer(256);
    std::vector<RGBQUAD> colours(256);
    for (qint16 bits : {0, 2, 24, 32}) {
        header.biBitCount = bits;
        EXPECT_EQ(GetDIBits(image, 0, 8, buffer.data(), header, colours.data()), 0);
    }
    header.biBitCount = 8;
    EXPECT_EQ(GetDIBits(QImage(), 0, 8, buffer.data(), header, colours.data()), 0);
    EXPECT_EQ(GetDIBits(image, 0, 100, buffer.data(), header, colours.data()), 8);
    EXPECT_EQ(GetDIBits(image, 6, 100, buffer.data(), header, colours.data()), 2);
}

} // namespace
