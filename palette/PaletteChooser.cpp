#include "palette/PaletteChooser.h"

#include "palette/Parallel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

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

    // Squared error about the mean.
    double error() const { return w > 0 ? q - (r * r + g * g + b * b) / w : 0; }
    double squaredMeans() const { return w > 0 ? (r * r + g * g + b * b) / w : 0; }
    Rgb mean() const { return {int(std::lround(r / w)), int(std::lround(g / w)), int(std::lround(b / w))}; }
};

int channel(const Rgb& p, int axis)
{
    return axis == 0 ? p.r : (axis == 1 ? p.g : p.b);
}

// The sums of the colours of one value on an axis, in whole numbers. Any
// picture's sums stay below 2^53, so they are exact as doubles too and equal
// the sums of its colours added one by one, and a difference of them is the
// sum of the colours left. Not cleared when made: a box clears only the
// values it spans.
struct Bin {
    quint64 w, r, g, b;

    void add(const Bin& other)
    {
        w += other.w;
        r += other.r;
        g += other.g;
        b += other.b;
    }
    void subtract(const Bin& other)
    {
        w -= other.w;
        r -= other.r;
        g -= other.g;
        b -= other.b;
    }
    Sums sums(double q) const { return {double(w), double(r), double(g), double(b), q}; }
};

using AxisBins = std::array<std::array<Bin, 256>, 3>;

quint64 weightedSquares(const WeightedColour& c)
{
    const Rgb p = toRgb(c.rgb);
    return quint64(c.weight) * quint64(p.r * p.r + p.g * p.g + p.b * p.b);
}

// Bins no box holds, for the next to need them: fresh memory costs a page
// fault for every 4 KB.
class SpareBins {
public:
    std::unique_ptr<AxisBins> take()
    {
        if (m_spare.empty())
            return std::make_unique_for_overwrite<AxisBins>();
        std::unique_ptr<AxisBins> bins = std::move(m_spare.back());
        m_spare.pop_back();
        return bins;
    }
    void give(std::unique_ptr<AxisBins> bins) { m_spare.push_back(std::move(bins)); }

private:
    std::vector<std::unique_ptr<AxisBins>> m_spare;
};

// A box of at least this many colours keeps its bins until it is cut;
// summing a smaller one's colours again costs less than holding them.
constexpr std::size_t kKeepBins = 2048;

// A box is a range of the colour list and the values of each channel that
// its colours may take; a large one also has its colours summed by value on
// each axis.
struct Box {
    std::size_t first, last; // the colours [first, last)
    Sums sums;
    std::array<int, 3> lowest{0, 0, 0}, highest{255, 255, 255};
    std::unique_ptr<AxisBins> bins{};

    std::size_t size() const { return last - first; }

    // Sums the box's colours into bins, in one pass; gives the sum of their
    // weighted squares. A large box is summed on every core, each part into
    // bins of its own, added up after: whole numbers, so in any order.
    quint64 fillBins(const std::vector<WeightedColour>& colours, std::unique_ptr<AxisBins> room, ThreadPool& pool)
    {
        struct Summed {
            std::unique_ptr<AxisBins> bins;
            quint64 squares = 0;
        };
        Summed all = pool.mapMerge(
            int(size()), size() >= kSummedByParts ? pool.count() : 1,
            [&](int part) { return Summed{part ? std::make_unique<AxisBins>() : std::move(room)}; },
            [&](int from, int to, Summed& mine) {
                clear(*mine.bins);
                mine.squares = add(colours, first + std::size_t(from), first + std::size_t(to), *mine.bins);
            },
            [&](Summed& total, const Summed& more) {
                for (std::size_t axis = 0; axis < 3; ++axis)
                    for (int v = lowest[axis]; v <= highest[axis]; ++v)
                        (*total.bins)[axis][std::size_t(v)].add((*more.bins)[axis][std::size_t(v)]);
                total.squares += more.squares;
            });
        bins = std::move(all.bins);
        return all.squares;
    }

private:
    static constexpr std::size_t kSummedByParts = 16384;

    // Clears the bins of the values the box spans.
    void clear(AxisBins& byAxis) const
    {
        for (std::size_t axis = 0; axis < 3; ++axis)
            std::fill(byAxis[axis].begin() + lowest[axis], byAxis[axis].begin() + highest[axis] + 1, Bin{});
    }
    // Adds the colours [from, to) to the bins; gives their weighted squares.
    static quint64 add(const std::vector<WeightedColour>& colours, std::size_t from, std::size_t to, AxisBins& byAxis)
    {
        quint64 squares = 0;
        for (std::size_t i = from; i < to; ++i) {
            const Rgb p = toRgb(colours[i].rgb);
            const quint64 w = colours[i].weight;
            const Bin colour{w, w * quint64(p.r), w * quint64(p.g), w * quint64(p.b)};
            byAxis[0][std::size_t(p.r)].add(colour);
            byAxis[1][std::size_t(p.g)].add(colour);
            byAxis[2][std::size_t(p.b)].add(colour);
            squares += weightedSquares(colours[i]);
        }
        return squares;
    }
};

// Cuts a box in two at the value along one axis that leaves the least squared
// error. False when all its colours are equal. Where the larger half keeps
// bins, only the smaller half's colours are summed again: the larger half's
// bins are the box's less the smaller's on the axes not cut, and the box's on
// the axis cut.
bool split(std::vector<WeightedColour>& colours, Box& box, Box& other, SpareBins& spare, ThreadPool& pool)
{
    if (!box.bins)
        box.fillBins(colours, spare.take(), pool);
    double best = box.sums.squaredMeans();
    int bestAxis = -1, bestValue = 0;
    const AxisBins& byAxis = *box.bins;
    for (int axis = 0; axis < 3; ++axis) {
        const std::array<Bin, 256>& bins = byAxis[std::size_t(axis)];
        Sums low;
        for (int v = box.lowest[std::size_t(axis)]; v < box.highest[std::size_t(axis)]; ++v) {
            if (bins[v].w == 0)
                continue;
            low.w += double(bins[v].w);
            low.r += double(bins[v].r);
            low.g += double(bins[v].g);
            low.b += double(bins[v].b);
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
    if (bestAxis < 0) {
        spare.give(std::move(box.bins));
        return false;
    }
    const auto axis = std::size_t(bestAxis);
    const auto middle = std::partition(colours.begin() + std::ptrdiff_t(box.first), colours.begin() + std::ptrdiff_t(box.last),
                                       [&](const WeightedColour& c) { return channel(toRgb(c.rgb), bestAxis) <= bestValue; });
    Bin low{}, high{};
    for (int v = box.lowest[axis]; v <= box.highest[axis]; ++v)
        (v <= bestValue ? low : high).add(byAxis[axis][std::size_t(v)]);
    other = {std::size_t(middle - colours.begin()), box.last, {}, box.lowest, box.highest, {}};
    other.lowest[axis] = bestValue + 1;
    box.last = other.first;
    box.highest[axis] = bestValue;
    const bool lowSmaller = box.size() <= other.size();
    Box& smaller = lowSmaller ? box : other;
    Box& larger = lowSmaller ? other : box;
    std::unique_ptr<AxisBins> bins = std::move(box.bins);
    quint64 smallerSquares = 0;
    if (larger.size() >= kKeepBins) {
        smallerSquares = smaller.fillBins(colours, spare.take(), pool);
        larger.bins = std::move(bins);
        for (std::size_t a = 0; a < 3; ++a)
            if (a != axis)
                for (int v = larger.lowest[a]; v <= larger.highest[a]; ++v)
                    (*larger.bins)[a][std::size_t(v)].subtract((*smaller.bins)[a][std::size_t(v)]);
        if (smaller.size() < kKeepBins)
            spare.give(std::move(smaller.bins));
    } else {
        spare.give(std::move(bins));
        for (std::size_t i = smaller.first; i < smaller.last; ++i)
            smallerSquares += weightedSquares(colours[i]);
    }
    const double lowSquares = double(lowSmaller ? smallerSquares : quint64(box.sums.q) - smallerSquares);
    other.sums = high.sums(box.sums.q - lowSquares);
    box.sums = low.sums(lowSquares);
    return true;
}

} // namespace

std::vector<Rgb> splitPalette(std::vector<WeightedColour> colours, int maxColours)
{
    ThreadPool one(1);
    return splitPalette(std::move(colours), maxColours, one);
}

std::vector<Rgb> splitPalette(std::vector<WeightedColour> colours, int maxColours, ThreadPool& pool)
{
    SpareBins spare;
    Box all{0, colours.size(), {}};
    // The sums of all colours are those of their bins on any axis.
    const quint64 squares = all.fillBins(colours, spare.take(), pool);
    Bin total{};
    for (const Bin& bin : (*all.bins)[0])
        total.add(bin);
    all.sums = total.sums(double(squares));
    std::vector<double> error{all.sums.error()};
    std::vector<Box> boxes;
    boxes.push_back(std::move(all));
    while (int(boxes.size()) < maxColours) {
        const auto next = std::size_t(std::max_element(error.begin(), error.end()) - error.begin());
        if (error[next] <= 0)
            break;
        Box other{};
        if (!split(colours, boxes[next], other, spare, pool)) {
            error[next] = 0;
            continue;
        }
        error[next] = boxes[next].sums.error();
        error.push_back(other.sums.error());
        boxes.push_back(std::move(other));
    }
    std::vector<Rgb> palette;
    for (const Box& box : boxes)
        palette.push_back(box.sums.mean());
    return palette;
}

namespace {

// ---- k-means refinement -----------------------------------------------------

struct Cluster {
    double w = 0, r = 0, g = 0, b = 0;
    quint32 dominant = 0;       // the heaviest colour of the cluster
    quint32 dominantWeight = 0;

    // Keeps the heavier colour as the dominant one, the lower value of equal ones.
    void take(quint32 rgb, quint32 weight)
    {
        if (weight > dominantWeight || (weight == dominantWeight && rgb < dominant)) {
            dominant = rgb;
            dominantWeight = weight;
        }
    }
};

// A list shorter than this is not split over the pool.
constexpr int kMinPartColours = 8192;

// Each colour's nearest entry of the palette, kept from one pass of k-means
// to the next. Where an entry is less than half as far from a colour as
// from any other entry, by the triangle inequality no other entry can be as
// near to that colour: a colour that is that near to the entry it had
// before keeps it without a search: a quarter to a third of a
// photograph's colours in each pass after the first.
class Nearest {
public:
    // With keep false, every colour is searched for.
    explicit Nearest(bool keep) : m_keep(keep) {}

    // Before a pass over the colours with another palette.
    void start(const std::vector<Rgb>& palette, std::size_t colours)
    {
        // After the first pass, every colour's entry is known.
        m_known = m_keep && m_entry.size() == colours;
        if (m_keep)
            m_entry.resize(colours);
        m_clear.assign(palette.size(), std::numeric_limits<int>::max());
        for (std::size_t k = 0; k < palette.size(); ++k)
            for (std::size_t j = 0; j < palette.size(); ++j)
                if (j != k)
                    m_clear[k] = std::min(m_clear[k], distance2(palette[k], palette[j]));
    }
    // The nearest entry to colour i, p, of the palette given to start.
    int of(std::size_t i, const Rgb& p, NearestColour& search)
    {
        if (m_known) {
            const int had = m_entry[i];
            // Squared: twice the distance less than the nearest other entry's.
            if (4 * distance2(p, search.palette()[std::size_t(had)]) < m_clear[std::size_t(had)])
                return had;
        }
        const int k = search(p);
        if (m_keep)
            m_entry[i] = quint8(k);
        return k;
    }

private:
    bool m_keep;
    bool m_known = false; // whether m_entry holds every colour's entry
    std::vector<int> m_clear; // by entry: the squared distance to the nearest other
    std::vector<quint8> m_entry; // by colour
};

// The clusters of the palette's entries: each colour joins its nearest, the
// parts of the list on their own threads. Sums of whole numbers are exact in
// doubles, and the parts are joined in order, so the result does not depend
// on how the list is split. With FindWorst, also the colour served worst:
// the first of largest weighted squared error.
template <bool FindWorst>
std::vector<Cluster> assign(const std::vector<WeightedColour>& colours, const std::vector<Rgb>& palette,
                            quint32& worstColour, ThreadPool& pool, Nearest& nearestOf)
{
    struct Clusters {
        std::vector<Cluster> clusters;
        double worst = -1;
        quint32 worstColour = 0;
    };
    const int count = int(colours.size());
    nearestOf.start(palette, colours.size());
    Clusters all = pool.mapMerge(
        count, partsFor(count, kMinPartColours, pool.count()),
        [&](int) { return Clusters{std::vector<Cluster>(palette.size())}; },
        [&](int first, int last, Clusters& mine) {
            NearestColour nearest(palette);
            for (int i = first; i < last; ++i) {
                const WeightedColour& c = colours[std::size_t(i)];
                const Rgb p = toRgb(c.rgb);
                const int k = nearestOf.of(std::size_t(i), p, nearest);
                Cluster& cluster = mine.clusters[std::size_t(k)];
                const double w = c.weight;
                cluster.w += w;
                cluster.r += w * p.r;
                cluster.g += w * p.g;
                cluster.b += w * p.b;
                cluster.take(c.rgb, c.weight);
                if constexpr (FindWorst) {
                    const double error = w * distance2(p, palette[std::size_t(k)]);
                    if (error > mine.worst) {
                        mine.worst = error;
                        mine.worstColour = c.rgb;
                    }
                }
            }
        },
        [&](Clusters& total, const Clusters& more) {
            for (std::size_t k = 0; k < palette.size(); ++k) {
                Cluster& into = total.clusters[k];
                const Cluster& from = more.clusters[k];
                into.w += from.w;
                into.r += from.r;
                into.g += from.g;
                into.b += from.b;
                into.take(from.dominant, from.dominantWeight);
            }
            if (more.worst > total.worst) {
                total.worst = more.worst;
                total.worstColour = more.worstColour;
            }
        });
    worstColour = all.worstColour;
    return std::move(all.clusters);
}

constexpr int kRefinementPasses = 4;

void refine(const std::vector<WeightedColour>& colours, std::vector<Rgb>& palette, ThreadPool& pool, EntrySearch search)
{
    Nearest nearest(search == EntrySearch::KeepNearest);
    for (int pass = 0; pass < kRefinementPasses; ++pass) {
        quint32 worstColour = 0;
        const std::vector<Cluster> clusters = assign<false>(colours, palette, worstColour, pool, nearest);
        // Looked for only when an entry serves no colour, in a pass of its own.
        if (std::any_of(clusters.begin(), clusters.end(), [](const Cluster& c) { return c.w == 0; }))
            assign<true>(colours, palette, worstColour, pool, nearest);
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
    const std::vector<Cluster> clusters = assign<false>(colours, palette, worstColour, pool, nearest);
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

std::vector<Rgb> choosePalette(const std::vector<WeightedColour>& colours, int maxColours, EntrySearch search)
{
    ThreadPool pool(partsFor(int(colours.size()), kMinPartColours));
    return choosePalette(colours, maxColours, pool, search);
}

std::vector<Rgb> choosePalette(const std::vector<WeightedColour>& colours, int maxColours, ThreadPool& pool,
                               EntrySearch search)
{
    std::vector<Rgb> palette = splitPalette(colours, maxColours, pool);
    refine(colours, palette, pool, search);
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
