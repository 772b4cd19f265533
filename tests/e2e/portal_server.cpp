// The desktop's screenshot portal for tests, on the session bus:
//   portal_server CODE DELAY_MS PICTURE [URI]
// answers each request with CODE (0 taken, 1 cancelled, 2 refused; -1
// never) after DELAY_MS, handing over a copy of PICTURE made in a temporary
// folder; or the URI given, where the copy is made when nothing has that
// file's name yet. Each request is a line of JSON on standard output: the
// options, the request's handle and the copy's file; so is a request closed.
// With PORTAL_PERMISSION set, it is the permission store too, where this
// value (yes, no) stands for a program outside a sandbox. Its e-mail
// interface answers each message at once with CODE, and prints it with the
// bytes of its attachment (base64), read from the descriptor given.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QDBusObjectPath>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>
#include <cstdio>

void print(const QJsonObject& line)
{
    std::printf("%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

class Request : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")
public:
    Request(QString handle, QObject* parent) : QObject(parent), m_handle(std::move(handle)) {}
public slots:
    void Close() { print({{"closed", m_handle}}); }

private:
    QString m_handle;
};

class PermissionStore : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.PermissionStore")
public slots:
    void Lookup(const QString& table, const QString& id, const QDBusMessage& message)
    {
        message.setDelayedReply(true);
        QMap<QString, QStringList> permissions;
        if (table == "screenshot" && id == "screenshot")
            permissions.insert("", {qEnvironmentVariable("PORTAL_PERMISSION")});
        QDBusConnection::sessionBus().send(
            message.createReply({QVariant::fromValue(permissions), QVariant::fromValue(QDBusVariant(0))}));
    }
};

class PortalEmail : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Email")
public:
    PortalEmail(QObject* portal, int code) : QDBusAbstractAdaptor(portal), m_code(code) {}
public slots:
    QDBusObjectPath ComposeEmail(const QString&, const QVariantMap& options, const QDBusMessage& message)
    {
        QString sender = message.service().mid(1);
        sender.replace('.', '_');
        const QString handle = "/org/freedesktop/portal/desktop/request/" + sender + "/" + options.value("handle_token").toString();
        QList<QDBusUnixFileDescriptor> attached;
        options.value("attachment_fds").value<QDBusArgument>() >> attached;
        QByteArray bytes;
        for (const QDBusUnixFileDescriptor& fd : attached) {
            QFile file;
            if (file.open(fd.fileDescriptor(), QIODevice::ReadOnly))
                bytes += file.readAll();
        }
        print({{"addresses", QJsonValue::fromVariant(options.value("addresses"))},
               {"subject", options.value("subject").toString()},
               {"body", options.value("body").toString()},
               {"attachment", QString::fromLatin1(bytes.toBase64())}});
        QTimer::singleShot(0, this, [this, handle] {
            QDBusMessage response = QDBusMessage::createSignal(handle, "org.freedesktop.portal.Request", "Response");
            response << uint(m_code) << QVariantMap();
            QDBusConnection::sessionBus().send(response);
        });
        return QDBusObjectPath(handle);
    }

private:
    int m_code;
};

class PortalScreenshot : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
public:
    PortalScreenshot(int code, int delayMs, QString picture, QString uri)
        : m_code(code), m_delayMs(delayMs), m_picture(std::move(picture)), m_uri(std::move(uri))
    {
    }

public slots:
    QDBusObjectPath Screenshot(const QString&, const QVariantMap& options, const QDBusMessage& message)
    {
        QString sender = message.service().mid(1);
        sender.replace('.', '_');
        // A portal older than the handle_token names the request's object its own way.
        if (qEnvironmentVariableIsSet("PORTAL_OLDER"))
            sender = "older";
        const QString handle = "/org/freedesktop/portal/desktop/request/" + sender + "/" + options.value("handle_token").toString();
        const QString copy = m_uri.isEmpty() ? m_files.filePath(QString("shot%1.png").arg(++m_count)) : QUrl(m_uri).toLocalFile();
        if (!copy.isEmpty() && !QFileInfo(copy).exists() && !QFileInfo(copy).isSymLink())
            QFile::copy(m_picture, copy);
        const QString uri = m_uri.isEmpty() ? QUrl::fromLocalFile(copy).toString() : m_uri;
        QJsonObject line{{"handle", handle}, {"file", copy}};
        for (auto option = options.begin(); option != options.end(); ++option)
            line.insert(option.key(), QJsonValue::fromVariant(option.value()));
        print(line);
        QDBusConnection::sessionBus().registerObject(handle, new Request(handle, this), QDBusConnection::ExportAllSlots);
        if (m_code >= 0) {
            QTimer::singleShot(m_delayMs, this, [this, handle, uri] {
                QDBusMessage response = QDBusMessage::createSignal(handle, "org.freedesktop.portal.Request", "Response");
                response << uint(m_code) << QVariantMap{{"uri", uri}};
                QDBusConnection::sessionBus().send(response);
            });
        }
        return QDBusObjectPath(handle);
    }

private:
    int m_code, m_delayMs;
    QString m_picture, m_uri;
    QTemporaryDir m_files;
    int m_count = 0;
};

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 4 && arguments.size() != 5)
        return 2;
    PortalScreenshot portal(arguments[1].toInt(), arguments[2].toInt(), arguments[3], arguments.value(4));
    new PortalEmail(&portal, arguments[1].toInt());
    qDBusRegisterMetaType<QList<QDBusUnixFileDescriptor>>();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject("/org/freedesktop/portal/desktop", &portal,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAdaptors)
        || !bus.registerService("org.freedesktop.portal.Desktop"))
        return 1;
    qDBusRegisterMetaType<QMap<QString, QStringList>>();
    PermissionStore store;
    if (qEnvironmentVariableIsSet("PORTAL_PERMISSION")
        && (!bus.registerObject("/org/freedesktop/impl/portal/PermissionStore", &store, QDBusConnection::ExportAllSlots)
            || !bus.registerService("org.freedesktop.impl.portal.PermissionStore")))
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    return application.exec();
}

#include "portal_server.moc"
