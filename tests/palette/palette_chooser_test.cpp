#include "palette/PaletteChooser.h"
#include "tests/support/Pictures.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

using namespace palette;

namespace {

TEST(OtsuThreshold, SplitsTwoPopulationsInTheMiddleOfTheirGap)
{
    std::array<quint64, 256> histogram{};
    histogram[20] = 500;
    histogram[220] = 100;
    EXPECT_EQ(otsuThreshold(histogram), 119);
    histogram = {};
    histogram[77] = 5;
    EXPECT_EQ(otsuThreshold(histogram), 127);
}

// Eight of twelve colours: after the splits an entry serves no colour and
// moves to the one served worst, so that in the end each serves some.
TEST(ChoosePalette, AnEntryThatServesNoColourMovesToOne)
{
    const std::vector<WeightedColour> colours{{0xB45A60, 217}, {0xAA9498, 2}, {0x608EA0, 1}, {0x4E5254, 332},
                                              {0xA8BE8A, 3},   {0x4EBE5A, 3}, {0xB262BC, 428}, {0xAE4C6C, 3},
                                              {0x5290A6, 3},   {0xAA8E66, 368}, {0xAC8E7A, 1}, {0xB49CA2, 1}};
    for (const Speed speed : {Speed::Fast, Speed::Plain}) {
        const std::vector<Rgb> palette = choosePalette(colours, 8, speed);
        std::vector<int> served(palette.size());
        for (const WeightedColour& c : colours)
            ++served[std::size_t(testing_support::bruteForceNearest(palette, toRgb(c.rgb)))];
        EXPECT_EQ(std::count(served.begin(), served.end(), 0), 0);
    }
}

// Wu's splits as defined: every axis and value tried on the colours
// themselves, the sums of each half added up anew.
std::vector<Rgb> splitByDefinition(const std::vector<WeightedColour>& colours, int maxColours)
{
    const auto channel = [](quint32 rgb, int axis) { return int(rgb >> (16 - 8 * axis)) & 0xFF; };
    // Weight, the weighted sum of each channel and of the squares.
    const auto sums = [&](const std::vector<WeightedColour>& box) {
        std::array<double, 5> s{};
        for (const WeightedColour& c : box)
            for (int axis = 0; axis < 3; ++axis) {
                const double v = channel(c.rgb, axis), w = c.weight;
                s[0] += axis ? 0 : w, s[std::size_t(axis) + 1] += w * v, s[4] += w * v * v;
            }
        return s;
    };
    const auto squaredMeans = [](double w, double r, double g, double b) { return w > 0 ? (r * r + g * g + b * b) / w : 0; };
    const auto error = [&](const std::array<double, 5>& s) { return s[4] - squaredMeans(s[0], s[1], s[2], s[3]); };
    std::vector<std::vector<WeightedColour>> boxes{colours};
    std::vector<double> errors{error(sums(colours))};
    while (int(boxes.size()) < maxColours) {
        const auto next = std::size_t(std::max_element(errors.begin(), errors.end()) - errors.begin());
        if (errors[next] <= 0)
            break;
        const auto all = sums(boxes[next]);
        double best = squaredMeans(all[0], all[1], all[2], all[3]);
        std::vector<WeightedColour> low, high, bestLow, bestHigh;
        for (int axis = 0; axis < 3; ++axis)
            for (int v = 0; v < 255; ++v) {
                low.clear(), high.clear();
                for (const WeightedColour& c : boxes[next])
                    (channel(c.rgb, axis) <= v ? low : high).push_back(c);
                const auto l = sums(low);
                const double score = squaredMeans(l[0], l[1], l[2], l[3]) + squaredMeans(all[0] - l[0], all[1] - l[1], all[2] - l[2], all[3] - l[3]);
                if (!low.empty() && !high.empty() && score > best)
                    best = score, bestLow = low, bestHigh = high;
            }
        if (bestLow.empty()) {
            errors[next] = 0;
            continue;
        }
        boxes[next] = bestLow, errors[next] = error(sums(bestLow));
        boxes.push_back(bestHigh), errors.push_back(error(sums(bestHigh)));
    }
    std::vector<Rgb> means;
    for (const auto& box : boxes) {
        const auto s = sums(box);
        means.push_back({int(std::lround(s[1] / s[0])), int(std::lround(s[2] / s[0])), int(std::lround(s[3] / s[0]))});
    }
    return means;
}

// Colours packed in a small cube, so that neighbouring values and boxes cut
// again along the same axis are common; and a few colours, fewer than boxes.
TEST(SplitPalette, CutsTheBoxesAsTheDefinitionDoes)
{
    std::mt19937 random(14);
    for (const int count : {3, 400}) {
        std::vector<WeightedColour> colours;
        for (int i = 0; i < count; ++i)
            colours.push_back({quint32(random() & 0x1F3F0F) | 0x400000, quint32(1 + random() % 50)});
        for (const int entries : {2, 16, 64})
            EXPECT_EQ(splitPalette(colours, entries), splitByDefinition(colours, entries)) << count << " colours, " << entries;
    }
}

} // namespace
