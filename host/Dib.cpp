#include "host/Dib.h"

#include "host/ColourTable.h"
#include "host/NearestColour.h"
#include "host/PaletteChooser.h"
#include "host/PixelRows.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace host {
namespace {

// Up to this many distinct colours are counted exactly (the table then takes
// 4 MB); a picture with more is summarised in a 6-bit-per-channel histogram.
constexpr std::size_t kMaxExactColours = std::size_t(1) << 18;

// Counts the distinct colours, one run of equal pixels at a time. False when
// the table is full.
bool countColours(PixelRows& rows, int width, int height, ColourTable& table)
{
    for (int y = 0; y < height; ++y) {
        const quint32* p = rows.row(y);
        quint32 run = p[0] & PixelRows::kRgbMask;
        quint32 length = 1;
        for (int x = 1; x < width; ++x) {
            const quint32 rgb = p[x] & PixelRows::kRgbMask;
            if (rgb == run) {
                ++length;
                continue;
            }
            if (!table.add(run, length))
                return false;
            run = rgb;
            length = 1;
        }
        if (!table.add(run, length))
            return false;
    }
    return true;
}

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

// The palette and the index of every pixel colour: looked up in the colour
// table, split by luma, or searched with a cache in front.
class PixelMapper {
public:
    std::vector<Rgb> palette;

    int operator()(quint32 rgb)
    {
        switch (m_kind) {
        case Kind::Table:
            return int(m_table->value(rgb));
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

    // The colours of the table are the palette, darkest first.
    static PixelMapper exact(ColourTable& table)
    {
        PixelMapper mapper(Kind::Table);
        table.forEach([&](quint32 rgb, quint32&) { mapper.palette.push_back(toRgb(rgb)); });
        sortByLuma(mapper.palette);
        for (std::size_t i = 0; i < mapper.palette.size(); ++i) {
            const Rgb& c = mapper.palette[i];
            table.value(quint32(c.r << 16 | c.g << 8 | c.b)) = quint32(i);
        }
        mapper.m_table = &table;
        return mapper;
    }

    static PixelMapper blackAndWhite(PixelRows& rows, int width, int height)
    {
        std::array<quint64, 256> histogram{};
        for (int y = 0; y < height; ++y) {
            const quint32* p = rows.row(y);
            for (int x = 0; x < width; ++x)
                ++histogram[luma(toRgb(p[x]))];
        }
        PixelMapper mapper(Kind::Luma);
        mapper.palette = {{0, 0, 0}, {255, 255, 255}};
        mapper.m_threshold = otsuThreshold(histogram);
        return mapper;
    }

    static PixelMapper adaptive(PixelRows& rows, int width, int height, ColourTable& table, bool counted, int entries)
    {
        std::vector<WeightedColour> colours;
        if (counted) {
            colours.reserve(table.size());
            table.forEach([&](quint32 rgb, quint32& count) { colours.push_back({rgb, count}); });
        } else {
            colours = coarseColours(rows, width, height);
        }
        PixelMapper mapper(counted ? Kind::Table : Kind::Search);
        mapper.palette = choosePalette(colours, entries);
        colours = {};
        mapper.m_nearest = std::make_unique<NearestColour>(mapper.palette);
        if (counted) {
            table.forEach([&](quint32 rgb, quint32& value) { value = quint32((*mapper.m_nearest)(toRgb(rgb))); });
            mapper.m_table = &table;
        } else {
            // Too many colours to list: a direct-mapped cache in front of the search.
            mapper.m_cache.assign(std::size_t(1) << kCacheBits, kEmpty);
        }
        return mapper;
    }

private:
    enum class Kind { Table, Luma, Search };
    static constexpr int kCacheBits = 18;
    static constexpr quint32 kEmpty = 0xFFFFFFFFu;

    explicit PixelMapper(Kind kind) : m_kind(kind) {}

    Kind m_kind;
    ColourTable* m_table = nullptr;
    int m_threshold = 127;
    std::unique_ptr<NearestColour> m_nearest;
    std::vector<quint32> m_cache;
};

template <int Bits>
void packRow(const quint32* source, int width, quint8* row, PixelMapper& index)
{
    quint32 last = ~0u;
    int lastIndex = 0;
    for (int x = 0; x < width; ++x) {
        const quint32 rgb = source[x] & PixelRows::kRgbMask;
        if (rgb != last) {
            last = rgb;
            lastIndex = index(rgb);
        }
        if constexpr (Bits == 8)
            row[x] = quint8(lastIndex);
        else if constexpr (Bits == 4)
            row[x >> 1] |= quint8(lastIndex << ((x & 1) ? 0 : 4));
        else
            row[x >> 3] |= quint8(lastIndex << (7 - (x & 7)));
    }
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
    const bool counted = countColours(rows, width, picturedRows, table);
    PixelMapper mapping = counted && int(table.size()) <= entries ? PixelMapper::exact(table)
                          : entries == 2 ? PixelMapper::blackAndWhite(rows, width, picturedRows)
                                         : PixelMapper::adaptive(rows, width, picturedRows, table, counted, entries);

    std::fill_n(colours, entries, RGBQUAD{});
    for (std::size_t i = 0; i < mapping.palette.size(); ++i)
        colours[i] = {quint8(mapping.palette[i].b), quint8(mapping.palette[i].g), quint8(mapping.palette[i].r), 0};

    auto* out = static_cast<quint8*>(bits);
    for (int line = 0; line < lines; ++line) {
        quint8* row = out + qint64(line) * stride;
        std::memset(row, 0, std::size_t(stride));
        // Line 0 is the bottom row of the picture.
        const int y = height - 1 - (int(startScan) + line);
        if (y >= picturedRows)
            continue;
        const quint32* source = rows.row(y);
        if (bpp == 8)
            packRow<8>(source, width, row, mapping);
        else if (bpp == 4)
            packRow<4>(source, width, row, mapping);
        else
            packRow<1>(source, width, row, mapping);
    }
    return lines;
}

} // namespace host
