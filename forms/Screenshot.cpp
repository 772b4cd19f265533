#include "forms/Screenshot.h"

#include "forms/Portal.h"

#include "host/Files.h"
#include "host/HostError.h"
#include "host/Process.h"
#include "pictures/Picture.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPixmap>
#include <QRegularExpression>
#include <QScreen>
#include <QUrl>
#include <QVariantMap>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace forms {
namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("forms", text);
}

// What the portal answered: its code (0 taken, 1 cancelled, 2 failed) and the
// file's address. None when no portal takes the call; an error when it
// gives no answer within the time.
struct Answer {
    uint code;
    QString uri;
};

// The id the portal knows this program by, from its systemd unit.
QString portalApplicationId()
{
    QFile groups(QStringLiteral("/proc/self/cgroup"));
    if (!groups.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : groups.read(1 << 16).split('\n'))
        if (line.startsWith("0::") || line.contains(":name=systemd:"))
            return applicationIdOfUnit(QString::fromUtf8(line.mid(line.lastIndexOf('/') + 1)));
    return {};
}

// Whether the desktop lets this program take screenshots without asking
// the person: so its portal's permission store says, in the table
// "screenshot", entry "screenshot".
bool screenshotsAllowed(QDBusConnection& bus)
{
    QDBusMessage lookup = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.impl.portal.PermissionStore"), QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"),
        QStringLiteral("org.freedesktop.impl.portal.PermissionStore"), QStringLiteral("Lookup"));
    lookup << QStringLiteral("screenshot") << QStringLiteral("screenshot");
    const QDBusMessage reply = bus.call(lookup, QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    const auto permissions = qdbus_cast<QMap<QString, QStringList>>(reply.arguments().constFirst());
    return permissions.value(portalApplicationId()).contains(QStringLiteral("yes"));
}

// How long the portal may take to answer before its desktop is taken to be
// asking the person, where it has not allowed this program screenshots.
constexpr std::chrono::milliseconds kQuickAnswer(1500);

std::optional<Answer> askPortal(const ScreenshotRequest& request)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    const bool allowed = request.interactive || (bus.isConnected() && screenshotsAllowed(bus));
    PortalRequest portal;
    if (!portal.ask(QStringLiteral("org.freedesktop.portal.Screenshot"), QStringLiteral("Screenshot"), {QString()},
                    {{QStringLiteral("interactive"), request.interactive}}))
        return std::nullopt;
    std::chrono::milliseconds waited = request.interactive ? request.personTime : request.answerTime;
    if (allowed) {
        portal.wait(waited);
    } else if (!portal.wait(kQuickAnswer)) {
        waited = request.personTime;
        if (request.asking)
            request.asking(tr("The desktop asks whether QORIX Capture may take screenshots: answer its question, "
                              "and the screen is taken."));
        portal.wait(waited - kQuickAnswer);
    }
    if (!portal.response) {
        portal.close();
        host::raiseError(host::ErrorKind::General,
                         tr("The desktop's screenshot portal did not answer within %1 seconds; no screenshot was taken.")
                             .arg(std::chrono::duration_cast<std::chrono::seconds>(waited).count()));
    }
    return Answer{*portal.response, portal.results.value(QStringLiteral("uri")).toString()};
}

// The time as the file system stamps files, which may lag the precise clock.
timespec fileClock()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now;
}

// Which file the portal made for the request asked at that time, to be
// removed once read: a regular file (not a link, pipe or device), made since,
// in a folder for temporary files once the links of its path are resolved.
// None for any other, which is left as it is: a portal may also hand over a
// file of the person's own.
std::optional<host::FileIdentity> madeForRequest(const QString& file, timespec asked)
{
    struct statx status {};
    if (::statx(AT_FDCWD, QFile::encodeName(file).constData(), AT_SYMLINK_NOFOLLOW,
                STATX_TYPE | STATX_INO | STATX_BTIME | STATX_CTIME, &status) != 0
        || !S_ISREG(status.stx_mode))
        return std::nullopt;
    // Where the file system keeps no birth time, the last change stands in.
    const statx_timestamp made = (status.stx_mask & STATX_BTIME) ? status.stx_btime : status.stx_ctime;
    if (made.tv_sec < asked.tv_sec || (made.tv_sec == asked.tv_sec && made.tv_nsec < asked.tv_nsec))
        return std::nullopt;
    const QString folder = QFileInfo(QFileInfo(file).absolutePath()).canonicalFilePath();
    for (const QString& scratch : {QDir::tempPath(), QStringLiteral("/tmp"), qEnvironmentVariable("XDG_RUNTIME_DIR")}) {
        const QString resolved = scratch.isEmpty() ? QString() : QFileInfo(scratch).canonicalFilePath();
        if (!folder.isEmpty() && !resolved.isEmpty()
            && (folder == resolved || folder.startsWith(resolved + QLatin1Char('/'))))
            return host::FileIdentity{makedev(status.stx_dev_major, status.stx_dev_minor), status.stx_ino};
    }
    return std::nullopt;
}

// The portal's file read as every picture is; removed after, read or not,
// when the portal made it for this request.
QImage readPortalFile(const QString& file, timespec asked)
{
    const struct Removal {
        QString file;
        std::optional<host::FileIdentity> made;
        ~Removal()
        {
            struct stat now {};
            const QByteArray name = QFile::encodeName(file);
            if (made && ::lstat(name.constData(), &now) == 0 && made == host::FileIdentity{now.st_dev, now.st_ino})
                ::unlink(name.constData());
        }
    } removal{file, madeForRequest(file, asked)};
    return pictures::LoadPicture(file);
}

QImage rootWindow()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
}

} // namespace

QString applicationIdOfUnit(const QString& unit)
{
    static const QRegularExpression named(QStringLiteral(
        R"(^app-(?:[[:alnum:]]+-)?(.+?)(?:(?:@.*)?\.service|-[^-]*\.scope)$)"));
    const QRegularExpressionMatch match = named.match(unit);
    if (!match.hasMatch())
        return {};
    // A unit's name writes characters other than letters, digits, ":", "_"
    // and "." as \xNN.
    QByteArray id = match.captured(1).toLatin1();
    for (qsizetype at = id.indexOf("\\x"); at >= 0 && at + 4 <= id.size(); at = id.indexOf("\\x", at + 1))
        id.replace(at, 4, QByteArray::fromHex(id.mid(at + 2, 2)));
    return QString::fromUtf8(id);
}

QImage takeScreenshot(const ScreenshotRequest& request)
{
    // On X the root window shows the whole screen: the desktop's portal, which
    // may be installed without a backend that takes screenshots there, is
    // asked only for what the person picks.
    const bool onX = QGuiApplication::platformName() == QLatin1String("xcb") && QGuiApplication::primaryScreen();
    if (onX && !request.interactive)
        return rootWindow();
    const timespec asked = fileClock();
    const std::optional<Answer> answer = askPortal(request);
    if (onX && (!answer || answer->code == 2)) {
        host::printError(tr("the desktop has no screenshot dialog that serves here; the whole screen was taken."));
        return rootWindow();
    }
    if (!answer)
        host::raiseError(host::ErrorKind::General, tr("No screenshot can be taken: the desktop has no screenshot portal "
                                          "(xdg-desktop-portal) and the windows are not on X11."));
    if (answer->code == 1)
        host::raiseError(host::ErrorKind::Cancel, tr("The screenshot was cancelled."));
    if (answer->code == 2)
        host::raiseError(host::ErrorKind::General, tr("The desktop's screenshot service failed, or could not let you pick "
                                                      "an area (its answer: 2); on sway, picking needs the program "
                                                      "slurp. No screenshot was taken."));
    if (answer->code != 0)
        host::raiseError(host::ErrorKind::General, tr("The desktop refused the screenshot (its answer: %1).").arg(answer->code));
    const QUrl uri(answer->uri);
    if (!uri.isLocalFile())
        host::raiseError(host::ErrorKind::General, tr("The desktop's screenshot portal gave no file (%1).").arg(uri.toString()));
    return readPortalFile(uri.toLocalFile(), asked);
}

} // namespace forms

