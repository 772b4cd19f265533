#include "palette/PaletteChooser.h"

#include <gtest/gtest.h>

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

} // namespace
