#include "app/ShortcutSave.h"

#include "app/CommandLine.h"
#include "app/SaveCommand.h"
#include "app/StoredOptions.h"
#include "forms/Application.h"
#include "forms/Clipboard.h"
#include "forms/MessageBox.h"
#include "forms/Notifications.h"
#include "forms/Screenshot.h"
#include "host/Handlers.h"
#include "host/Process.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>
#include <chrono>
#include <cstdio>
#include <optional>

namespace {

// How long the desktop's screenshot portal may take to answer: a person
// picking an area takes longer than the screen being taken.
std::chrono::milliseconds answerTime(const cli::Request& request)
{
    using namespace std::chrono_literals;
    return request.interactive ? std::chrono::milliseconds(5min) : std::chrono::milliseconds(20s);
}

// The notification of a save: the file written, or why nothing was.
void tellDesktop(const cli::Request& request, const QString& written, const QStringList& told)
{
    if (request.quiet)
        return;
    if (written.isEmpty())
        host::notify({QCoreApplication::translate("frmMain", "Nothing was saved"), told.join(QLatin1Char('\n')), {}, true});
    else
        host::notify({QCoreApplication::translate("frmMain", "Capture saved"), written, written, false});
}

} // namespace

int saveFromShortcut(const cli::Request& request)
{
    QStringList told;
    host::setMessageSink([&told](const QString& text, host::MsgBoxStyle) {
        host::printError(text);
        told << text;
    });
    QString written;
    std::optional<QImage> screenshot;
    const bool fromClipboard = request.action != cli::Action::Capture;
    if (!fromClipboard) {
        QThread::sleep(unsigned(request.delaySeconds));
        host::trapErrors([&] { screenshot = host::takeScreenshot(request.interactive, answerTime(request)); },
                         [](const host::HostError& error) { host::MsgBox(error.description()); });
    }
    if (fromClipboard && host::onWayland() && !host::ClipboardHasBitmap()) {
        // A Wayland compositor gives the clipboard only to the window in
        // focus; a save without a window sees it empty, whatever it holds.
        host::MsgBox(QCoreApplication::translate(
            "frmMain", "The clipboard cannot be read: on Wayland only the window in focus may read it, and there is no "
                       "X display (XWayland, DISPLAY) to read it through. Nothing was saved. Turn XWayland on, or "
                       "use \"Save to File\" in the program's window."));
    } else if (fromClipboard || screenshot) {
        palette::Workspace workspace;
        SaveCommand command(workspace);
        command.output = request.output;
        command.picture = screenshot;
        written = command.run(options::load(), false);
        if (written.isEmpty() && told.isEmpty())
            host::MsgBox(QCoreApplication::translate("frmMain", "Nothing was saved."));
    }
    host::setMessageSink({});
    tellDesktop(request, written, told);
    if (written.isEmpty())
        return 1;
    std::printf("%s\n", qPrintable(written));
    return 0;
}
