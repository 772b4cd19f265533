#include "forms/Notifications.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

namespace host {
namespace {

// A server that does not answer does not hold the command up for long.
constexpr int kAnswerMs = 2000;

} // namespace

void notify(const Notice& notice)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusInterface server(QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
                          QStringLiteral("org.freedesktop.Notifications"), bus);
    if (!server.isValid())
        return;
    server.setTimeout(kAnswerMs);
    QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("org.qorix.Capture")},
                      {QStringLiteral("urgency"), QVariant::fromValue(uchar(notice.failure ? 2 : 1))}};
    if (!notice.file.isEmpty()) {
        // KDE's server offers to open the file and its folder.
        hints.insert(QStringLiteral("x-kde-urls"), QStringList{QUrl::fromLocalFile(QFileInfo(notice.file).absoluteFilePath()).toString()});
    }
    // Markup in the body only where the server reads it: a path may hold "&".
    const QDBusReply<QStringList> capabilities = server.call(QStringLiteral("GetCapabilities"));
    const bool markup = capabilities.isValid() && capabilities.value().contains(QStringLiteral("body-markup"));
    server.call(QStringLiteral("Notify"), QStringLiteral("QORIX Capture"), uint(0), QStringLiteral("org.qorix.Capture"),
                notice.summary, markup ? notice.body.toHtmlEscaped() : notice.body, QStringList(), hints, int(-1));
}

} // namespace host
