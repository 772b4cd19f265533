#include "palette/IndexedRows.h"

#include "palette/ColourRuns.h"
#include "palette/Monochrome.h"
#include "palette/NearestColour.h"
#include "palette/PaletteChooser.h"
#include "palette/PixelRows.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

namespace palette {
namespace {

// Up to this many distinct colours are counted exactly (the table then takes
// 6 MB); a picture with more is summarised in a 6-bit-per-channel histogram.
constexpr std::size_t kMaxExactColours = std::size_t(1) << 18;
// Runs kept for packing: at most 16 MB of them.
constexpr std::size_t kMaxRuns = std::size_t(1) << 21;

std::vector<WeightedColour> coarseColours(PixelRows& rows, int width, int height)
{
    struct Cell {
        quint64 n = 0, r = 0, g = 0, b = 0;
    };
    std::vector<Cell> cells(1 << 18);
    for (int y = 0; y < height; ++y) {
        const quint32* p = rows.row(y);
        for (int x = 0; x < width; ++x) {
            const Rgb c = toRgb(p[x]);
            Cell& cell = cells[((c.r >> 2) << 12) | ((c.g >> 2) << 6) | (c.b >> 2)];
            ++cell.n;
            cell.r += c.r;
            cell.g += c.g;
            cell.b += c.b;
        }
    }
    std::vector<WeightedColour> colours;
    for (const Cell& cell : cells) {
        if (!cell.n)
            continue;
        const quint32 r = quint32((cell.r + cell.n / 2) / cell.n);
        const quint32 g = quint32((cell.g + cell.n / 2) / cell.n);
        const quint32 b = quint32((cell.b + cell.n / 2) / cell.n);
        colours.push_back({(r << 16) | (g << 8) | b, quint32(std::min<quint64>(cell.n, 0xFFFFFFFFu))});
    }
    return colours;
}

// The palette and the index of every pixel colour: by its number in the
// colour table, or searched with a cache in front.
class PixelMapper {
public:
    std::vector<Rgb> palette;

    int operator()(quint32 rgb)
    {
        switch (m_kind) {
        case Kind::Table:
            return ofNumber(m_table->numberOf(rgb));
        case Kind::Search:
            break;
        }
        quint32& slot = m_cache[(rgb * 0x9E3779B1u) >> (32 - kCacheBits)];
        if ((slot & PixelRows::kRgbMask) != rgb || slot == kEmpty)
            slot = rgb | quint32((*m_nearest)(toRgb(rgb))) << 24;
        return int(slot >> 24);
    }

    // The index of the colour with this number in the table.
    int ofNumber(quint32 number) const { return m_indexOf[number]; }

    // The colours of the table are the palette, darkest first.
    static PixelMapper exact(const ColourTable& table)
    {
        PixelMapper mapper(Kind::Table, table);
        for (quint32 n = 0; n < table.size(); ++n)
            mapper.palette.push_back(toRgb(table.colour(n)));
        sortByLuma(mapper.palette);
        for (quint32 n = 0; n < table.size(); ++n)
            mapper.m_indexOf[n] = quint8(std::lower_bound(mapper.palette.begin(), mapper.palette.end(),
                                                          toRgb(table.colour(n)), lumaOrder)
                                         - mapper.palette.begin());
        return mapper;
    }

    static PixelMapper adaptive(ColourTable& table, int entries)
    {
        std::vector<WeightedColour> colours;
        colours.reserve(table.size());
        for (quint32 n = 0; n < table.size(); ++n)
            colours.push_back({table.colour(n), table.count(n)});
        PixelMapper mapper(Kind::Table, table);
        mapper.palette = choosePalette(colours, entries);
        colours = {};
        NearestColour nearest(mapper.palette);
        for (quint32 n = 0; n < table.size(); ++n)
            mapper.m_indexOf[n] = quint8(nearest(toRgb(table.colour(n))));
        return mapper;
    }

    // Too many colours to list: a direct-mapped cache in front of the search.
    static PixelMapper searched(PixelRows& rows, int width, int height, int entries)
    {
        PixelMapper mapper(Kind::Search);
        mapper.palette = choosePalette(coarseColours(rows, width, height), entries);
        mapper.m_nearest = std::make_unique<NearestColour>(mapper.palette);
        mapper.m_cache.assign(std::size_t(1) << kCacheBits, kEmpty);
        return mapper;
    }

private:
    enum class Kind { Table, Search };
    static constexpr int kCacheBits = 18;
    static constexpr quint32 kEmpty = 0xFFFFFFFFu;

    explicit PixelMapper(Kind kind) : m_kind(kind) {}
    PixelMapper(Kind kind, const ColourTable& table) : m_kind(kind), m_table(&table), m_indexOf(table.size()) {}

    Kind m_kind;
    const ColourTable* m_table = nullptr;
    std::vector<quint8> m_indexOf; // by colour number
    std::unique_ptr<NearestColour> m_nearest;
    std::vector<quint32> m_cache;
};

// Sets the pixels [x, end) of a row to an index (below 8 bits the row is
// zeroed first): short runs pixel by pixel, long ones with their whole bytes
// at once.
template <int Bits>
void fill(quint8* row, int x, int end, int index)
{
    constexpr int kPerByte = 8 / Bits;
    const auto set = [&](int at) {
        if constexpr (Bits == 8)
            row[at] = quint8(index);
        else
            row[at / kPerByte] |= quint8(index << (8 - Bits - (at % kPerByte) * Bits));
    };
    if (end - x < 16) {
        for (; x < end; ++x)
            set(x);
        return;
    }
    for (; x % kPerByte; ++x)
        set(x);
    const int whole = (end - x) / kPerByte;
    quint8 byte = 0;
    for (int i = 0; i < kPerByte; ++i)
        byte = quint8(byte << Bits | index);
    std::memset(row + x / kPerByte, byte, std::size_t(whole));
    for (x += whole * kPerByte; x < end; ++x)
        set(x);
}

template <int Bits>
void packPixels(const quint32* source, int width, quint8* row, PixelMapper& mapping)
{
    forEachRun(source, width, [&](quint32 rgb, int x, int end) {
        fill<Bits>(row, x, end, mapping(rgb));
        return true;
    });
}

template <int Bits>
void packRuns(const ColourRuns::Run* run, const ColourRuns::Run* last, quint8* row, const PixelMapper& mapping)
{
    for (int x = 0; run != last; ++run) {
        fill<Bits>(row, x, int(run->end), mapping.ofNumber(run->number));
        x = int(run->end);
    }
}

// Packs row y of the picture into a row of the bitmap.
template <int Bits>
void packRow(PixelRows& rows, const ColourRuns& runs, int y, int width, quint8* row, PixelMapper& mapping)
{
    if (runs.kept())
        packRuns<Bits>(runs.begin(y), runs.end(y), row, mapping);
    else
        packPixels<Bits>(rows.row(y), width, row, mapping);
}

} // namespace

struct IndexedRows::Parts {
    Parts(const QImage& picture, int entries) : rows(picture), table(entries == 2 ? 2 : kMaxExactColours) {}

    PixelRows rows;
    ColourTable table;
    ColourRuns runs;
    std::optional<PixelMapper> mapping;
    std::optional<Monochrome> monochrome;
};

IndexedRows::IndexedRows(const QImage& picture, int width, int height, int entries)
    : m_parts(std::make_unique<Parts>(picture, entries)), m_width(width)
{
    Parts& p = *m_parts;
    if (!p.runs.count(p.rows, width, height, p.table, kMaxRuns)) {
        if (entries == 2)
            p.monochrome.emplace(picture, width, height);
        else
            p.mapping.emplace(PixelMapper::searched(p.rows, width, height, entries));
    } else {
        p.mapping.emplace(int(p.table.size()) <= entries ? PixelMapper::exact(p.table)
                                                         : PixelMapper::adaptive(p.table, entries));
    }
}

IndexedRows::~IndexedRows() = default;

const std::vector<Rgb>& IndexedRows::palette() const
{
    static const std::vector<Rgb> blackAndWhite{{0, 0, 0}, {255, 255, 255}};
    return m_parts->monochrome ? blackAndWhite : m_parts->mapping->palette;
}

void IndexedRows::pack(int y, int bits, quint8* row)
{
    Parts& p = *m_parts;
    if (p.monochrome)
        std::memcpy(row, p.monochrome->row(y), (std::size_t(m_width) + 7) / 8);
    else if (bits == 8)
        packRow<8>(p.rows, p.runs, y, m_width, row, *p.mapping);
    else if (bits == 4)
        packRow<4>(p.rows, p.runs, y, m_width, row, *p.mapping);
    else
        packRow<1>(p.rows, p.runs, y, m_width, row, *p.mapping);
}

} // namespace palette
