#include "palette/Monochrome.h"

#include "palette/MonochromeStages.h"
#include "palette/PaletteChooser.h"

#include <optional>

namespace palette {

using namespace monochrome;

namespace {

#if defined(__SSE2__)
constexpr bool kVectorRegisters = true;
#else
constexpr bool kVectorRegisters = false;
#endif

} // namespace

Monochrome::Monochrome(const QImage& picture, int width, int height, ThreadPool* pool,
                       std::pmr::memory_resource* memory, Kernels kernels)
    : m_stride((std::size_t(width) + 7) / 8), m_bits(m_stride * std::size_t(height), memory)
{
    const bool vector = kVectorRegisters && kernels == Kernels::Vector;
    std::optional<ThreadPool> own;
    if (!vector)
        pool = &own.emplace(1);
    else if (!pool)
        pool = &own.emplace(partsFor(height, kBand));
    // The stages: the luma and its threshold, the strokes, the long lines.
    Luma luma = lumaOf(picture, width, height, vector, *pool, memory);
    m_threshold = otsuThreshold(luma.histogram);
    std::pmr::vector<quint8> flipped(m_stride * std::size_t(height), memory);
    classifyStrokes(luma.plane, m_threshold, vector, m_stride, m_bits.data(), flipped.data(), *pool, memory);
    splitLongLines(flipped, height, m_stride, m_bits.data(), *pool, memory);
}

} // namespace palette
