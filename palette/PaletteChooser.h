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

// Wu's greedy variance-minimising splits of the colours: the box of colours
// with the largest squared error is cut in two along the axis and at the
// value that leave the least, until there are maxColours boxes or none can
// be cut; the boxes' mean colours, in the order the boxes were made.
std::vector<Rgb> splitPalette(std::vector<WeightedColour> colours, int maxColours);
// The same on a conversion's thread pool.
std::vector<Rgb> splitPalette(std::vector<WeightedColour> colours, int maxColours, ThreadPool& pool);

// How each pass of k-means finds a colour's nearest entry: by a search, or
// first by keeping the entry of the pass before where no other can be as
// near (the triangle inequality); both find the same.
enum class EntrySearch { KeepNearest, SearchEvery };

// At most maxColours colours that minimise the squared error of the picture:
// splitPalette refined by count-weighted k-means over the colours. A colour
// that holds at least half of its cluster's pixels is kept exactly (flat
// interface colours). On a pool of its own.
std::vector<Rgb> choosePalette(const std::vector<WeightedColour>& colours, int maxColours,
                               EntrySearch search = EntrySearch::KeepNearest);
// The same on a conversion's thread pool.
std::vector<Rgb> choosePalette(const std::vector<WeightedColour>& colours, int maxColours, ThreadPool& pool,
                               EntrySearch search = EntrySearch::KeepNearest);

// Otsu's threshold: the luma that best separates the histogram into a dark
// and a light class; pixels above it are light.
int otsuThreshold(const std::array<quint64, 256>& lumaHistogram);

} // namespace palette
