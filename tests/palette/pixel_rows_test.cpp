#include "palette/PixelRows.h"
#include "tests/support/Pictures.h"

#include <gtest/gtest.h>

using namespace palette;
using testing_support::runsOf;

namespace {

TEST(RunScan, FindsTheSameRunEndsAsAPixelByPixelScan)
{
    for (int maxRun : {1, 3, 9, 40}) {
        const QImage image = runsOf(77, 6, 3, maxRun, quint32(maxRun));
        for (int y = 0; y < image.height(); ++y) {
            const auto* row = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const quint32 rgb = row[x] & 0xFFFFFF;
                int end = x;
                while (end < image.width() && (row[end] & 0xFFFFFF) == rgb)
                    ++end;
                ASSERT_EQ(runEnd(row, x, image.width(), rgb), end) << "x " << x << ", runs up to " << maxRun;
            }
        }
    }
}

} // namespace
