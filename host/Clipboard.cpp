#include "host/Clipboard.h"

#include "host/HostError.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace host {

bool ClipboardHasBitmap()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasImage();
}

QImage ClipboardGetBitmap()
{
    const QImage image = QGuiApplication::clipboard()->image();
    if (image.isNull())
        raiseError(ErrorKind::Picture, QStringLiteral("The clipboard no longer holds a picture. Copy the screen again."));
    return image;
}

} // namespace host
