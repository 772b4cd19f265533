#include "pictures/Picture.h"

#include "host/Files.h"
#include "host/HostError.h"
#include "pictures/PcxReader.h"
#include "pictures/PngReader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QRegularExpression>
#include <cstdio>
#include <cstdlib>

namespace pictures {

void checkPictureSize(const QSize& size, const QString& what)
{
    if (qint64(size.width()) * size.height() > kMaxPicturePixels)
        host::raiseError(host::ErrorKind::Picture, QCoreApplication::translate("host", "%1 is too large (%2 x %3 pixels): at most %4 million pixels can "
                                                      "be handled.")
                                           .arg(what)
                                           .arg(size.width())
                                           .arg(size.height())
                                           .arg(kMaxPicturePixels / 1'000'000));
}

namespace {

// What Qt's picture readers say while they read, as Qt's messages or
// printed to standard error (libpng's complaints about a damaged file), is
// held back: the program's own message gives it as the reason. The C
// library's stream is swapped, not the process's file: what is written to
// that directly (a sanitizer's report) still shows.
class HeldReaderMessages {
public:
    HeldReaderMessages() : m_previous(qInstallMessageHandler(hold)), m_stderr(stderr)
    {
        s_held.clear();
        if (FILE* held = ::open_memstream(&m_printed, &m_printedSize)) {
            std::fflush(stderr);
            stderr = held;
        }
    }
    ~HeldReaderMessages()
    {
        qInstallMessageHandler(m_previous);
        if (stderr != m_stderr) {
            std::fclose(stderr);
            stderr = m_stderr;
        }
        std::free(m_printed);
    }
    HeldReaderMessages(const HeldReaderMessages&) = delete;
    HeldReaderMessages& operator=(const HeldReaderMessages&) = delete;

    QString text() const
    {
        QStringList lines = s_held;
        if (stderr != m_stderr && std::fflush(stderr) == 0 && m_printed)
            lines += QString::fromLocal8Bit(m_printed, qsizetype(m_printedSize)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (QString& line : lines)
            line.remove(QRegularExpression(QStringLiteral("^lib\\w+ (error|warning): ")));
        return lines.join(QStringLiteral("; "));
    }

private:
    static void hold(QtMsgType, const QMessageLogContext&, const QString& message) { s_held << message; }

    QtMessageHandler m_previous;
    FILE* m_stderr;
    char* m_printed = nullptr;
    std::size_t m_printedSize = 0;
    static inline QStringList s_held;
};

} // namespace

QImage readPicture(QImageReader& reader, const QString& what, QString& reason)
{
    // Any picture within the limit decodes, also at 16 bits per channel.
    reader.setAllocationLimit(int(kMaxPicturePixels * 8 / (1 << 20) + 1));
    const HeldReaderMessages held;
    if (reader.size().isValid())
        checkPictureSize(reader.size(), what);
    const QImage image = reader.read();
    checkPictureSize(image.size(), what);
    if (image.isNull())
        reason = held.text().isEmpty() ? reader.errorString()
                                       : QStringLiteral("%1 (%2)").arg(reader.errorString(), held.text());
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
    QString reason;
    const QImage image = readPicture(reader, what, reason);
    if (image.isNull())
        host::raiseError(host::ErrorKind::Picture, reason);
    return image;
}

QImage LoadPicture(const QString& fileName)
{
    if (fileName.isEmpty())
        return QImage();
    try {
        const std::optional<QByteArray> bytes = host::readFile(fileName, kMaxPictureFileBytes);
        if (!bytes)
            host::raiseError(host::ErrorKind::Picture, QCoreApplication::translate("host", "the file is larger than any picture of "
                                                                               "at most %1 million pixels can be (%2 "
                                                                               "MB), so it is not read.")
                                               .arg(kMaxPicturePixels / 1'000'000)
                                               .arg(kMaxPictureFileBytes >> 20));
        return decodePicture(*bytes, QFileInfo(fileName).suffix().toLower().toLatin1());
    } catch (const host::HostError& error) {
        host::raiseError(host::ErrorKind::Picture, QCoreApplication::translate("host", "Could not load the picture %1: %2")
                                           .arg(QDir::toNativeSeparators(fileName), error.description()));
    }
}

void SavePicture(const QImage& picture, const QString& fileName)
{
    host::AtomicFile file(fileName);
    SavePicture(picture, file);
    file.commit();
}

void SavePicture(const QImage& picture, host::AtomicFile& file)
{
    const QString shownName = QDir::toNativeSeparators(file.path());
    if (picture.isNull())
        host::raiseError(host::ErrorKind::Picture, QCoreApplication::translate("host", "Could not write %1: there is no picture to save.").arg(shownName));
    // Encoded in memory first: a write to the file that fails then says why
    // (a full disk, a size limit), which the picture writer cannot.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    if (!writer.write(picture))
        host::raiseError(host::ErrorKind::Picture, QCoreApplication::translate("host", "Could not write %1: %2").arg(shownName, writer.errorString()));
    file.write(bytes);
}

} // namespace pictures
