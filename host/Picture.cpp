#include "host/Picture.h"

#include "host/Files.h"
#include "host/HostError.h"
#include "host/PcxReader.h"
#include "host/PngReader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

namespace host {

void checkPictureSize(const QSize& size, const QString& what)
{
    if (qint64(size.width()) * size.height() > kMaxPicturePixels)
        raiseError(ErrorKind::Picture, QCoreApplication::translate("host", "%1 is too large (%2 x %3 pixels): at most %4 million pixels can "
                                                      "be handled.")
                                           .arg(what)
                                           .arg(size.width())
                                           .arg(size.height())
                                           .arg(kMaxPicturePixels / 1'000'000));
}

QImage readPicture(QImageReader& reader, const QString& what)
{
    // Any picture within the limit decodes, also at 16 bits per channel.
    reader.setAllocationLimit(int(kMaxPicturePixels * 8 / (1 << 20) + 1));
    if (reader.size().isValid())
        checkPictureSize(reader.size(), what);
    const QImage image = reader.read();
    checkPictureSize(image.size(), what);
    return image;
}

QImage decodePicture(const QByteArray& data, const QByteArray& formatHint)
{
    if (looksLikePcx(data))
        return decodePcx(data);
    const QString what = QCoreApplication::translate("host", "it");
    checkPngChunks(data, what);
    if (std::optional<QImage> capture = decodeCapturePng(data, what))
        return *std::move(capture);
    QByteArray bytes = data;
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, formatHint);
    reader.setAutoTransform(true);
    const QImage image = readPicture(reader, what);
    if (image.isNull())
        raiseError(ErrorKind::Picture, reader.errorString());
    return image;
}

QImage LoadPicture(const QString& fileName)
{
    if (fileName.isEmpty())
        return QImage();
    QFile file(fileName);
    try {
        if (!file.open(QIODevice::ReadOnly))
            raiseError(ErrorKind::File, file.errorString());
        return decodePicture(file.readAll(), QFileInfo(fileName).suffix().toLower().toLatin1());
    } catch (const HostError& error) {
        raiseError(ErrorKind::Picture, QCoreApplication::translate("host", "Could not load the picture %1: %2")
                                           .arg(QDir::toNativeSeparators(fileName), error.description()));
    }
}

void SavePicture(const QImage& picture, const QString& fileName)
{
    AtomicFile file(fileName);
    SavePicture(picture, file);
    file.commit();
}

void SavePicture(const QImage& picture, AtomicFile& file)
{
    const QString shownName = QDir::toNativeSeparators(file.path());
    if (picture.isNull())
        raiseError(ErrorKind::Picture, QCoreApplication::translate("host", "Could not write %1: there is no picture to save.").arg(shownName));
    // Encoded in memory first: a write to the file that fails then says why
    // (a full disk, a size limit), which the picture writer cannot.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    if (!writer.write(picture))
        raiseError(ErrorKind::Picture, QCoreApplication::translate("host", "Could not write %1: %2").arg(shownName, writer.errorString()));
    file.write(bytes);
}

} // namespace host
