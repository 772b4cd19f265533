#include "palette/ColourRuns.h"
#include "tests/support/Pictures.h"

#include <QHash>
#include <gtest/gtest.h>

using namespace palette;
using testing_support::runsOf;

namespace {

TEST(RunList, RebuildsEveryRowAndCountsEveryPixelUnlessTooManyRunsAreKept)
{
    const QImage image = runsOf(53, 31, 40, 12, 4);
    for (std::size_t maxRuns : {std::size_t(100000), std::size_t(10)}) {
        PixelRows rows(image);
        ColourTable table(1000);
        ColourRuns runs;
        ASSERT_TRUE(runs.count(rows, image.width(), image.height(), table, maxRuns));
        EXPECT_EQ(runs.kept(), maxRuns > 10);
        QHash<quint32, quint32> expected;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ++expected[image.pixel(x, y) & 0xFFFFFF];
        ASSERT_EQ(table.size(), std::size_t(expected.size()));
        for (quint32 n = 0; n < table.size(); ++n)
            EXPECT_EQ(table.count(n), expected.value(table.colour(n))) << n;
        for (int y = 0; runs.kept() && y < image.height(); ++y) {
            int x = 0;
            for (const ColourRuns::Run* run = runs.begin(y); run != runs.end(y); ++run)
                for (; x < int(run->end); ++x)
                    ASSERT_EQ(image.pixel(x, y) & 0xFFFFFF, table.colour(run->number)) << x << ", " << y;
            EXPECT_EQ(x, image.width());
        }
    }
    // A table that fills up stops the count.
    PixelRows rows(image);
    ColourTable small(39);
    ColourRuns runs;
    EXPECT_FALSE(runs.count(rows, image.width(), image.height(), small, 100000));
    EXPECT_FALSE(runs.kept());
}

} // namespace
