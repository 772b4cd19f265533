#include "tests/support/PngChunks.h"

#include <QtEndian>

namespace testing_support {

quint32 pngCrc(const QByteArray& typeAndData)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : typeAndData) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    return ~crc;
}

QByteArray pngChunk(const char* type, const QByteArray& data)
{
    QByteArray length(4, 0), sum(4, 0);
    qToBigEndian(quint32(data.size()), length.data());
    const QByteArray typed = type + data;
    qToBigEndian(pngCrc(typed), sum.data());
    return length + typed + sum;
}

} // namespace testing_support
