#pragma once

#include <QObject>
#include <QDBusConnection>
#include <QEventLoop>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <chrono>
#include <optional>

namespace forms {

// One request to the desktop portal (org.freedesktop.portal.Desktop): the
// call, and its answer, which comes as a signal on the request's own object
// and is listened for before the call is made, so that an answer at once is
// not missed.
class PortalRequest : public QObject {
    Q_OBJECT
public:
    // Calls the method of the portal's interface with the arguments, then the
    // options (which get the request's token). False when no portal takes
    // the call.
    bool ask(const QString& interface, const QString& method, QVariantList arguments, QVariantMap options);
    // Waits at most that long for the answer; true once it has come.
    bool wait(std::chrono::milliseconds time);
    // Gives the request up: the desktop takes down what it shows for it (a
    // question, a dialog), and the next request is not refused for it.
    void close();

    // The answer: 0 done, 1 cancelled by the person, 2 failed.
    std::optional<uint> response;
    QVariantMap results;

public slots:
    void Response(uint code, const QVariantMap& values);

private:
    QDBusConnection m_bus = QDBusConnection::sessionBus();
    QString m_handle;
    QEventLoop m_loop;
};

} // namespace forms
