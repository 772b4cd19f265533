#include "forms/Application.h"

#include "forms/Accessibility.h"
#include "host/Process.h"

#include <QApplication>
#include <QFont>
#include <QMutex>
#include <QRegularExpression>
#include <cstdio>
#include <cstdlib>

namespace forms {
namespace {

// The messages Qt gives while it connects to the display: held back, and
// replaced by one line of ours should the connection fail.
struct HeldMessage {
    QtMsgType type;
    QString text;
};
QList<HeldMessage> heldMessages;
QMutex heldMessagesLock; // the platform's own threads may report too
DisplayFailure failureLines;

// The line for a failure to open the display: Qt says before it gives up
// when it has no plugin for the platform.
QString failureLine()
{
    static const QRegularExpression missingPlugin(QStringLiteral("Could not find the Qt platform plugin \"([^\"]*)\""));
    const QMutexLocker locker(&heldMessagesLock);
    for (const HeldMessage& message : heldMessages) {
        const QRegularExpressionMatch found = missingPlugin.match(message.text);
        if (!found.hasMatch())
            continue;
        const QString plugin = found.captured(1);
        const QString package = plugin.startsWith(QLatin1String("wayland")) ? QStringLiteral("qt6-wayland")
                                : plugin == QLatin1String("xcb")            ? QStringLiteral("qt6-qpa-plugins")
                                                                             : QString();
        return package.isEmpty() ? failureLines.missingPlugin.arg(plugin)
                                 : failureLines.missingPluginOfPackage.arg(plugin, package);
    }
    return failureLines.display;
}

void holdOrFail(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type != QtFatalMsg) {
        const QMutexLocker locker(&heldMessagesLock);
        heldMessages.append({type, text});
        return;
    }
    host::printError(failureLine());
    std::_Exit(1);
}

} // namespace

void setUpApplication(QApplication& application)
{
    host::setUpCore(application);
    application.setDesktopFileName(QStringLiteral("org.qorix.Capture"));
    application.setFont(windowFont());
    presentControlsToScreenReaders();
}

QFont windowFont()
{
    // The windows are laid out for a compact sans-serif face of Arial's
    // widths; wider faces would cut captions off. Every property is set, so
    // that none comes from a desktop theme's font.
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans Condensed")});
    font.setPointSizeF(8);
    font.setWeight(QFont::Normal);
    font.setStyle(QFont::StyleNormal);
    font.setStretch(QFont::Unstretched);
    font.setUnderline(false);
    font.setStrikeOut(false);
    font.setLetterSpacing(QFont::PercentageSpacing, 100);
    font.setWordSpacing(0);
    font.setCapitalization(QFont::MixedCase);
    return font;
}

QString missingDisplay()
{
    // A platform chosen on purpose (offscreen, say) needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return QCoreApplication::translate("host", "no display: neither DISPLAY nor WAYLAND_DISPLAY is set.");
    return QString();
}

DisplayFailure displayFailure()
{
    const bool wayland = qEnvironmentVariable("QT_QPA_PLATFORM").startsWith(QLatin1String("wayland"));
    const char* variable = wayland || qEnvironmentVariableIsEmpty("DISPLAY") ? "WAYLAND_DISPLAY" : "DISPLAY";
    return {QCoreApplication::translate("host", "cannot open the display \"%1\" (%2).")
                .arg(qEnvironmentVariable(variable), QLatin1String(variable)),
            QCoreApplication::translate("host", "the Qt platform plugin \"%1\" is not installed."),
            QCoreApplication::translate("host", "the Qt platform plugin \"%1\" is not installed; on Debian it comes "
                                                "with the package %2.")};
}

void preferXForClipboard()
{
    if (waylandSession() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

bool waylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
           || qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
}

bool windowsOnX()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty())
        return platform == "xcb";
    return !qEnvironmentVariableIsEmpty("DISPLAY") && !waylandSession();
}

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool onScreen()
{
    return QGuiApplication::platformName() != QLatin1String("offscreen");
}

std::unique_ptr<QApplication> openDisplay(int& argc, char** argv, const DisplayFailure& failure)
{
    failureLines = failure;
    const QtMessageHandler previous = qInstallMessageHandler(holdOrFail);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    const QList<HeldMessage> held = [] {
        const QMutexLocker locker(&heldMessagesLock);
        return std::exchange(heldMessages, {});
    }();
    for (const HeldMessage& message : held)
        qt_message_output(message.type, QMessageLogContext(), message.text);
    setUpApplication(*application);
    return application;
}

} // namespace forms
