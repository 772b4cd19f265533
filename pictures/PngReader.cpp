#include "pictures/PngReader.h"

#include "host/HostError.h"
#include "pictures/Picture.h"

#include <QCoreApplication>
#include <QtEndian>
#include <cstdlib>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstring>
#include <libdeflate.h>
#include <memory>
#include <vector>

namespace pictures {
namespace {

constexpr char kSignature[] = "\x89PNG\r\n\x1a\n";
constexpr qsizetype kSignatureSize = 8;

quint32 bigEndian(const char* p)
{
    return qFromBigEndian<quint32>(p);
}

} // namespace

void checkPngChunks(const QByteArray& file, const QString& what)
{
    if (!file.startsWith(QByteArrayView(kSignature, kSignatureSize)))
        return;
    for (qsizetype at = kSignatureSize; file.size() - at >= 8;) {
        const quint32 length = bigEndian(file.constData() + at);
        const qint64 left = file.size() - at - 8;
        if (length > left)
            host::raiseError(host::ErrorKind::Picture,
                       QCoreApplication::translate("host", "%1 is damaged: a part of it claims %2 bytes where %3 are left.")
                           .arg(what)
                           .arg(length)
                           .arg(left));
        if (std::memcmp(file.constData() + at + 4, "IEND", 4) == 0)
            return;
        at += qsizetype(length) + 12;
    }
}

#if defined(__SSE2__)

namespace {

struct Header {
    quint32 width = 0, height = 0;
    int channels = 0; // 3 for RGB, 4 for RGBA
};

// The chunks of the file: the header, the picture data joined, and whether
// the end was met.
struct Chunks {
    std::optional<Header> header;
    QByteArray data;
    bool ended = false;
};

bool critical(const char* type)
{
    return (type[0] & 0x20) == 0;
}

std::optional<Chunks> readChunks(const QByteArray& file)
{
    Chunks chunks;
    qsizetype at = kSignatureSize;
    while (!chunks.ended) {
        if (file.size() - at < 12)
            return std::nullopt;
        const quint32 length = bigEndian(file.constData() + at);
        const char* type = file.constData() + at + 4;
        if (length > quint32(file.size() - at - 12))
            return std::nullopt;
        const char* body = type + 4;
        // Critical chunks are checked as Qt's reader checks them.
        if (critical(type)
            && libdeflate_crc32(0, type, std::size_t(length) + 4) != bigEndian(body + length))
            return std::nullopt;
        if (std::memcmp(type, "IHDR", 4) == 0) {
            if (length != 13 || chunks.header || quint8(body[8]) != 8 || body[10] || body[11] || body[12])
                return std::nullopt;
            const int colourType = quint8(body[9]);
            if (colourType != 2 && colourType != 6)
                return std::nullopt;
            chunks.header = Header{bigEndian(body), bigEndian(body + 4), colourType == 2 ? 3 : 4};
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            if (!chunks.header)
                return std::nullopt;
            chunks.data.append(body, qsizetype(length));
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            chunks.ended = true;
        } else if (critical(type) ? std::memcmp(type, "PLTE", 4) != 0
                                  : std::memcmp(type, "tRNS", 4) == 0 || std::memcmp(type, "eXIf", 4) == 0) {
            // An unknown critical chunk, a transparent colour key, or an
            // orientation that Qt's reader applies.
            return std::nullopt;
        }
        at += qsizetype(length) + 12;
    }
    if (!chunks.header || chunks.data.isEmpty())
        return std::nullopt;
    return chunks;
}

// A pixel's bytes widened to 16-bit lanes. Reading four bytes of a 3-byte
// pixel is safe: rows are followed by padding.
__m128i load(const quint8* p)
{
    quint32 v;
    std::memcpy(&v, p, 4);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(v)), _mm_setzero_si128());
}

// A filtered pixel of the file, red first, in the lanes of the picture's
// own order: blue, green, red, alpha (or a byte of the next pixel, which
// is never kept).
__m128i loadFiltered(const quint8* p)
{
    return _mm_shufflelo_epi16(load(p), _MM_SHUFFLE(3, 0, 1, 2));
}

template <int N>
void store(quint8* p, __m128i v)
{
    quint32 pixel = quint32(_mm_cvtsi128_si32(_mm_packus_epi16(v, v)));
    if constexpr (N == 3)
        pixel |= 0xFF000000u;
    std::memcpy(p, &pixel, 4);
}

__m128i absolute(__m128i v)
{
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

__m128i select(__m128i mask, __m128i yes, __m128i no)
{
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// Undoes a row's filter, a pixel of N bytes at a time, straight into the
// picture's 32-bit row out; the row above is the picture's row before, or
// zeros for the first row. Each pixel depends on the one to its left, so
// the lanes are the pixel's own channels.
template <int N>
bool unfilter(quint8 filter, const quint8* row, quint8* out, const quint8* above, std::size_t width)
{
    const __m128i byte = _mm_set1_epi16(0xFF);
    __m128i a = _mm_setzero_si128(); // the pixel to the left, undone
    __m128i c = _mm_setzero_si128(); // the one above that
    switch (filter) {
    case 0:
        for (std::size_t x = 0; x < width; ++x, row += N, out += 4)
            store<N>(out, loadFiltered(row));
        return true;
    case 1:
        for (std::size_t x = 0; x < width; ++x, row += N, out += 4) {
            a = _mm_and_si128(_mm_add_epi16(loadFiltered(row), a), byte);
            store<N>(out, a);
        }
        return true;
    case 2:
        for (std::size_t x = 0; x < width; ++x, row += N, out += 4, above += 4)
            store<N>(out, _mm_and_si128(_mm_add_epi16(loadFiltered(row), load(above)), byte));
        return true;
    case 3:
        for (std::size_t x = 0; x < width; ++x, row += N, out += 4, above += 4) {
            const __m128i mean = _mm_srli_epi16(_mm_add_epi16(a, load(above)), 1);
            a = _mm_and_si128(_mm_add_epi16(loadFiltered(row), mean), byte);
            store<N>(out, a);
        }
        return true;
    case 4:
        for (std::size_t x = 0; x < width; ++x, row += N, out += 4, above += 4) {
            const __m128i b = load(above);
            // With p = a + b - c: |p - a| = |b - c|, |p - b| = |a - c|, |p - c| the sum's.
            const __m128i toB = _mm_sub_epi16(b, c), toA = _mm_sub_epi16(a, c);
            const __m128i pa = absolute(toB), pb = absolute(toA), pc = absolute(_mm_add_epi16(toA, toB));
            const __m128i smallest = _mm_min_epi16(pa, _mm_min_epi16(pb, pc));
            const __m128i predicted =
                select(_mm_cmpeq_epi16(smallest, pa), a, select(_mm_cmpeq_epi16(smallest, pb), b, c));
            a = _mm_and_si128(_mm_add_epi16(loadFiltered(row), predicted), byte);
            store<N>(out, a);
            c = b;
        }
        return true;
    default:
        return false;
    }
}

} // namespace

std::optional<QImage> decodeCapturePng(const QByteArray& data, const QString& what)
{
    if (data.size() < kSignatureSize || std::memcmp(data.constData(), kSignature, kSignatureSize) != 0)
        return std::nullopt;
    const std::optional<Chunks> chunks = readChunks(data);
    if (!chunks)
        return std::nullopt;
    const Header& h = *chunks->header;
    if (h.width == 0 || h.height == 0 || h.width > 0x7FFFFFFF || h.height > 0x7FFFFFFF)
        return std::nullopt;
    checkPictureSize(QSize(int(h.width), int(h.height)), what);

    // The picture's own buffer takes the inflated rows at its end, and each
    // row, once undone, is spread out to 32 bits over what the rows before
    // it held: pixel rows never catch up with the inflated rows still to be
    // read, as those are at most one byte longer. No second buffer of the
    // picture's size is needed.
    const std::size_t width = h.width, height = h.height, channels = std::size_t(h.channels);
    const std::size_t stride = width * channels + 1;
    constexpr std::size_t kPadding = 16; // a 3-byte pixel is read as 4
    auto* block = static_cast<uchar*>(std::malloc(width * 4 * height + height + kPadding));
    if (!block)
        return std::nullopt;
    QImage image(block, int(width), int(height), qsizetype(width * 4),
                 channels == 3 ? QImage::Format_RGB32 : QImage::Format_ARGB32, std::free, block);
    quint8* const rows = block + width * 4 * height + height - stride * height;
    const std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> inflater(
        libdeflate_alloc_decompressor(), &libdeflate_free_decompressor);
    std::size_t inflated = 0;
    if (!inflater
        || libdeflate_zlib_decompress(inflater.get(), chunks->data.constData(), std::size_t(chunks->data.size()),
                                      rows, stride * height, &inflated) != LIBDEFLATE_SUCCESS
        || inflated != stride * height)
        return std::nullopt;

    // The row above is read back from the picture.
    const std::vector<quint8> zeros(width * 4);
    const quint8* above = zeros.data();
    for (std::size_t y = 0; y < height; ++y) {
        const quint8* row = rows + y * stride;
        quint8* out = block + y * width * 4;
        const bool done = channels == 3 ? unfilter<3>(row[0], row + 1, out, above, width)
                                        : unfilter<4>(row[0], row + 1, out, above, width);
        if (!done)
            return std::nullopt;
        above = out;
    }
    return image;
}

#else

// Without the vector unit the row filters would be no faster than Qt's.
std::optional<QImage> decodeCapturePng(const QByteArray&, const QString&)
{
    return std::nullopt;
}

#endif

} // namespace pictures
