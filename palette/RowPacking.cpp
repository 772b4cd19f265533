#include "palette/RowPacking.h"

#include "palette/PixelRows.h"

#include <cstring>
#include <utility>

namespace palette {
namespace {

// Sets the pixels [x, end) of a row to an index (below 8 bits the row is
// zero before): the pixels of its first and last bytes one by one, the
// bytes between whole, with a call for a long run.
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
    for (; x < end && x % kPerByte; ++x)
        set(x);
    const int whole = (end - x) / kPerByte;
    if (whole > 0) {
        quint8 byte = 0;
        for (int i = 0; i < kPerByte; ++i)
            byte = quint8(byte << Bits | index);
        quint8* at = row + x / kPerByte;
        if (whole < 16)
            for (int i = 0; i < whole; ++i)
                at[i] = byte;
        else
            std::memset(at, byte, std::size_t(whole));
        x += whole * kPerByte;
    }
    for (; x < end; ++x)
        set(x);
}

template <int Bits, class IndexOf>
void packRowsOf(const QImage& picture, int width, int first, int last, const std::vector<quint8>& longRuns,
                const std::function<quint8*(int)>& rowOf, IndexOf indexOf)
{
    // One reader for all the rows: a picture of another format is converted
    // a block of rows at a time.
    PixelRows rows(picture);
    for (int y = first; y < last; ++y) {
        quint8* row = rowOf(y);
        const quint32* pixels = rows.row(y);
        if (longRuns[std::size_t(y)]) {
            forEachColourOf(pixels, width, true, [&](quint32 rgb, int x, int end) { fill<Bits>(row, x, end, indexOf(rgb)); });
            continue;
        }
        // Pixel by pixel, a whole byte at a time, its pixels' look-ups
        // unrolled and combined at the end, so that none waits on another.
        constexpr int kPerByte = 8 / Bits;
        const int whole = width / kPerByte;
        for (int i = 0; i < whole; ++i) {
            const quint32* p = pixels + i * kPerByte;
            row[i] = [&]<int... K>(std::integer_sequence<int, K...>) {
                return quint8(((indexOf(p[K]) << (8 - Bits * (K + 1))) | ...));
            }(std::make_integer_sequence<int, kPerByte>());
        }
        for (int x = whole * kPerByte; x < width; ++x)
            fill<Bits>(row, x, x + 1, indexOf(pixels[x]));
    }
}

template <class IndexOf>
void packRowsAtBits(int bits, const QImage& picture, int width, int first, int last, const std::vector<quint8>& longRuns,
              const std::function<quint8*(int)>& rowOf, IndexOf indexOf)
{
    if (bits == 8)
        packRowsOf<8>(picture, width, first, last, longRuns, rowOf, indexOf);
    else if (bits == 4)
        packRowsOf<4>(picture, width, first, last, longRuns, rowOf, indexOf);
    else
        packRowsOf<1>(picture, width, first, last, longRuns, rowOf, indexOf);
}

template <bool Instruction>
void packWithLookup(const QImage& picture, int width, int first, int last, int bits, const IndexTable& indices,
                    const std::vector<quint8>& longRuns, const std::function<quint8*(int)>& rowOf)
{
    indices.withLookup<Instruction>(
        [&](auto indexOf) { packRowsAtBits(bits, picture, width, first, last, longRuns, rowOf, indexOf); });
}

[[QORIX_BIT_COUNT_BUILD]] void packByInstruction(const QImage& picture, int width, int first, int last, int bits,
                                                 const IndexTable& indices, const std::vector<quint8>& longRuns,
                                                 const std::function<quint8*(int)>& rowOf)
{
    packWithLookup<true>(picture, width, first, last, bits, indices, longRuns, rowOf);
}

} // namespace

void packRows(const QImage& picture, int width, int first, int last, int bits, const IndexTable& indices,
              const std::vector<quint8>& longRuns, bool bitCountInstruction,
              const std::function<quint8*(int y)>& rowOf)
{
    if (bitCountInstruction && !indices.byColour())
        packByInstruction(picture, width, first, last, bits, indices, longRuns, rowOf);
    else
        packWithLookup<false>(picture, width, first, last, bits, indices, longRuns, rowOf);
}

} // namespace palette
