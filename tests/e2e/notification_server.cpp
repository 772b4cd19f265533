// A desktop's notification service for tests, on the session bus: with
// "markup" on its command line it reads markup in the body. Each
// notification it is sent is a line of JSON on standard output.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QVariantMap>
#include <cstdio>

class Server : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit Server(bool markup) : m_markup(markup) {}

public slots:
    QStringList GetCapabilities()
    {
        return m_markup ? QStringList{"body", "body-markup"} : QStringList{"body"};
    }
    uint Notify(const QString& application, uint, const QString& icon, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap& hints, int)
    {
        QJsonObject line{{"application", application}, {"icon", icon}, {"summary", summary}, {"body", body},
                         {"actions", QJsonValue::fromVariant(actions)}};
        for (auto hint = hints.begin(); hint != hints.end(); ++hint) {
            // A byte (urgency) as its number, not as a character.
            const bool byte = hint.value().metaType().id() == QMetaType::UChar;
            line.insert("hint " + hint.key(), byte ? QJsonValue(hint.value().toInt()) : QJsonValue::fromVariant(hint.value()));
        }
        std::printf("%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
        std::fflush(stdout);
        return ++m_id;
    }
    void CloseNotification(uint) {}

private:
    bool m_markup;
    uint m_id = 0;
};

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    Server server(application.arguments().contains("markup"));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject("/org/freedesktop/Notifications", &server, QDBusConnection::ExportAllSlots)
        || !bus.registerService("org.freedesktop.Notifications"))
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    return application.exec();
}

#include "notification_server.moc"
