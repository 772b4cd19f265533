#pragma once

#include <QImage>

// The clipboard's picture: any image format that Qt can read from it.
namespace host {

bool ClipboardHasBitmap();

// The clipboard's picture; an error when it holds none (also when its owner
// went away between the test and the get).
QImage ClipboardGetBitmap();

} // namespace host
