#include "palette/NearestColour.h"
#include "tests/support/Pictures.h"

#include <gtest/gtest.h>
#include <random>

using namespace palette;
using testing_support::bruteForceNearest;

namespace {

// Both the vector lanes and their plain twin.
TEST(NearestColourSearch, EqualsABruteForceSearchIncludingTiesInVectorAndPlainLanes)
{
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> channel(0, 255);
    for (int size : {1, 2, 3, 16, 17, 100, 256}) {
        for (int trial = 0; trial < 3; ++trial) {
            std::vector<Rgb> palette;
            for (int i = 0; i < size; ++i) {
                // Some duplicates and coarse values make exact ties common.
                if (i > 0 && i % 7 == 0)
                    palette.push_back(palette[i / 2]);
                else if (trial == 1)
                    palette.push_back({channel(random) & 0xE0, channel(random) & 0xE0, channel(random) & 0xE0});
                else
                    palette.push_back({channel(random), channel(random), channel(random)});
            }
            NearestColour nearest(palette);
            PlainNearestColour plain(palette);
            for (int i = 0; i < 20000; ++i) {
                const Rgb c = trial == 1 ? Rgb{channel(random) & 0xF0, channel(random) & 0xF0, channel(random) & 0xF0}
                                         : Rgb{channel(random), channel(random), channel(random)};
                ASSERT_EQ(nearest(c), bruteForceNearest(palette, c)) << "palette of " << size;
                ASSERT_EQ(plain(c), nearest(c)) << "palette of " << size;
            }
        }
    }
}

} // namespace
