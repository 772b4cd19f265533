// A clipboard owner in the real X server that offers one picture in several
// formats, in the order given, and notes each format a program asks it for:
//   clipboard_owner PICTURE LOG FORMAT...
// (FORMAT: a MIME type; image/tiff is offered as bytes no reader takes).
// Prints "ready" once it owns the clipboard, and serves until it is ended.
#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QHash>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QMimeData>
#include <cstdio>

namespace {

class NotingMimeData : public QMimeData {
public:
    NotingMimeData(QImage picture, QStringList formats, QString log)
        : m_picture(std::move(picture)), m_formats(std::move(formats)), m_log(std::move(log))
    {
    }

    QStringList formats() const override { return m_formats; }
    bool hasFormat(const QString& format) const override { return m_formats.contains(format); }

protected:
    QVariant retrieveData(const QString& format, QMetaType) const override
    {
        QFile log(m_log);
        if (log.open(QIODevice::Append))
            log.write(format.toUtf8() + '\n');
        if (format == QLatin1String("image/tiff"))
            return QByteArray(4096, 'T');
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        const QHash<QString, QByteArray> writers = {{"image/x-ms-bmp", "bmp"}, {"image/x-bmp", "bmp"},
                                                    {"image/x-xbitmap", "xbm"}, {"image/x-xpixmap", "xpm"}};
        QImageWriter(&buffer, writers.value(format.toLower(), QImageWriter::imageFormatsForMimeType(format.toLatin1()).value(0)))
            .write(m_picture);
        return bytes;
    }

private:
    QImage m_picture;
    QStringList m_formats;
    QString m_log;
};

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 4)
        return 2;
    application.clipboard()->setMimeData(new NotingMimeData(QImage(arguments[1]), arguments.mid(3), arguments[2]));
    std::printf("ready\n");
    std::fflush(stdout);
    return application.exec();
}
