#include "forms/Notifications.h"

#include "host/Process.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <algorithm>

namespace forms {
namespace {

// A service that does not answer, or one the bus is still starting, holds
// the command up no longer than this in all.
constexpr qint64 kAnswerMs = 2000;

} // namespace

void notify(const Notice& notice)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // Plain calls: an interface object would first ask the service to
    // describe itself, with Qt's own wait of 25 seconds.
    QElapsedTimer waited;
    waited.start();
    const auto call = [&](const QString& method, const QVariantList& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                                              QStringLiteral("/org/freedesktop/Notifications"),
                                                              QStringLiteral("org.freedesktop.Notifications"), method);
        message.setArguments(arguments);
        const QDBusMessage reply = bus.call(message, QDBus::Block, int(std::max<qint64>(1, kAnswerMs - waited.elapsed())));
        // No service at all is no error; one that is there but silent is said.
        if (reply.type() == QDBusMessage::ErrorMessage
            && reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply"))
            host::printError(QCoreApplication::translate("host", "the desktop's notification service did not answer within %1 "
                                                           "seconds; no notification was shown.")
                           .arg(kAnswerMs / 1000));
        return reply;
    };
    const QDBusMessage capabilities = call(QStringLiteral("GetCapabilities"), {});
    if (capabilities.type() != QDBusMessage::ReplyMessage)
        return;
    QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("org.qorix.Capture")},
                      {QStringLiteral("urgency"), QVariant::fromValue(uchar(notice.failure ? 2 : 1))}};
    if (!notice.file.isEmpty()) {
        // KDE's server offers to open the file and its folder.
        hints.insert(QStringLiteral("x-kde-urls"), QStringList{QUrl::fromLocalFile(QFileInfo(notice.file).absoluteFilePath()).toString()});
    }
    // Markup in the body only where the server reads it: a path may hold "&".
    const bool markup = capabilities.arguments().value(0).toStringList().contains(QStringLiteral("body-markup"));
    call(QStringLiteral("Notify"), {QStringLiteral("QORIX Capture"), uint(0), QStringLiteral("org.qorix.Capture"),
                                    notice.summary, markup ? notice.body.toHtmlEscaped() : notice.body, QStringList(),
                                    hints, int(-1)});
}

} // namespace forms
