#include "palette/CoarseHistogram.h"
#include "palette/IndexedRows.h"
#include "tests/support/Pictures.h"

#include "palette/PaletteChooser.h"

#include <array>
#include <gtest/gtest.h>
#include <map>
#include <random>

using namespace palette;
using testing_support::bruteForceNearest;
using testing_support::runsOf;

namespace {

// Rows of long runs (an interface) above rows of one-pixel runs of random
// colours (a photograph): the two are read in different ways. As in a
// photograph, half the pixels differ from the one before in the two low bits
// of each channel only.
QImage interfaceAbovePhoto(int width, int height, int runColours, int photoRows)
{
    QImage image = runsOf(width, height, runColours, 40, 5);
    std::mt19937 random(9);
    quint32 rgb = 0;
    for (int y = height - photoRows; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            rgb = (random() % 2 ? random() : rgb) & 0xFCFCFC;
            image.setPixel(x, y, rgb | (random() & 0x030303));
        }
    return image;
}

std::vector<quint8> packed(const IndexedRows& indexed, int width, int height, int bits)
{
    const std::size_t stride = (std::size_t(width) * std::size_t(bits) + 7) / 8;
    std::vector<quint8> bytes(stride * std::size_t(height));
    indexed.pack(0, height, bits, [&](int y) { return bytes.data() + std::size_t(y) * stride; });
    return bytes;
}

int indexAt(const std::vector<quint8>& bytes, int width, int bits, int x, int y)
{
    const std::size_t bit = (std::size_t(y) * ((std::size_t(width) * std::size_t(bits) + 7) / 8)) * 8 + std::size_t(x * bits);
    return (bytes[bit / 8] >> (8 - bits - int(bit % 8))) & ((1 << bits) - 1);
}

// The palette chosen from the picture's colours counted here pixel by pixel:
// each colour itself (mask 0xFFFFFF) or the rounded mean colour of each cell
// of 6 bits per channel (0xFCFCFC).
std::vector<Rgb> paletteOfMeans(const QImage& image, int entries, quint32 mask)
{
    std::map<quint32, std::array<quint64, 4>> cells;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const Rgb c = toRgb(image.pixel(x, y));
            auto& cell = cells[image.pixel(x, y) & mask];
            cell[0] += 1, cell[1] += quint64(c.r), cell[2] += quint64(c.g), cell[3] += quint64(c.b);
        }
    std::vector<WeightedColour> colours;
    for (const auto& [key, sum] : cells) {
        quint32 rgb = 0;
        for (int channel = 1; channel <= 3; ++channel)
            rgb = rgb << 8 | quint32((sum[std::size_t(channel)] + sum[0] / 2) / sum[0]);
        colours.push_back({rgb, quint32(sum[0])});
    }
    return choosePalette(colours, entries, EntrySearch::SearchEvery);
}

// The histogram's vector kernel against its scalar twin: rows of every
// width around four, of pixels that share a cell with the next or not.
TEST(CoarseHistogram, FourPixelsAtATimeSumAsOneAtATime)
{
    std::mt19937 random(5);
    for (int width = 1; width <= 41; width += 4) {
        for (const quint32 spread : {0x030303u, 0x3F3F3Fu, 0xFFFFFFu}) {
            std::vector<quint32> row(std::size_t(width) + 3);
            for (quint32& pixel : row)
                pixel = (0x80808080u + (random() & spread)) | (random() & 0xFF000000u);
            CoarseHistogram vector, scalar;
            vector.addPixels<true>(row.data(), width);
            scalar.addPixels<false>(row.data(), width);
            const std::vector<WeightedColour> a = vector.colours(), b = scalar.colours();
            ASSERT_EQ(a.size(), b.size()) << width;
            for (std::size_t i = 0; i < a.size(); ++i) {
                EXPECT_EQ(a[i].rgb, b[i].rgb) << width;
                EXPECT_EQ(a[i].weight, b[i].weight) << width;
            }
        }
    }
}

// Split over the cores or not, the same palette and indices; each pixel its
// own colour when the palette holds them all, and its nearest entry
// otherwise: with few colours, with more than the palette holds, and with
// more than are chosen from directly.
TEST(IndexedRows, EveryCoreAndOneGiveTheSameIndicesEachPixelsNearest)
{
    struct Case {
        int width, height, runColours, photoRows, bits;
        quint32 oracleMask; // of paletteOfMeans, 0 for none
    } cases[] = {
        {333, 200, 2, 0, 1, 0},            // every colour kept
        {333, 200, 12, 0, 4, 0},           // every colour kept
        {333, 200, 200, 0, 8, 0},          // every colour kept
        {301, 260, 900, 0, 4, 0xFFFFFF},   // chosen from the colours, counted by run
        {301, 260, 900, 40, 4, 0xFFFFFF},  // counted by rank
        {301, 260, 900, 40, 8, 0xFFFFFF},
        {641, 500, 60, 440, 8, 0xFCFCFC}, // chosen from a histogram: 282 040 pixels
        {641, 500, 60, 440, 4, 0xFCFCFC},
        {16411, 3, 60, 3, 8, 0xFFFFFF},   // rows of more colours than are counted by run
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.bits << " bits");
        const QImage image = interfaceAbovePhoto(c.width, c.height, c.runColours, c.photoRows);
        Workspace everyCore, oneThread(1);
        const IndexedRows fast(image, c.width, c.height, 1 << c.bits, everyCore);
        const IndexedRows plain(image, c.width, c.height, 1 << c.bits, oneThread);
        ASSERT_EQ(fast.palette(), plain.palette());
        if (c.oracleMask) {
            ASSERT_EQ(fast.palette(), paletteOfMeans(image, 1 << c.bits, c.oracleMask));
        }
        const std::vector<quint8> bytes = packed(fast, c.width, c.height, c.bits);
        ASSERT_EQ(bytes, packed(plain, c.width, c.height, c.bits));
        const bool kept = c.oracleMask == 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                const Rgb colour = toRgb(image.pixel(x, y));
                const int index = indexAt(bytes, c.width, c.bits, x, y);
                if (kept)
                    ASSERT_EQ(fast.palette()[std::size_t(index)], colour) << x << ", " << y;
                else
                    ASSERT_EQ(index, bruteForceNearest(fast.palette(), colour)) << x << ", " << y;
            }
    }
}

} // namespace
