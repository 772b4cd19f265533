#include "app/ShortcutService.h"

#include "app/CommandLine.h"
#include "app/ShortcutSave.h"
#include "forms/MessageBox.h"
#include "forms/Screenshot.h"
#include "host/Handlers.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <unistd.h>

namespace {

const QString kName = QStringLiteral("org.qorix.Capture");
const QString kPath = QStringLiteral("/org/qorix/Capture");
const QString kInterface = QStringLiteral("org.qorix.Capture.Shortcut");
const QString kBusy = QStringLiteral("org.qorix.Capture.Error.Busy");

// A program that does not say hello this fast is not waited for.
constexpr int kHelloMs = 1000;
// A save may wait for a person: the prompt, a pick, the desktop's question.
constexpr int kSaveMs = 6 * 60 * 1000;

} // namespace

ShortcutService::ShortcutService(Saver save, Serves serves) : m_save(std::move(save)), m_serves(std::move(serves))
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_answering = bus.isConnected() && bus.registerObject(kPath, this, QDBusConnection::ExportAllSlots)
                  && bus.registerService(kName);
}

ShortcutService::~ShortcutService()
{
    if (!m_answering)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(kName);
    bus.unregisterObject(kPath);
}

QString ShortcutService::Hello()
{
    return QCoreApplication::applicationName();
}

void ShortcutService::Save(const QString& output, const QDBusMessage& message)
{
    answer(message, output, [&](QStringList&) { return m_save(output, std::nullopt); });
}

void ShortcutService::Capture(bool interactive, const QString& output, const QDBusMessage& message)
{
    answer(message, output, [&](QStringList& told) -> QString {
        cli::Request asked;
        asked.action = cli::Action::Capture;
        asked.interactive = interactive;
        std::optional<QImage> screenshot;
        host::trapErrors([&] { screenshot = forms::takeScreenshot(screenshotRequest(asked)); },
                         [&told](const host::HostError& error) { told << error.description(); });
        return screenshot ? m_save(output, std::move(screenshot)) : QString();
    });
}

void ShortcutService::answer(const QDBusMessage& message, const QString& output,
                             const std::function<QString(QStringList&)>& save)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    message.setDelayedReply(true);
    const auto* screens = qobject_cast<QApplication*>(QCoreApplication::instance());
    // Another user's program, a save under way, a dialog open or a request
    // this program does not serve: the command saves by itself.
    if (bus.interface()->serviceUid(message.service()).value() != ::getuid() || m_busy
        || (screens && QApplication::activeModalWidget()) || !m_serves(message.member() == QLatin1String("Capture"))) {
        bus.send(message.createErrorReply(kBusy, QStringLiteral("not now")));
        return;
    }
    if (const QString problem = cli::outputProblem(output); !output.isEmpty() && !problem.isEmpty()) {
        bus.send(message.createReply(QVariantList{false, problem}));
        return;
    }
    m_busy = true;
    QStringList told;
    forms::setMessageSink([&told](const QString& text, forms::MsgBoxStyle) { told << text; });
    const QString written = save(told);
    forms::setMessageSink({});
    m_busy = false;
    bus.send(message.createReply(QVariantList{!written.isEmpty(), written.isEmpty() ? told.join(QLatin1Char('\n')) : written}));
}

std::optional<RunningAnswer> askRunningProgram(const cli::Request& request)
{
    // Without a session bus there is nobody to ask, and the bus library would
    // first try to start one.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")
        && !QFileInfo::exists(qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1String("/bus")))
        return std::nullopt;
    // A connection of its own, ended here: asked before the windows' display
    // is opened, the command may still use the session bus after.
    const QString asking = QStringLiteral("qorix-capture-asking");
    const struct Ending {
        QString name;
        ~Ending() { QDBusConnection::disconnectFromBus(name); }
    } ending{asking};
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, asking);
    // Asked of the bus itself: nothing is started for the name.
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kName).value())
        return std::nullopt;
    const auto call = [&](const QString& method, const QVariantList& arguments, int timeoutMs) {
        QDBusMessage message = QDBusMessage::createMethodCall(kName, kPath, kInterface, method);
        message.setArguments(arguments);
        return bus.call(message, QDBus::Block, timeoutMs);
    };
    if (call(QStringLiteral("Hello"), {}, kHelloMs).type() != QDBusMessage::ReplyMessage)
        return std::nullopt;
    const QDBusMessage reply = request.action == cli::Action::Capture
                                   ? call(QStringLiteral("Capture"), {request.interactive, request.output}, kSaveMs)
                                   : call(QStringLiteral("Save"), {request.output}, kSaveMs);
    if (reply.type() == QDBusMessage::ErrorMessage && reply.errorName() == kBusy)
        return std::nullopt;
    // Saving here as well might write a second file.
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2)
        return RunningAnswer{false, QCoreApplication::translate("frmMain", "The running QORIX Capture took the request "
                                                                           "but gave no answer (%1).")
                                        .arg(reply.errorMessage())};
    return RunningAnswer{reply.arguments()[0].toBool(), reply.arguments()[1].toString()};
}
