#pragma once

#include <QByteArray>
#include <QImage>

// PCX pictures, which Qt does not read: 1, 2 or 4 bits per pixel in one plane,
// 1 bit in 2 to 4 planes (16-colour palette in the header), 8 bits with the
// 256-colour palette at the end of the file, and 8 bits in 3 or 4 planes (RGB,
// RGBA); run-length encoded or not.
namespace pictures {

// Whether the data starts with a PCX header.
bool looksLikePcx(const QByteArray& data);

// Decodes a PCX picture. A malformed or truncated file raises an error that
// says what is wrong; nothing is allocated on the header's claims alone.
QImage decodePcx(const QByteArray& data);

} // namespace pictures
