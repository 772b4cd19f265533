#pragma once

#include <QByteArray>
#include <QImage>
#include <QStringList>

// The clipboard's picture: any image format that Qt can read from it.
namespace forms {

// A clipboard as a save reads it: the formats offered (MIME names) and the
// bytes of one, empty when they cannot be had.
class ClipboardSource {
public:
    virtual ~ClipboardSource() = default;
    virtual QStringList formats() const = 0;
    virtual QByteArray data(const QString& format) const = 0;
    // A picture the program holds as an image rather than as bytes, which
    // only Qt's own clipboard has.
    virtual QImage heldImage() const { return {}; }
};

// The clipboard of Qt's display; the program's windows need one open.
const ClipboardSource& displayClipboard();

bool ClipboardHasBitmap(const ClipboardSource& clipboard = displayClipboard());

// The clipboard's picture; an error when it holds none (also when its owner
// went away between the test and the get).
QImage ClipboardGetBitmap(const ClipboardSource& clipboard = displayClipboard());

} // namespace forms
