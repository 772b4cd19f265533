#include "forms/Screen.h"

#include <gtest/gtest.h>

using namespace host;

TEST(Twips, PerPixelFollowsTheScreenDensity)
{
    EXPECT_DOUBLE_EQ(twipsPerPixel(96), 15.0);
    EXPECT_DOUBLE_EQ(twipsPerPixel(192), 7.5);
    EXPECT_DOUBLE_EQ(twipsPerPixel(120), 12.0);
}

TEST(Twips, OffscreenScreenIs96DotsPerInch)
{
    EXPECT_DOUBLE_EQ(twipsPerLogicalPixel(), 15.0);
    EXPECT_DOUBLE_EQ(twipsPerPixelX(), 15.0);
    EXPECT_EQ(twipsToLogicalPixels(4836), 322);
    EXPECT_EQ(twipsToLogicalPixels(7), 0);
    EXPECT_EQ(twipsToLogicalPixels(8), 1);
    EXPECT_DOUBLE_EQ(logicalPixelsToTwips(322), 4830);
}

TEST(Twips, CaptionBarIsAFewDozenPixelsHigh)
{
    EXPECT_GE(captionHeightPixels(), 10);
    EXPECT_LE(captionHeightPixels(), 60);
}
