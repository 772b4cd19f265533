#pragma once

#include <QImage>
#include <QString>

namespace host {

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

class AtomicFile;
// The same, into a file the caller puts in place.
void SavePicture(const QImage& picture, AtomicFile& file);

} // namespace host
