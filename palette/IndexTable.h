#pragma once

#include "palette/ColourSet.h"
#include "palette/NearestColour.h"
#include "palette/Parallel.h"
#include "palette/PixelRows.h"

#include <vector>

// The fourth stage of a conversion to a palette: the palette index of each
// of the picture's colours.
namespace palette {

// The indices by the rank of each colour, or, where a picture has many
// colours, by the colour itself in a table of a byte per colour (which the
// caller keeps from one conversion to the next): one read per pixel, where
// by rank it takes two, each waiting for the one before. The table holds a
// nibble per colour for 16 entries or fewer, a byte for more. Only the
// picture's own colours are set, and no other is used, so the table is not
// cleared.
class IndexTable {
public:
    // By rank for the colours of the set.
    explicit IndexTable(const ColourSet& colours) : m_colours(colours), m_byRank(colours.size()) {}
    // By colour, in a table of 2^24 bytes.
    IndexTable(const ColourSet& colours, quint8* table, int entries)
        : m_colours(colours), m_table(table), m_nibbles(entries <= 16)
    {
    }

    // Colours that share a byte of the table are set on one thread.
    void set(quint32 rank, quint32 rgb, quint8 index)
    {
        if (!m_table) {
            m_byRank[rank] = index;
            return;
        }
        if (!m_nibbles) {
            m_table[rgb] = index;
            return;
        }
        quint8& pair = m_table[rgb >> 1];
        const int shift = (rgb & 1) * 4;
        pair = quint8((pair & ~(0xF << shift)) | index << shift);
    }

    // A look-up of a pixel's index for each kind of table, which a loop
    // holds by value.
    template <bool Nibbles>
    struct ByColour {
        const quint8* table;
        quint8 operator()(quint32 pixel) const
        {
            const quint32 rgb = pixel & PixelRows::kRgbMask;
            if constexpr (Nibbles)
                return quint8(table[rgb >> 1] >> ((rgb & 1) * 4) & 0xF);
            else
                return table[rgb];
        }
    };
    template <bool Instruction>
    struct ByRank {
        const quint8* index;
        ColourSet::Ranks ranks;
        quint8 operator()(quint32 pixel) const { return index[ranks.of<Instruction>(pixel & PixelRows::kRgbMask)]; }
    };

    // Calls f with the look-up that serves this table.
    template <bool Instruction, class F>
    void withLookup(F&& f) const
    {
        if (m_table && m_nibbles)
            f(ByColour<true>{m_table});
        else if (m_table)
            f(ByColour<false>{m_table});
        else
            f(ByRank<Instruction>{m_byRank.data(), m_colours.ranks()});
    }

    bool byColour() const { return m_table; }

private:
    const ColourSet& m_colours;
    std::vector<quint8> m_byRank;
    quint8* m_table = nullptr;
    bool m_nibbles = false;
};

// A picture's own colours as its palette, darkest first, each taking its
// entry.
std::vector<Rgb> ownColours(const ColourSet& colours, IndexTable& indices);

// Every colour of the set takes its nearest entry of the palette, the
// parts of the set on their own threads, each with about as many colours.
void mapToNearest(const ColourSet& colours, const std::vector<Rgb>& palette, IndexTable& indices, int parts,
                  ThreadPool& pool);

} // namespace palette
