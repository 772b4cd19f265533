#include "host/Dib.h"

#include "host/ColourRuns.h"
#include "host/NearestColour.h"
#include "host/PaletteChooser.h"
#include "host/PixelRows.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace host {
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
// colour table, split by luma, or searched with a cache in front.
class PixelMapper {
public:
    std::vector<Rgb> palette;

    int operator()(quint32 rgb)
    {
        switch (m_kind) {
        case Kind::Table:
            return ofNumber(m_table->numberOf(rgb));
        case Kind::Luma:
            return luma(toRgb(rgb)) > m_threshold ? 1 : 0;
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

    static PixelMapper blackAndWhite(PixelRows& rows, int width, int height)
    {
        std::array<quint64, 256> histogram{};
        for (int y = 0; y < height; ++y) {
            forEachRun(rows.row(y), width, [&](quint32 rgb, int x, int end) {
                histogram[luma(toRgb(rgb))] += quint64(end - x);
                return true;
            });
        }
        PixelMapper mapper(Kind::Luma);
        mapper.palette = {{0, 0, 0}, {255, 255, 255}};
        mapper.m_threshold = otsuThreshold(histogram);
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
    enum class Kind { Table, Luma, Search };
    static constexpr int kCacheBits = 18;
    static constexpr quint32 kEmpty = 0xFFFFFFFFu;

    explicit PixelMapper(Kind kind) : m_kind(kind) {}
    PixelMapper(Kind kind, const ColourTable& table) : m_kind(kind), m_table(&table), m_indexOf(table.size()) {}

    Kind m_kind;
    const ColourTable* m_table = nullptr;
    std::vector<quint8> m_indexOf; // by colour number
    int m_threshold = 127;
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

qint64 dibStride(qint64 width, int bitsPerPixel)
{
    return (width * bitsPerPixel + 31) / 32 * 4;
}

int GetDIBits(const QImage& bitmap, quint32 startScan, quint32 scanLines, void* bits,
              const BITMAPINFOHEADER& header, RGBQUAD* colours, quint32 usage)
{
    const int bpp = header.biBitCount;
    if ((bpp != 1 && bpp != 4 && bpp != 8) || usage != DIB_RGB_COLORS || header.biWidth <= 0
        || header.biHeight <= 0 || bitmap.isNull() || !bits || !colours)
        return 0;
    const int entries = 1 << bpp;
    const qint64 stride = dibStride(header.biWidth, bpp);
    const int height = header.biHeight;
    if (qint64(startScan) >= height)
        return 0;
    const int lines = int(std::min<qint64>(scanLines, height - qint64(startScan)));
    // Only the part of the bitmap that the header covers is read.
    const int width = std::min(header.biWidth, bitmap.width());
    const int picturedRows = std::min(height, bitmap.height());

    PixelRows rows(bitmap);
    ColourTable table(entries == 2 ? 2 : kMaxExactColours);
    ColourRuns runs;
    PixelMapper mapping = !runs.count(rows, width, picturedRows, table, kMaxRuns)
                              ? (entries == 2 ? PixelMapper::blackAndWhite(rows, width, picturedRows)
                                              : PixelMapper::searched(rows, width, picturedRows, entries))
                          : int(table.size()) <= entries ? PixelMapper::exact(table)
                                                         : PixelMapper::adaptive(table, entries);

    std::fill_n(colours, entries, RGBQUAD{});
    for (std::size_t i = 0; i < mapping.palette.size(); ++i)
        colours[i] = {quint8(mapping.palette[i].b), quint8(mapping.palette[i].g), quint8(mapping.palette[i].r), 0};

    auto* out = static_cast<quint8*>(bits);
    for (int line = 0; line < lines; ++line) {
        quint8* row = out + qint64(line) * stride;
        // Line 0 is the bottom row of the picture.
        const int y = height - 1 - (int(startScan) + line);
        // At 8 bits every pixel of a pictured row is stored; the rest is zero.
        const int stored = bpp == 8 && y < picturedRows ? width : 0;
        std::memset(row + stored, 0, std::size_t(stride - stored));
        if (y >= picturedRows)
            continue;
        if (bpp == 8)
            packRow<8>(rows, runs, y, width, row, mapping);
        else if (bpp == 4)
            packRow<4>(rows, runs, y, width, row, mapping);
        else
            packRow<1>(rows, runs, y, width, row, mapping);
    }
    return lines;
}

} // namespace host
