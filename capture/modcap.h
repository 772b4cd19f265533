#pragma once

#include "capture/Depth.h"

#include <QImage>
#include <QString>
#include <QtGlobal>

namespace host {
class AtomicFile;
}
namespace forms {
class PictureBox;
}
namespace palette {
class Workspace;
}

// The bitmap writer: the code module modcap.
namespace capture {

// Writes the picture of a picture box as an uncompressed Windows bitmap of 1,
// 4 or 8 bits per pixel. DepthCode 1 or 2 gives 2 colours, 4 or 16 gives 16,
// 8 or 256 gives 256, any other value 2. Leaves the box's scale in pixels.
// Everything is computed before the file is touched, and the file is written
// completely or not at all: a failure leaves an existing file as it was.
// Raises an error for an empty picture, a row or image too large for the
// format, and a file that cannot be written.
void SaveBitmap(forms::PictureBox& picture, const QString& FileName, qint16 DepthCode);

// The same, into a file the caller puts in place, converted in the
// caller's workspace.
void SaveBitmap(forms::PictureBox& picture, host::AtomicFile& out, qint16 DepthCode, palette::Workspace& workspace);

// The writer itself: the picture as an uncompressed bitmap at the depth,
// into the file: 1, 4 or 8 bits per pixel with a colour table, or 24 bits
// for the display's depth.
void WriteBitmap(const QImage& picture, capture::Depth depth, host::AtomicFile& out, palette::Workspace& workspace);

} // namespace capture
