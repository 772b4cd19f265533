#pragma once

#include "palette/ColourSet.h"
#include "palette/PaletteChooser.h"
#include "palette/Parallel.h"

#include <QImage>
#include <vector>

// The first stage of a conversion to a palette: the picture's colours.
namespace palette {

// The pixel count of each colour of a part of a picture, summed a run at a
// time while its colours are marked, so that an interface, which has few
// colours, is not read again to count them. Counting stops beyond
// kMaxColours, after which the picture's colours are counted by rank.
class RunCounts {
public:
    RunCounts() : m_slots(kSlots) {}

    bool stopped() const { return m_stopped; }
    void stop() { m_stopped = true; }
    void add(quint32 rgb, quint32 count)
    {
        if (m_stopped)
            return;
        quint32 i = (rgb * 0x9E3779B1u) >> (32 - kSlotBits);
        while (m_slots[i].rgb != rgb) {
            if (m_slots[i].rgb == kEmpty) {
                m_stopped |= ++m_size > kMaxColours;
                m_slots[i].rgb = rgb;
                break;
            }
            i = (i + 1) % kSlots;
        }
        m_slots[i].count += count;
    }
    // Calls f(rgb, count) for each colour.
    template <class F>
    void forEach(F&& f) const
    {
        for (const Slot& slot : m_slots)
            if (slot.rgb != kEmpty)
                f(slot.rgb, slot.count);
    }

private:
    // At most half full, in a table the cache holds.
    static constexpr int kSlotBits = 14;
    static constexpr quint32 kSlots = 1u << kSlotBits;
    static constexpr quint32 kMaxColours = kSlots / 2;
    static constexpr quint32 kEmpty = ~0u; // no colour: colours have 24 bits

    struct Slot {
        quint32 rgb = kEmpty;
        quint32 count = 0;
    };
    std::vector<Slot> m_slots;
    quint32 m_size = 0;
    bool m_stopped = false;
};

// The colours of the first width x height pixels of a picture, from one
// read of it: the set of them, which rows are long runs of one colour, and
// each colour's pixels while a part of the rows has few.
struct PictureColours {
    explicit PictureColours(std::pmr::memory_resource* memory = std::pmr::get_default_resource()) : set(memory) {}

    ColourSet set;
    std::vector<quint8> longRuns;     // by row: whether its runs of one colour are long
    std::vector<RunCounts> runCounts; // by part of the rows

    // Whether every part counted all its colours by run.
    bool counted() const;
};

// Each of the parts of the rows counts its colours while they are few,
// marks them in a set of its own once they are not, and notes which rows
// are long runs; the parts' sets make the picture's. Its large buffers come
// from the memory given.
PictureColours countColours(const QImage& picture, int width, int height, int parts, ThreadPool& pool,
                            std::pmr::memory_resource* memory);

// The pixels of each colour, in the order of their ranks: from the run
// counts where every part has them, otherwise counted again by rank, with
// the processor's population-count instruction where it has one.
std::vector<WeightedColour> weighColours(const QImage& picture, int width, int height, const PictureColours& colours,
                                         int parts, bool bitCountInstruction, ThreadPool& pool,
                                         std::pmr::memory_resource* memory);

} // namespace palette
