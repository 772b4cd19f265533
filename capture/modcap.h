#pragma once

#include <QImage>
#include <QString>
#include <QtGlobal>

namespace host {
class AtomicFile;
class PictureBox;
}

// The bitmap writer.
namespace modcap {

// Writes the picture of a picture box as an uncompressed Windows bitmap of 1,
// 4 or 8 bits per pixel. DepthCode 1 or 2 gives 2 colours, 4 or 16 gives 16,
// 8 or 256 gives 256, any other value 2. Leaves the box's scale in pixels.
// Everything is computed before the file is touched, and the file is written
// completely or not at all: a failure leaves an existing file as it was.
// Raises an error for an empty picture, a row or image too large for the
// format, and a file that cannot be written.
void SaveBitmap(host::PictureBox& picture, const QString& FileName, qint16 DepthCode);

// The same, into a file the caller puts in place.
void SaveBitmap(host::PictureBox& picture, host::AtomicFile& out, qint16 DepthCode);

// The bits per pixel of a DepthCode: 1 for 1 or 2 (and any other value), 4
// for 4 or 16, 8 for 8 or 256.
int bitsPerPixelFor(qint16 DepthCode);

// The writer itself: the picture as an uncompressed bitmap of 1, 4 or 8 bits
// per pixel, into the file.
void WriteBitmap(const QImage& picture, int bitsPerPixel, host::AtomicFile& out);

} // namespace modcap
