#include "host/Picture.h"

#include "host/Files.h"
#include "host/HostError.h"
#include "host/PcxReader.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>

namespace host {

QImage LoadPicture(const QString& fileName)
{
    if (fileName.isEmpty())
        return QImage();
    QFile file(fileName);
    if (file.open(QIODevice::ReadOnly) && looksLikePcx(file.peek(128))) {
        try {
            return decodePcx(file.readAll());
        } catch (const HostError& error) {
            raiseError(ErrorKind::Picture, QStringLiteral("Could not load the picture %1: %2")
                                               .arg(QDir::toNativeSeparators(fileName), error.description()));
        }
    }
    file.close();
    QImageReader reader(fileName);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull())
        raiseError(ErrorKind::Picture, QStringLiteral("Could not load the picture %1: %2")
                                      .arg(QDir::toNativeSeparators(fileName), reader.errorString()));
    return image;
}

void SavePicture(const QImage& picture, const QString& fileName)
{
    if (picture.isNull())
        raiseError(ErrorKind::Picture, QStringLiteral("Could not write %1: there is no picture to save.")
                                      .arg(QDir::toNativeSeparators(fileName)));
    AtomicFile file(fileName);
    QImageWriter writer(&file.device(), "bmp");
    if (!writer.write(picture))
        file.fail(writer.errorString());
    file.commit();
}

} // namespace host
