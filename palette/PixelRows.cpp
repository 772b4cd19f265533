#include "palette/PixelRows.h"

namespace palette {
namespace {

constexpr int kBlockRows = 64;

bool readableInPlace(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32
           || format == QImage::Format_ARGB32_Premultiplied;
}

} // namespace

PixelRows::PixelRows(const QImage& image) : m_image(image), m_direct(readableInPlace(image.format()))
{
}

const quint32* PixelRows::row(int y)
{
    if (m_direct)
        return reinterpret_cast<const quint32*>(m_image.constScanLine(y));
    if (m_blockTop < 0 || y < m_blockTop || y >= m_blockTop + kBlockRows) {
        m_blockTop = y - y % kBlockRows;
        const int rows = std::min(kBlockRows, m_image.height() - m_blockTop);
        // Alpha is dropped, not composited: the colour channels are kept as they are.
        m_block = m_image.copy(0, m_blockTop, m_image.width(), rows).convertToFormat(QImage::Format_ARGB32);
    }
    return reinterpret_cast<const quint32*>(m_block.constScanLine(y - m_blockTop));
}

} // namespace palette
