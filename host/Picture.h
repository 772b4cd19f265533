#pragma once

#include <QImage>
#include <QString>

namespace host {

// Loads a picture from a file; the empty name gives the empty picture. A file
// that cannot be read as a picture raises an error naming it.
QImage LoadPicture(const QString& fileName = QString());

// Saves a picture as a Windows bitmap file at the picture's own colour depth,
// written completely or not at all.
void SavePicture(const QImage& picture, const QString& fileName);

} // namespace host
