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
    for (const EntrySearch search : {EntrySearch::KeepNearest, EntrySearch::SearchEvery}) {
        const std::vector<Rgb> palette = choosePalette(colours, 8, search);
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
    using Sums = std::array<double, 5>; // weight, weighted sum of each channel, of the squares
    const auto channel = [](quint32 rgb, int axis) { return int(rgb >> (16 - 8 * axis)) & 0xFF; };
    const auto sums = [&](const std::vector<WeightedColour>& box) {
        Sums s{};
        for (const WeightedColour& c : box)
            for (int axis = 0; axis < 3; ++axis) {
                const double v = channel(c.rgb, axis), w = c.weight;
                s[0] += axis ? 0 : w, s[std::size_t(axis) + 1] += w * v, s[4] += w * v * v;
            }
        return s;
    };
    const auto squaredMeans = [](const Sums& s) { return s[0] > 0 ? (s[1] * s[1] + s[2] * s[2] + s[3] * s[3]) / s[0] : 0; };
    const auto error = [&](const std::vector<WeightedColour>& box) { return sums(box)[4] - squaredMeans(sums(box)); };
    std::vector<std::vector<WeightedColour>> boxes{colours}, best(2);
    std::vector<double> errors{error(colours)};
    while (int(boxes.size()) < maxColours && *std::max_element(errors.begin(), errors.end()) > 0) {
        const auto next = std::size_t(std::max_element(errors.begin(), errors.end()) - errors.begin());
        const Sums all = sums(boxes[next]);
        double bestScore = squaredMeans(all);
        best[0].clear();
        for (int axis = 0; axis < 3; ++axis)
            for (int v = 0; v < 255; ++v) {
                std::vector<std::vector<WeightedColour>> halves(2);
                for (const WeightedColour& c : boxes[next])
                    halves[channel(c.rgb, axis) > v].push_back(c);
                Sums low = sums(halves[0]), high;
                for (std::size_t i = 0; i < 5; ++i)
                    high[i] = all[i] - low[i];
                if (!halves[0].empty() && !halves[1].empty() && squaredMeans(low) + squaredMeans(high) > bestScore)
                    bestScore = squaredMeans(low) + squaredMeans(high), best = halves;
            }
        errors[next] = best[0].empty() ? 0 : error(best[0]);
        if (!best[0].empty())
            boxes[next] = best[0], boxes.push_back(best[1]), errors.push_back(error(best[1]));
    }
    std::vector<Rgb> means;
    for (const auto& box : boxes) {
        const Sums s = sums(box);
        means.push_back({int(std::lround(s[1] / s[0])), int(std::lround(s[2] / s[0])), int(std::lround(s[3] / s[0]))});
    }
    return means;
}

// Colours packed in a small cube, so that neighbouring values and boxes cut
// again along the same axis are common; a few colours, fewer than boxes; and
// enough that large boxes keep their sums by value from cut to cut.
TEST(SplitPalette, CutsTheBoxesAsTheDefinitionDoes)
{
    std::mt19937 random(14);
    for (const int count : {3, 400, 4500}) {
        std::vector<WeightedColour> colours;
        for (int i = 0; i < count; ++i)
            colours.push_back({quint32(random() & 0x1F3F0F) | 0x400000, quint32(1 + random() % 50)});
        for (const int entries : {2, 16, 64})
            EXPECT_EQ(splitPalette(colours, entries), splitByDefinition(colours, entries)) << count << " colours, " << entries;
    }
}

} // namespace
