#pragma once

#include "palette/KeptMemory.h"

#include <QtGlobal>
#include <algorithm>
#include <bit>
#include <memory>
#include <memory_resource>
#include <vector>

namespace palette {

// Which of the 2^24 colours (0xRRGGBB) a picture has, one bit each, and the
// rank of each of them: its number among the picture's colours in the order
// of their values. The rank numbers a picture's colours densely, so counts
// and palette indices are arrays by rank instead of hash tables, and finding
// one reads one 16-byte word, which neighbouring colours share.
class ColourSet {
public:
    static constexpr int kWords = (1 << 24) / 64;

    // Its 4 MB of words come from the memory given.
    explicit ColourSet(std::pmr::memory_resource* memory = std::pmr::get_default_resource()) : m_memory(memory) {}

    // One bit per colour, for marking the colours of a part of a picture.
    using Marks = std::pmr::vector<quint64>;
    static void clear(Marks& marks) { marks.assign(kWords, 0); }
    static void mark(Marks& marks, quint32 rgb) { marks[rgb >> 6] |= quint64(1) << (rgb & 63); }

    // The colours marked in any of the parts.
    void assign(const std::vector<Marks>& parts);
    // The colours of a list in ascending order, where a colour may repeat:
    // for a few colours, without marks to clear and read.
    void assign(const std::vector<quint32>& ascending);

    quint32 size() const { return m_size; }
    // The bits set in a word. The baseline x86-64 lacks the population-count
    // instruction: there std::popcount calls a library routine for each
    // lookup, and these few operations inline cost less. With Instruction,
    // the caller is built for a processor that has it.
    template <bool Instruction = false>
    static quint32 bitCount(quint64 v)
    {
#if !defined(__POPCNT__)
        if constexpr (!Instruction) {
            v -= (v >> 1) & 0x5555555555555555u;
            v = (v & 0x3333333333333333u) + ((v >> 2) & 0x3333333333333333u);
            v = (v + (v >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
            return quint32((v * 0x0101010101010101u) >> 56);
        }
#endif
        return quint32(std::popcount(v));
    }
private:
    struct alignas(16) Word {
        quint64 bits;
        quint32 before; // the colours of lower value
    };

public:
    // The ranks of the set's colours, held by value: a loop that stores
    // bytes need not read the set again after each one.
    class Ranks {
    public:
        explicit Ranks(const Word* words) : m_words(words) {}
        template <bool Instruction = false>
        quint32 of(quint32 rgb) const
        {
            const Word& word = m_words[rgb >> 6];
            return word.before + bitCount<Instruction>(word.bits & ((quint64(1) << (rgb & 63)) - 1));
        }

    private:
        const Word* m_words;
    };
    Ranks ranks() const { return Ranks(m_words.get()); }
    // The rank of a colour in the set.
    template <bool Instruction = false>
    quint32 rank(quint32 rgb) const
    {
        return ranks().of<Instruction>(rgb);
    }
    // The first word whose colours all rank at or after rank.
    int wordFrom(quint32 rank) const
    {
        const Word* words = m_words.get();
        return int(std::partition_point(words, words + kWords, [&](const Word& w) { return w.before < rank; }) - words);
    }
    // Calls f(rank, rgb) for the colours of the words [first, last), in order.
    template <class F>
    void forEach(int first, int last, F&& f) const
    {
        for (int w = first; w < last; ++w) {
            quint32 rank = m_words[std::size_t(w)].before;
            for (quint64 bits = m_words[std::size_t(w)].bits; bits; bits &= bits - 1)
                f(rank++, quint32(w) << 6 | quint32(std::countr_zero(bits)));
        }
    }

private:
    // Sets the words from bitsOf(w), called for each word in order.
    template <class BitsOf>
    void assignWords(BitsOf&& bitsOf)
    {
        // Every word is written: 4 MB not cleared first.
        m_words = RawArray<Word>(m_memory, kWords);
        quint32 before = 0;
        for (std::size_t w = 0; w < kWords; ++w) {
            const quint64 bits = bitsOf(w);
            m_words[w] = {bits, before};
            before += bitCount(bits);
        }
        m_size = before;
    }

    std::pmr::memory_resource* m_memory;
    RawArray<Word> m_words;
    quint32 m_size = 0;
};

// Counting and packing a photograph look up the rank of each pixel's colour,
// a population count each. On x86 they are built a second time for
// processors with that instruction, which is chosen when the conversion
// starts; the plain speed never takes it.
#if defined(__x86_64__) || defined(__i386__)
#define QORIX_BIT_COUNT_BUILD gnu::target("popcnt"), gnu::flatten
inline bool hasBitCountInstruction()
{
    return __builtin_cpu_supports("popcnt");
}
#else
#define QORIX_BIT_COUNT_BUILD gnu::flatten
inline bool hasBitCountInstruction()
{
    return false;
}
#endif

} // namespace palette
