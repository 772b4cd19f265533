#pragma once

#include <QImage>
#include <QString>

class QImageReader;

namespace host {
class AtomicFile;
}

namespace pictures {

// The most pixels of a picture that the program decodes, from the clipboard
// or a file: a screen capture at 8K (7680 x 4320) or of three 4K screens
// side by side (11520 x 2160) is well within it.
constexpr qint64 kMaxPicturePixels = 50'000'000;

// The largest picture file read: one of that many pixels at 8 bytes each
// (16 bits for each of four channels, uncompressed), with room for what
// precedes the pixels.
constexpr qint64 kMaxPictureFileBytes = kMaxPicturePixels * 8 + (16 << 20);

// Raises an error naming the picture (`what`), its size and the limit when
// it has more pixels than that.
void checkPictureSize(const QSize& size, const QString& what);

// Reads a picture with Qt's readers, refusing one over the limit before its
// pixels are decoded. A null picture when the reader fails, with the reason
// (what the reader says goes there, not to standard error).
QImage readPicture(QImageReader& reader, const QString& what, QString& reason);

// Loads a picture from a file; the empty name gives the empty picture. A file
// that cannot be read as a picture raises an error naming it.
QImage LoadPicture(const QString& fileName = QString());

// Decodes a picture held in memory: PCX by our own reader, everything else
// by Qt's readers (the format hint, a file suffix, is tried first). Raises an
// error that says what is wrong.
QImage decodePicture(const QByteArray& data, const QByteArray& formatHint = QByteArray());

// Saves a picture as a Windows bitmap file at the picture's own colour depth,
// written completely or not at all.
void SavePicture(const QImage& picture, const QString& fileName);

// The same, into a file the caller puts in place.
void SavePicture(const QImage& picture, host::AtomicFile& file);

} // namespace pictures
