#include "forms/Screen.h"

#include <gtest/gtest.h>

using namespace forms;

TEST(Twips, PerPixelFollowsTheScreenDensity)
{
    EXPECT_DOUBLE_EQ(forms::twipsPerPixel(96), 15.0);
    EXPECT_DOUBLE_EQ(forms::twipsPerPixel(192), 7.5);
    EXPECT_DOUBLE_EQ(forms::twipsPerPixel(120), 12.0);
}

TEST(Twips, OffscreenScreenIs96DotsPerInch)
{
    EXPECT_DOUBLE_EQ(forms::twipsPerLogicalPixel(), 15.0);
    EXPECT_DOUBLE_EQ(forms::twipsPerPixelX(), 15.0);
    EXPECT_EQ(forms::twipsToLogicalPixels(4836), 322);
    EXPECT_EQ(forms::twipsToLogicalPixels(7), 0);
    EXPECT_EQ(forms::twipsToLogicalPixels(8), 1);
    EXPECT_DOUBLE_EQ(forms::logicalPixelsToTwips(322), 4830);
}

TEST(Twips, CaptionBarIsAFewDozenPixelsHigh)
{
    EXPECT_GE(forms::captionHeightPixels(), 10);
    EXPECT_LE(forms::captionHeightPixels(), 60);
}
