#include "forms/Screenshot.h"

#include "forms/Application.h"
#include "host/HostError.h"
#include "pictures/Picture.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPixmap>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>
#include <optional>

namespace host {
namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");

QString tr(const char* text)
{
    return QCoreApplication::translate("host", text);
}

// The portal's answer to one request, which comes as a signal on the
// request's own object; listened for before the request is made, so that
// an answer at once is not missed.
class PortalAnswer : public QObject {
    Q_OBJECT
public:
    std::optional<uint> response;
    QVariantMap results;
    QEventLoop loop;

public slots:
    void Response(uint code, const QVariantMap& values)
    {
        response = code;
        results = values;
        loop.quit();
    }
};

// The file the portal wrote, or none when no portal answered the call.
std::optional<QString> portalScreenshot(bool interactive, std::chrono::milliseconds answerTime)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::nullopt;
    const QString token = QStringLiteral("qorix%1").arg(QRandomGenerator::global()->generate());
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString handle = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    PortalAnswer answer;
    bus.connect(kPortal, handle, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"), &answer,
                SLOT(Response(uint, QVariantMap)));
    QDBusMessage call = QDBusMessage::createMethodCall(kPortal, QStringLiteral("/org/freedesktop/portal/desktop"),
                                                       QStringLiteral("org.freedesktop.portal.Screenshot"),
                                                       QStringLiteral("Screenshot"));
    call << QString() << QVariantMap{{QStringLiteral("handle_token"), token}, {QStringLiteral("interactive"), interactive}};
    const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return std::nullopt;
    if (!answer.response) {
        QTimer::singleShot(answerTime, &answer.loop, &QEventLoop::quit);
        answer.loop.exec();
    }
    if (!answer.response)
        raiseError(ErrorKind::General, tr("The desktop's screenshot portal did not answer within %1 seconds; no screenshot "
                                          "was taken.")
                                           .arg(std::chrono::duration_cast<std::chrono::seconds>(answerTime).count()));
    if (*answer.response == 1)
        raiseError(ErrorKind::Cancel, tr("The screenshot was cancelled."));
    if (*answer.response != 0)
        raiseError(ErrorKind::General, tr("The desktop refused the screenshot (its answer: %1).").arg(*answer.response));
    const QUrl uri(answer.results.value(QStringLiteral("uri")).toString());
    if (!uri.isLocalFile())
        raiseError(ErrorKind::General, tr("The desktop's screenshot portal gave no file (%1).").arg(uri.toString()));
    return uri.toLocalFile();
}

// Whether a file the portal wrote lies in a folder for temporary files.
bool temporary(const QString& file)
{
    const QString folder = QFileInfo(file).absolutePath();
    for (const QString& scratch : {QDir::tempPath(), QStringLiteral("/tmp"), qEnvironmentVariable("XDG_RUNTIME_DIR")})
        if (!scratch.isEmpty() && (folder == scratch || folder.startsWith(scratch + QLatin1Char('/'))))
            return true;
    return false;
}

} // namespace

QImage takeScreenshot(bool interactive, std::chrono::milliseconds answerTime)
{
    if (const std::optional<QString> file = portalScreenshot(interactive, answerTime)) {
        const QImage picture = [&] {
            try {
                return LoadPicture(*file);
            } catch (...) {
                if (temporary(*file))
                    QFile::remove(*file);
                throw;
            }
        }();
        if (temporary(*file))
            QFile::remove(*file);
        return picture;
    }
    if (QGuiApplication::platformName() == QLatin1String("xcb") && QGuiApplication::primaryScreen())
        return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    raiseError(ErrorKind::General, tr("No screenshot can be taken: the desktop has no screenshot portal "
                                      "(xdg-desktop-portal) and the windows are not on X11."));
}

} // namespace host

#include "Screenshot.moc"
