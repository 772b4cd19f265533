#pragma once

#include "palette/Parallel.h"

#include <QImage>
#include <memory_resource>
#include <vector>

namespace palette {

// A screen in black and white that keeps its text legible wherever it
// stands. A pixel that belongs to a thin stroke (text, a line) darker or
// lighter than its surroundings takes the opposite of its background's
// colour; every other pixel is split from the rest at one luma threshold
// (Otsu's), so a region of one colour stays one colour. Strokes up to
// kStroke pixels wide count as thin, a stroke differs from its background by
// at least kContrast luma levels, and the background is the side that most of
// the pixels around are on. Straight lines of such pixels kLine or more long
// are frames and separators and split like areas. No dithering; alpha is
// ignored; the same picture always gives the same bits.
class Monochrome {
public:
    static constexpr int kStroke = 6;
    static constexpr int kContrast = 32;
    static constexpr int kLine = 30;

    // How the picture is filtered; both give the same bits. Vector works
    // sixteen pixels at a time, worked out only where a stroke can be, on
    // every thread; Plain works out every plane for every pixel, on one, as
    // processors without vector registers do.
    enum class Kernels { Vector, Plain };

    // The first width x height pixels of the picture, on the threads of the
    // pool given or of one of its own, its buffers from the memory given.
    Monochrome(const QImage& picture, int width, int height, ThreadPool* pool = nullptr,
               std::pmr::memory_resource* memory = std::pmr::get_default_resource(),
               Kernels kernels = Kernels::Vector);

    // Row y from the top, one bit per pixel from the most significant bit,
    // 1 for white; the bits after the last pixel are 0.
    const quint8* row(int y) const { return m_bits.data() + std::size_t(y) * m_stride; }
    int threshold() const { return m_threshold; }

private:
    std::size_t m_stride;
    std::pmr::vector<quint8> m_bits;
    int m_threshold = 127;
};

} // namespace palette
