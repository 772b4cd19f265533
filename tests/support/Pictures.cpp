#include "tests/support/Pictures.h"

#include <random>
#include <vector>

namespace testing_support {

QImage runsOf(int width, int height, int colours, int maxRun, quint32 seed)
{
    std::mt19937 random(seed);
    std::vector<quint32> set;
    for (int i = 0; i < colours; ++i)
        set.push_back(random() & 0xFFFFFF);
    QImage image(width, height, QImage::Format_ARGB32);
    quint32 colour = set[0];
    int left = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (left-- == 0) {
                colour = set[random() % set.size()];
                left = int(random() % quint32(maxRun));
            }
            image.setPixel(x, y, colour | (random() << 24));
        }
    return image;
}

int bruteForceNearest(const std::vector<palette::Rgb>& palette, const palette::Rgb& c)
{
    int best = 0;
    for (std::size_t i = 1; i < palette.size(); ++i)
        if (distance2(c, palette[i]) < distance2(c, palette[best]))
            best = int(i);
    return best;
}

} // namespace testing_support
