#include "palette/ColourCount.h"

#include "palette/PixelRows.h"

#include <algorithm>
#include <atomic>

namespace palette {
namespace {

// Rows whose runs of one colour are this long on average are read a run at
// a time.
constexpr int kLongRun = 8;

// Marks the colours of a row and gives how many of its pixels differ from
// the one before; with Count, counts its pixels by colour a run at a time
// instead, the counts then holding its colours. Four pixels at a time: where
// they continue a run, on to its end at once, and taken without a branch
// each where they do not.
template <bool Count>
int markRow(const quint32* row, int width, ColourSet::Marks& marks, RunCounts& counts)
{
    quint32 last = ~row[0] & PixelRows::kRgbMask;
    int changes = 0, runStart = 0, x = 0;
    const auto markOne = [&](quint32 pixel, int at) {
        const quint32 rgb = pixel & PixelRows::kRgbMask;
        if constexpr (Count) {
            if (rgb != last && at > runStart) {
                counts.add(last, quint32(at - runStart));
                runStart = at;
            }
        } else {
            ColourSet::mark(marks, rgb);
        }
        changes += rgb != last;
        last = rgb;
    };
    for (; x + 4 <= width; x += 4) {
        if (((row[x] ^ last) | (row[x + 1] ^ last) | (row[x + 2] ^ last) | (row[x + 3] ^ last)) & PixelRows::kRgbMask) {
            markOne(row[x], x);
            markOne(row[x + 1], x + 1);
            markOne(row[x + 2], x + 2);
            markOne(row[x + 3], x + 3);
        } else {
            // On to the end of the run, the next four from there.
            x = runEnd(row, x + 4, width, last) - 4;
        }
    }
    for (; x < width; ++x)
        markOne(row[x], x);
    if constexpr (Count) {
        counts.add(last, quint32(width - runStart));
        // A row where most pixels differ from the one before is a
        // photograph's: counting by rank costs less there.
        if (changes > width / 2)
            counts.stop();
    }
    return changes;
}

// The same for a row of a photograph, where most pixels differ from the
// one before: pixel by pixel, as four at a time seldom continue a run.
int markPhotoRow(const quint32* row, int width, ColourSet::Marks& marks)
{
    quint32 last = ~row[0] & PixelRows::kRgbMask;
    int changes = 0;
    for (int x = 0; x < width; ++x) {
        const quint32 rgb = row[x] & PixelRows::kRgbMask;
        ColourSet::mark(marks, rgb);
        changes += rgb != last;
        last = rgb;
    }
    return changes;
}

// Clears the marks and marks the colours counted so far.
void markCounted(ColourSet::Marks& marks, const RunCounts& counts)
{
    ColourSet::clear(marks);
    counts.forEach([&](quint32 rgb, quint32) { ColourSet::mark(marks, rgb); });
}

template <bool Instruction>
void countRows(const QImage& picture, int width, int first, int last, const PictureColours& b, quint32* counts)
{
    forEachColourIn(picture, width, first, last, b.longRuns,
                    [&](quint32 rgb, int x, int end) { counts[b.set.rank<Instruction>(rgb)] += quint32(end - x); });
}

[[QORIX_BIT_COUNT_BUILD]] void countRowsByInstruction(const QImage& picture, int width, int first, int last,
                                                      const PictureColours& b, quint32* counts)
{
    countRows<true>(picture, width, first, last, b, counts);
}

} // namespace

bool PictureColours::counted() const
{
    return std::none_of(runCounts.begin(), runCounts.end(), [](const RunCounts& c) { return c.stopped(); });
}

PictureColours countColours(const QImage& picture, int width, int height, int parts, ThreadPool& pool,
                            std::pmr::memory_resource* memory)
{
    PictureColours b(memory);
    // Freed once the set is made, before counting needs its memory.
    std::vector<ColourSet::Marks> partMarks;
    for (int part = 0; part < parts; ++part)
        partMarks.emplace_back(memory);
    b.runCounts.assign(std::size_t(parts), RunCounts());
    std::atomic<bool> tooMany = false;
    b.longRuns.resize(std::size_t(height));
    pool.forEachPart(height, parts, [&](int first, int last, int part) {
        ColourSet::Marks& marks = partMarks[std::size_t(part)];
        RunCounts& counts = b.runCounts[std::size_t(part)];
        PixelRows rows(picture);
        int changes = 0; // in the row before
        for (int y = first; y < last; ++y) {
            const quint32* row = rows.row(y);
            if (counts.stopped()) {
                changes = changes > width / 2 ? markPhotoRow(row, width, marks) : markRow<false>(row, width, marks, counts);
                b.longRuns[std::size_t(y)] = changes <= width / kLongRun;
                continue;
            }
            changes = markRow<true>(row, width, marks, counts);
            b.longRuns[std::size_t(y)] = changes <= width / kLongRun;
            // One part with too many colours is enough: the counts of all
            // are then made by rank.
            if (counts.stopped())
                tooMany.store(true, std::memory_order_relaxed);
            else if (tooMany.load(std::memory_order_relaxed))
                counts.stop();
            if (counts.stopped()) {
                // Counting may have stopped before the row's last colours.
                markCounted(marks, counts);
                markRow<false>(row, width, marks, counts);
            }
        }
    });
    if (b.counted()) {
        std::vector<quint32> colours;
        for (const RunCounts& counts : b.runCounts)
            counts.forEach([&](quint32 rgb, quint32) { colours.push_back(rgb); });
        std::sort(colours.begin(), colours.end());
        b.set.assign(colours);
        return b;
    }
    for (std::size_t part = 0; part < partMarks.size(); ++part)
        if (!b.runCounts[part].stopped())
            markCounted(partMarks[part], b.runCounts[part]);
    b.set.assign(partMarks);
    return b;
}


std::vector<WeightedColour> weighColours(const QImage& picture, int width, int height, const PictureColours& b,
                                         int parts, bool bitCountInstruction, ThreadPool& pool,
                                         std::pmr::memory_resource* memory)
{
    const quint32 distinct = b.set.size();
    std::vector<std::pmr::vector<quint32>> partCounts;
    for (int part = 0; part < parts; ++part)
        partCounts.emplace_back(memory);
    pool.forEachPart(height, parts, [&](int first, int last, int part) {
        std::pmr::vector<quint32>& counts = partCounts[std::size_t(part)];
        counts.assign(distinct, 0);
        if (b.counted())
            b.runCounts[std::size_t(part)].forEach([&](quint32 rgb, quint32 count) { counts[b.set.rank(rgb)] += count; });
        else if (bitCountInstruction)
            countRowsByInstruction(picture, width, first, last, b, counts.data());
        else
            countRows<false>(picture, width, first, last, b, counts.data());
    });
    // The parts' counts added up on every thread, each adding up the
    // colours of its share of the set's words: the counts are too many to
    // add up on one.
    std::vector<WeightedColour> colours(distinct);
    pool.forEachPart(int(distinct), parts, [&](int first, int last, int) {
        b.set.forEach(b.set.wordFrom(quint32(first)), b.set.wordFrom(quint32(last)), [&](quint32 rank, quint32 rgb) {
            quint64 total = 0;
            for (const std::pmr::vector<quint32>& counts : partCounts)
                total += counts[rank];
            colours[rank] = {rgb, quint32(std::min<quint64>(total, 0xFFFFFFFFu))};
        });
    });
    return colours;
}

} // namespace palette
