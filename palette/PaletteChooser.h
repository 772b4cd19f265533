#pragma once

#include "palette/NearestColour.h"
#include "palette/Parallel.h"

#include <array>
#include <vector>

// Choosing the colours of a small palette for a picture.
namespace palette {

// A colour of the picture (0xRRGGBB) and how many pixels have it.
struct WeightedColour {
    quint32 rgb;
    quint32 weight;
};

// Luma (ITU-R BT.601 weights), 0 to 255.
inline int luma(const Rgb& c)
{
    return (299 * c.r + 587 * c.g + 114 * c.b + 500) / 1000;
}

// The fixed order of colours: darkest first, ties by value.
bool lumaOrder(const Rgb& a, const Rgb& b);
void sortByLuma(std::vector<Rgb>& colours);

// At most maxColours colours that minimise the squared error of the picture:
// Wu's variance-minimising splits of a 5-bit-per-channel histogram, refined
// by count-weighted k-means over the colours. A colour that holds at least
// half of its cluster's pixels is kept exactly (flat interface colours).
// Either speed gives the same palette.
std::vector<Rgb> choosePalette(const std::vector<WeightedColour>& colours, int maxColours, Speed speed = Speed::Fast);

// Otsu's threshold: the luma that best separates the histogram into a dark
// and a light class; pixels above it are light.
int otsuThreshold(const std::array<quint64, 256>& lumaHistogram);

} // namespace palette
