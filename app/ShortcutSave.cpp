#include "app/ShortcutSave.h"

#include "app/CommandLine.h"
#include "app/SaveCommand.h"
#include "app/StoredOptions.h"
#include "forms/Application.h"
#include "forms/Clipboard.h"
#include "forms/MessageBox.h"
#include "forms/Notifications.h"
#include "forms/Screenshot.h"
#include "forms/Sound.h"
#include "forms/X11Clipboard.h"
#include "host/Handlers.h"
#include "host/Process.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>
#include <chrono>
#include <functional>
#include <memory>
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
        forms::notify({QCoreApplication::translate("frmMain", "Nothing was saved"), told.join(QLatin1Char('\n')), {}, true});
    else
        forms::notify({QCoreApplication::translate("frmMain", "Capture saved"), written, written, false});
}

// The capture saved as the stored options say, from the screenshot when
// there is one, else from the clipboard.
QString saveCapture(const cli::Request& request, const options::Values& options, std::optional<QImage> screenshot,
                    const forms::ClipboardSource& clipboard)
{
    palette::Workspace workspace;
    SaveCommand command(workspace);
    command.output = request.output;
    command.picture = std::move(screenshot);
    command.clipboard = &clipboard;
    return command.run(options, false);
}

// Runs the save with its messages on standard error, tells the desktop what
// came of it and prints the file written; the exit code.
int reportSave(const cli::Request& request, const std::function<QString()>& save)
{
    QStringList told;
    forms::setMessageSink([&told](const QString& text, forms::MsgBoxStyle) {
        host::printError(text);
        told << text;
    });
    const QString written = save();
    if (written.isEmpty() && told.isEmpty())
        forms::MsgBox(QCoreApplication::translate("frmMain", "Nothing was saved."));
    forms::setMessageSink({});
    // The file's name first: it is the command's result, which a slow
    // notification service must not hold up.
    const bool printed = !written.isEmpty() && host::printLine(written);
    tellDesktop(request, written, told);
    return printed ? 0 : 1;
}

} // namespace

int saveFromShortcut(const cli::Request& request, const forms::ClipboardSource& clipboard)
{
    return reportSave(request, [&request, &clipboard]() -> QString {
        if (request.action == cli::Action::Capture) {
            QThread::sleep(unsigned(request.delaySeconds));
            std::optional<QImage> screenshot;
            host::trapErrors([&] { screenshot = forms::takeScreenshot(request.interactive, answerTime(request)); },
                             [](const host::HostError& error) { forms::MsgBox(error.description()); });
            if (!screenshot)
                return {};
            return saveCapture(request, options::load(), std::move(screenshot), clipboard);
        }
        if (forms::onWayland() && !forms::ClipboardHasBitmap(clipboard)) {
            // A Wayland compositor gives the clipboard only to the window in
            // focus; a save without a window sees it empty, whatever it holds.
            forms::MsgBox(QCoreApplication::translate(
                "frmMain", "The clipboard cannot be read: on Wayland only the window in focus may read it, and there is "
                           "no X display (XWayland, DISPLAY) to read it through. Nothing was saved. Turn XWayland on, "
                           "or use \"Save to File\" in the program's window."));
            return {};
        }
        return saveCapture(request, options::load(), std::nullopt, clipboard);
    });
}

std::optional<int> saveWithoutDisplay(const cli::Request& request, std::unique_ptr<forms::X11Clipboard>& clipboard)
{
    if (request.action != cli::Action::Save || !clipboard)
        return std::nullopt;
    bool offered = false;
    const std::optional<host::HostError> silent = host::skipOnError([&] { offered = forms::ClipboardHasBitmap(*clipboard); });
    if (!silent && !offered) {
        clipboard.reset();
        return std::nullopt;
    }
    const options::Values options = options::load();
    if (!silent && request.output.isEmpty() && options.savePrompt != 0)
        return std::nullopt;
    forms::setBell([&clipboard] { clipboard->ring(); });
    const int exitCode = reportSave(request, [&]() -> QString {
        if (silent) {
            forms::MsgBox(silent->description(), forms::MsgBoxStyle::Critical);
            return {};
        }
        return saveCapture(request, options, std::nullopt, *clipboard);
    });
    forms::setBell({});
    return exitCode;
}
