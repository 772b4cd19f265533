#include "forms/Portal.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QRandomGenerator>
#include <QTimer>

namespace forms {
namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");

} // namespace

bool PortalRequest::ask(const QString& interface, const QString& method, QVariantList arguments, QVariantMap options)
{
    if (!m_bus.isConnected())
        return false;
    const QString token = QStringLiteral("qorix%1").arg(QRandomGenerator::global()->generate());
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    m_handle = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    m_bus.connect(kPortal, m_handle, kRequest, QStringLiteral("Response"), this, SLOT(Response(uint, QVariantMap)));
    options.insert(QStringLiteral("handle_token"), token);
    QDBusMessage call = QDBusMessage::createMethodCall(kPortal, QStringLiteral("/org/freedesktop/portal/desktop"),
                                                       interface, method);
    call.setArguments(arguments << options);
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return false;
    // An older portal answers on an object of its own naming: listen there.
    if (const QString handle = reply.arguments().value(0).value<QDBusObjectPath>().path();
        !handle.isEmpty() && handle != m_handle) {
        m_bus.disconnect(kPortal, m_handle, kRequest, QStringLiteral("Response"), this, SLOT(Response(uint, QVariantMap)));
        m_handle = handle;
        m_bus.connect(kPortal, m_handle, kRequest, QStringLiteral("Response"), this, SLOT(Response(uint, QVariantMap)));
    }
    return true;
}

bool PortalRequest::wait(std::chrono::milliseconds time)
{
    if (!response) {
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &m_loop, &QEventLoop::quit);
        timer.start(time);
        m_loop.exec();
    }
    return response.has_value();
}

void PortalRequest::close()
{
    m_bus.call(QDBusMessage::createMethodCall(kPortal, m_handle, kRequest, QStringLiteral("Close")), QDBus::Block, 2000);
}

void PortalRequest::Response(uint code, const QVariantMap& values)
{
    response = code;
    results = values;
    m_loop.quit();
}

} // namespace forms
