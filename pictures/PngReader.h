#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>

namespace pictures {

// Decodes the PNG pictures that screen captures are, 8 bits per channel RGB
// or RGBA, not interlaced, several times faster than Qt's reader: libdeflate
// inflates the whole picture at once. Gives nothing for any other picture,
// and for one it finds damaged: Qt's reader then decodes it or says what is
// wrong. Raises an error naming `what` for a picture over the size limit.
std::optional<QImage> decodeCapturePng(const QByteArray& data, const QString& what);

// Raises an error naming `what` for a PNG whose parts (chunks) claim more
// bytes than follow them, a damaged or cut-off file. Qt's reader (libpng)
// takes memory for a part's claimed size before reading it: gigabytes for a
// damaged file of a few hundred bytes. Anything else passes.
void checkPngChunks(const QByteArray& data, const QString& what);

} // namespace pictures
