#include "forms/Clipboard.h"

#include "forms/Application.h"
#include "forms/WaylandClipboard.h"
#include "forms/X11Clipboard.h"

#include "host/Handlers.h"
#include "host/HostError.h"
#include "pictures/Picture.h"
#include "pictures/PngReader.h"

#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QImageReader>
#include <QGuiApplication>
#include <QMimeData>
#include <algorithm>

namespace forms {

namespace {

// How well a clipboard format holds a screen capture, best first: lossless
// full colour, then JPEG, then what else Qt may read, and 1-bit, grey or
// icon formats only when nothing else is offered.
int formatRank(const QString& format)
{
    static const QStringList ranked = {
        "image/png",        "image/bmp",        "image/x-bmp",     "image/x-ms-bmp",          "image/x-win-bitmap",
        "image/x-portable-pixmap", "image/x-portable-anymap", "image/tiff", "image/x-xpixmap", "image/jpeg",
        "image/pjpeg",      "image/jpg"};
    static const QStringList poorest = {"image/x-xbitmap", "image/x-portable-bitmap", "image/x-portable-graymap",
                                        "image/x-icon", "image/vnd.microsoft.icon", "image/x-win-cursor"};
    const QString name = format.toLower();
    if (const qsizetype at = ranked.indexOf(name); at >= 0)
        return int(at);
    if (const qsizetype at = poorest.indexOf(name); at >= 0)
        return int(ranked.size() + 1 + at);
    return int(ranked.size());
}

// The clipboard's picture formats that Qt can read, best first: only the
// first that decodes is ever fetched.
QStringList imageFormats(const QStringList& offered)
{
    static const bool tiffReader = QImageReader::supportedImageFormats().contains("tiff");
    QStringList formats;
    for (const QString& format : offered)
        if (format.startsWith(QLatin1String("image/"))
            && (tiffReader || format.compare(QLatin1String("image/tiff"), Qt::CaseInsensitive) != 0))
            formats << format;
    std::stable_sort(formats.begin(), formats.end(),
                     [](const QString& a, const QString& b) { return formatRank(a) < formatRank(b); });
    return formats;
}

// Qt's clipboard: its picture may also be an image that the program itself
// put there.
class QtClipboard : public ClipboardSource {
public:
    QStringList formats() const override
    {
        const QMimeData* data = mimeData();
        return data ? data->formats() : QStringList();
    }
    QByteArray data(const QString& format) const override
    {
        const QMimeData* data = mimeData();
        return data ? data->data(format) : QByteArray();
    }
    QImage heldImage() const override
    {
        const QMimeData* data = mimeData();
        return data && data->hasImage() ? qvariant_cast<QImage>(data->imageData()) : QImage();
    }

private:
    static const QMimeData* mimeData() { return QGuiApplication::clipboard()->mimeData(); }
};

[[noreturn]] void noPicture()
{
    host::raiseError(host::ErrorKind::Picture, QCoreApplication::translate("host", "The clipboard no longer holds a picture. Copy the screen again."));
}

} // namespace

void ClipboardReadClock::startWait()
{
    if (!m_read.isValid())
        m_read.start();
    m_answer.start();
}

qint64 ClipboardReadClock::left() const
{
    return std::min(kClipboardPatienceMs - m_answer.elapsed(), kClipboardWholeReadMs - m_read.elapsed());
}

void raiseOwnerSilent(const QString& owner)
{
    const QString program = owner.isEmpty() ? QCoreApplication::translate("host", "The program that holds the clipboard")
                                            : QCoreApplication::translate("host", "The program that holds the clipboard (%1)").arg(owner);
    host::raiseError(host::ErrorKind::Picture, QCoreApplication::translate("host", "%1 does not answer in time, so nothing "
                                                                                    "was saved. Copy the screen again, or close "
                                                                                    "that program if it hangs.")
                                                   .arg(program));
}

void raiseClipboardTooLarge()
{
    host::raiseError(host::ErrorKind::Picture, QCoreApplication::translate("host", "The picture on the clipboard is larger "
                                                                                    "than %1 MB, the most a picture may have; "
                                                                                    "nothing was saved.")
                                                   .arg(pictures::kMaxPictureFileBytes >> 20));
}

// The windows' clipboard read straight from where it is kept, afresh at each
// look: through the X server, whose owner Qt's own reading waits for in
// steps of a twentieth of a second, or through a Wayland compositor's
// data-control, where Qt's own follows the keyboard focus, which a window
// that closes may leave where no clipboard comes (sway). Qt's clipboard
// serves the rest: what the program holds itself (it could not answer while
// it reads), and what only Qt reads (an X pixmap).
class DirectClipboard : public ClipboardSource {
public:
    explicit DirectClipboard(std::function<std::unique_ptr<ClipboardSource>()> open) : m_open(std::move(open)) {}

    QStringList formats() const override
    {
        m_direct = QGuiApplication::clipboard()->ownsClipboard() ? nullptr : m_open();
        if (m_direct)
            if (const QStringList formats = m_direct->formats(); !imageFormats(formats).isEmpty())
                return formats;
        m_direct.reset();
        return m_qt.formats();
    }
    QByteArray data(const QString& format) const override { return m_direct ? m_direct->data(format) : m_qt.data(format); }
    QImage heldImage() const override { return m_direct ? QImage() : m_qt.heldImage(); }

private:
    std::function<std::unique_ptr<ClipboardSource>()> m_open;
    QtClipboard m_qt;
    mutable std::unique_ptr<ClipboardSource> m_direct;
};

const ClipboardSource& displayClipboard()
{
    static const QtClipboard clipboard;
    static const DirectClipboard onX([]() -> std::unique_ptr<ClipboardSource> { return X11Clipboard::open(); });
    static const DirectClipboard onCompositor([]() -> std::unique_ptr<ClipboardSource> { return WaylandClipboard::open(); });
    // Known once the windows' display is open.
    static const ClipboardSource* chosen = nullptr;
    if (!chosen && QGuiApplication::instance())
        chosen = QGuiApplication::platformName() == QLatin1String("xcb") ? &onX
                 : onWayland() && WaylandClipboard::open()               ? &onCompositor
                                                                          : static_cast<const ClipboardSource*>(&clipboard);
    return chosen ? *chosen : clipboard;
}

bool ClipboardHasBitmap(const ClipboardSource& clipboard)
{
    return !imageFormats(clipboard.formats()).isEmpty() || !clipboard.heldImage().isNull();
}

QImage ClipboardGetBitmap(const ClipboardSource& clipboard)
{
    // A picture too large to hold is refused before any memory is taken for
    // it. A format that does not decode gives way to the next one.
    QString unreadable;
    const auto noteUnreadable = [&unreadable](const QString& format, const QString& reason) {
        if (unreadable.isEmpty())
            unreadable = QCoreApplication::translate("host", "The picture on the clipboard cannot be read (%1): %2")
                             .arg(format, reason);
    };
    for (const QString& format : imageFormats(clipboard.formats())) {
        QByteArray bytes = clipboard.data(format);
        if (bytes.isEmpty())
            continue;
        const QString what = QCoreApplication::translate("host", "The picture on the clipboard");
        const std::optional<host::HostError> damaged =
            host::skipOnError([&] { pictures::checkPngChunks(bytes, QCoreApplication::translate("host", "it")); });
        if (damaged) {
            noteUnreadable(format, damaged->description());
            continue;
        }
        if (std::optional<QImage> capture = pictures::decodeCapturePng(bytes, what))
            return *std::move(capture);
        QBuffer buffer(&bytes);
        QImageReader reader(&buffer);
        QString reason;
        const QImage image = pictures::readPicture(reader, what, reason);
        if (!image.isNull())
            return image;
        noteUnreadable(format, reason);
    }
    // Qt's own conversion would only decode the same data again, damaged
    // parts and all.
    if (!unreadable.isEmpty())
        host::raiseError(host::ErrorKind::Picture, unreadable);
    const QImage image = clipboard.heldImage();
    pictures::checkPictureSize(image.size(), QCoreApplication::translate("host", "The picture on the clipboard"));
    if (!image.isNull())
        return image;
    noPicture();
}

} // namespace forms
