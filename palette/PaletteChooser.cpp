#include "palette/PaletteChooser.h"

#include <algorithm>
#include <cmath>

namespace palette {
namespace {

// ---- Variance-minimising splits ---------------------------------------------
//
// Wu's greedy orthogonal bipartition, on the colours themselves rather than
// on a coarse histogram: the box with the largest squared error is cut where
// the two halves have the least squared error, along the best axis. A box is
// a range of the colour list, partitioned in place.

struct Sums {
    double w = 0, r = 0, g = 0, b = 0, q = 0;

    void add(const Rgb& p, double weight)
    {
        w += weight;
        r += weight * p.r;
        g += weight * p.g;
        b += weight * p.b;
        q += weight * (p.r * p.r + p.g * p.g + p.b * p.b);
    }
    // Squared error about the mean.
    double error() const { return w > 0 ? q - (r * r + g * g + b * b) / w : 0; }
    double squaredMeans() const { return w > 0 ? (r * r + g * g + b * b) / w : 0; }
    Rgb mean() const { return {int(std::lround(r / w)), int(std::lround(g / w)), int(std::lround(b / w))}; }
};

struct Box {
    std::size_t first, last; // the colours [first, last)
    Sums sums;
};

int channel(const Rgb& p, int axis)
{
    return axis == 0 ? p.r : (axis == 1 ? p.g : p.b);
}

// Cuts a box in two at the value along one axis that leaves the least squared
// error. False when all its colours are equal.
bool split(std::vector<WeightedColour>& colours, Box& box, Box& other)
{
    double best = box.sums.squaredMeans();
    int bestAxis = -1, bestValue = 0;
    std::array<Sums, 256> bins;
    for (int axis = 0; axis < 3; ++axis) {
        bins.fill({});
        for (std::size_t i = box.first; i < box.last; ++i) {
            const Rgb p = toRgb(colours[i].rgb);
            bins[channel(p, axis)].add(p, colours[i].weight);
        }
        Sums low;
        for (int v = 0; v < 255; ++v) {
            if (bins[v].w == 0)
                continue;
            low.w += bins[v].w;
            low.r += bins[v].r;
            low.g += bins[v].g;
            low.b += bins[v].b;
            const double hw = box.sums.w - low.w;
            if (hw <= 0)
                break;
            const double hr = box.sums.r - low.r, hg = box.sums.g - low.g, hb = box.sums.b - low.b;
            const double score = low.squaredMeans() + (hr * hr + hg * hg + hb * hb) / hw;
            if (score > best) {
                best = score;
                bestAxis = axis;
                bestValue = v;
            }
        }
    }
    if (bestAxis < 0)
        return false;
    const auto middle = std::partition(colours.begin() + std::ptrdiff_t(box.first), colours.begin() + std::ptrdiff_t(box.last),
                                       [&](const WeightedColour& c) { return channel(toRgb(c.rgb), bestAxis) <= bestValue; });
    other = {std::size_t(middle - colours.begin()), box.last, {}};
    box.last = other.first;
    box.sums = {};
    for (std::size_t i = box.first; i < box.last; ++i)
        box.sums.add(toRgb(colours[i].rgb), colours[i].weight);
    for (std::size_t i = other.first; i < other.last; ++i)
        other.sums.add(toRgb(colours[i].rgb), colours[i].weight);
    return true;
}

std::vector<Rgb> splitPalette(std::vector<WeightedColour> colours, int maxColours)
{
    Box all{0, colours.size(), {}};
    for (const WeightedColour& c : colours)
        all.sums.add(toRgb(c.rgb), c.weight);
    std::vector<Box> boxes{all};
    std::vector<double> error{all.sums.error()};
    while (int(boxes.size()) < maxColours) {
        const auto next = std::size_t(std::max_element(error.begin(), error.end()) - error.begin());
        if (error[next] <= 0)
            break;
        Box other{};
        if (!split(colours, boxes[next], other)) {
            error[next] = 0;
            continue;
        }
        error[next] = boxes[next].sums.error();
        boxes.push_back(other);
        error.push_back(other.sums.error());
    }
    std::vector<Rgb> palette;
    for (const Box& box : boxes)
        palette.push_back(box.sums.mean());
    return palette;
}

// ---- k-means refinement -----------------------------------------------------

struct Cluster {
    double w = 0, r = 0, g = 0, b = 0;
    quint32 dominant = 0;       // the heaviest colour of the cluster
    quint32 dominantWeight = 0;
};

std::vector<Cluster> assign(const std::vector<WeightedColour>& colours, const std::vector<Rgb>& palette,
                            quint32& worstColour)
{
    NearestColour nearest(palette);
    std::vector<Cluster> clusters(palette.size());
    double worst = -1;
    for (const WeightedColour& c : colours) {
        const Rgb p = toRgb(c.rgb);
        const int k = nearest(p);
        Cluster& cluster = clusters[k];
        const double w = c.weight;
        cluster.w += w;
        cluster.r += w * p.r;
        cluster.g += w * p.g;
        cluster.b += w * p.b;
        if (c.weight > cluster.dominantWeight || (c.weight == cluster.dominantWeight && c.rgb < cluster.dominant)) {
            cluster.dominant = c.rgb;
            cluster.dominantWeight = c.weight;
        }
        const double error = w * distance2(p, palette[k]);
        if (error > worst) {
            worst = error;
            worstColour = c.rgb;
        }
    }
    return clusters;
}

constexpr int kRefinementPasses = 4;

void refine(const std::vector<WeightedColour>& colours, std::vector<Rgb>& palette)
{
    for (int pass = 0; pass < kRefinementPasses; ++pass) {
        quint32 worstColour = 0;
        const std::vector<Cluster> clusters = assign(colours, palette, worstColour);
        bool changed = false;
        bool reseeded = false;
        for (std::size_t k = 0; k < palette.size(); ++k) {
            const Cluster& c = clusters[k];
            Rgb centre;
            if (c.w > 0) {
                centre = {int(std::lround(c.r / c.w)), int(std::lround(c.g / c.w)), int(std::lround(c.b / c.w))};
            } else if (!reseeded) {
                // An entry that serves no colour moves to the worst-served one.
                centre = toRgb(worstColour);
                reseeded = true;
            } else {
                continue;
            }
            changed |= !(centre == palette[k]);
            palette[k] = centre;
        }
        if (!changed)
            break;
    }
    // Keep a colour exactly where it holds at least half of its cluster.
    quint32 worstColour = 0;
    const std::vector<Cluster> clusters = assign(colours, palette, worstColour);
    for (std::size_t k = 0; k < palette.size(); ++k)
        if (clusters[k].w > 0 && 2.0 * clusters[k].dominantWeight >= clusters[k].w)
            palette[k] = toRgb(clusters[k].dominant);
}

} // namespace

bool lumaOrder(const Rgb& a, const Rgb& b)
{
    const int la = luma(a), lb = luma(b);
    if (la != lb)
        return la < lb;
    return std::tie(a.r, a.g, a.b) < std::tie(b.r, b.g, b.b);
}

void sortByLuma(std::vector<Rgb>& colours)
{
    std::sort(colours.begin(), colours.end(), lumaOrder);
}

std::vector<Rgb> choosePalette(const std::vector<WeightedColour>& colours, int maxColours)
{
    std::vector<Rgb> palette = splitPalette(colours, maxColours);
    refine(colours, palette);
    sortByLuma(palette);
    return palette;
}

int otsuThreshold(const std::array<quint64, 256>& histogram)
{
    double total = 0, sum = 0;
    for (int i = 0; i < 256; ++i) {
        total += double(histogram[i]);
        sum += double(i) * double(histogram[i]);
    }
    double darkWeight = 0, darkSum = 0, best = 0;
    int first = -1, last = -1; // the plateau of best separation
    for (int t = 0; t < 255; ++t) {
        darkWeight += double(histogram[t]);
        darkSum += double(t) * double(histogram[t]);
        const double lightWeight = total - darkWeight;
        if (darkWeight == 0 || lightWeight == 0)
            continue;
        const double difference = darkSum / darkWeight - (sum - darkSum) / lightWeight;
        const double between = darkWeight * lightWeight * difference * difference;
        if (between > best) {
            best = between;
            first = last = t;
        } else if (between == best && last == t - 1) {
            last = t;
        }
    }
    // One luma only: dark pixels stay black, light ones white. Otherwise the
    // middle of the best plateau, so that the gap between a text colour and
    // its background is split evenly.
    return first < 0 ? 127 : (first + last) / 2;
}

} // namespace palette
