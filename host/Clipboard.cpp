#include "host/Clipboard.h"

#include "host/HostError.h"

#include <QBuffer>
#include <QClipboard>
#include <QImageReader>
#include <QGuiApplication>
#include <QMimeData>

namespace host {

namespace {

QStringList imageFormats(const QMimeData* data)
{
    QStringList formats;
    for (const QString& format : data->formats())
        if (format.startsWith(QLatin1String("image/")))
            formats << format;
    return formats;
}

[[noreturn]] void noPicture()
{
    raiseError(ErrorKind::Picture, QStringLiteral("The clipboard no longer holds a picture. Copy the screen again."));
}

} // namespace

bool ClipboardHasBitmap()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && (data->hasImage() || !imageFormats(data).isEmpty());
}

QImage ClipboardGetBitmap()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        noPicture();
    // The picture's size is read before its pixels, so that a picture too
    // large to hold is refused before any memory is taken for it. A format
    // that does not decode gives way to the next one.
    QString unreadable;
    for (const QString& format : imageFormats(data)) {
        QByteArray bytes = data->data(format);
        if (bytes.isEmpty())
            continue;
        QBuffer buffer(&bytes);
        QImageReader reader(&buffer);
        const QSize size = reader.size();
        if (size.isValid() && qint64(size.width()) * size.height() * 4 > qint64(reader.allocationLimit()) << 20)
            raiseError(ErrorKind::Picture,
                       QStringLiteral("The picture on the clipboard is too large (%1 x %2 pixels): at most %3 MB of "
                                      "pixels can be handled. Capture a smaller part of the screen.")
                           .arg(size.width())
                           .arg(size.height())
                           .arg(reader.allocationLimit()));
        const QImage image = reader.read();
        if (!image.isNull())
            return image;
        if (unreadable.isEmpty())
            unreadable = QStringLiteral("The picture on the clipboard cannot be read (%1): %2").arg(format, reader.errorString());
    }
    const QImage image = qvariant_cast<QImage>(data->imageData());
    if (!image.isNull())
        return image;
    if (!unreadable.isEmpty())
        raiseError(ErrorKind::Picture, unreadable);
    noPicture();
}

} // namespace host
