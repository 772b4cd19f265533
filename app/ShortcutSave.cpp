#include "app/ShortcutSave.h"

#include "app/CommandLine.h"
#include "app/SaveCommand.h"
#include "app/ShortcutService.h"
#include "app/StoredOptions.h"
#include "forms/Application.h"
#include "forms/Clipboard.h"
#include "forms/MessageBox.h"
#include "forms/Notifications.h"
#include "forms/Screenshot.h"
#include "forms/Sound.h"
#include "forms/WaylandClipboard.h"
#include "forms/X11Clipboard.h"
#include "host/Handlers.h"
#include "host/Process.h"

#include <QCoreApplication>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// The desktop's portal may take a while to answer, and a person who picks an
// area or answers a question longer.
forms::ScreenshotRequest screenshotRequest(const cli::Request& request)
{
    using namespace std::chrono_literals;
    return {request.interactive, 20s, 5min, [&request](const QString& text) {
                host::printError(text);
                if (!request.quiet)
                    forms::notify({QCoreApplication::translate("frmMain", "The desktop asks first"), text, {}, false});
            }};
}

namespace {

// Why the clipboard cannot be read in a Wayland session where nothing lets a
// program without a window read it.
void unreadableHere(bool xDisplay)
{
    const QString reason =
        xDisplay ? QCoreApplication::translate("frmMain", "and its X display (XWayland) holds no picture")
                 : QCoreApplication::translate("frmMain", "and there is no X display (XWayland, DISPLAY) to read it through");
    forms::MsgBox(QCoreApplication::translate(
                      "frmMain", "The clipboard cannot be read from outside a window here: this Wayland desktop gives it "
                                 "only to the window in focus and has no other way to read it (data-control), %1. Nothing "
                                 "was saved. Use \"Save to File\" in the program's window, or qorix-capture --capture to "
                                 "take the screen.")
                      .arg(reason));
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

} // namespace

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

int saveFromShortcut(const cli::Request& request, const forms::ClipboardSource& clipboard)
{
    return reportSave(request, [&request, &clipboard]() -> QString {
        if (request.action == cli::Action::Capture) {
            std::optional<QImage> screenshot;
            host::trapErrors([&] { screenshot = forms::takeScreenshot(screenshotRequest(request)); },
                             [](const host::HostError& error) { forms::MsgBox(error.description()); });
            if (!screenshot)
                return {};
            return saveCapture(request, options::load(), std::move(screenshot), clipboard);
        }
        // Qt's own Wayland clipboard is read only by the window in focus.
        if (forms::onWayland() && &clipboard == &forms::displayClipboard()) {
            unreadableHere(false);
            return {};
        }
        return saveCapture(request, options::load(), std::nullopt, clipboard);
    });
}

std::optional<int> saveThroughRunningProgram(const cli::Request& request)
{
    const std::optional<RunningAnswer> answer = askRunningProgram(request);
    if (!answer)
        return std::nullopt;
    return reportSave(request, [&answer]() -> QString {
        if (answer->saved)
            return answer->text;
        // A prompt cancelled there says nothing; here that is "Nothing was saved."
        if (!answer->text.isEmpty())
            forms::MsgBox(answer->text);
        return {};
    });
}

std::unique_ptr<forms::ClipboardSource> clipboardWithoutDisplay()
{
    if (std::unique_ptr<forms::WaylandClipboard> wayland = forms::WaylandClipboard::open())
        return wayland;
    forms::preferXForClipboard();
    return forms::X11Clipboard::open();
}

std::optional<int> saveWithoutDisplay(const cli::Request& request, std::unique_ptr<forms::ClipboardSource>& clipboard)
{
    if (request.action != cli::Action::Save || !clipboard)
        return std::nullopt;
    auto* x = dynamic_cast<forms::X11Clipboard*>(clipboard.get());
    bool offered = false;
    const std::optional<host::HostError> silent = host::skipOnError([&] { offered = forms::ClipboardHasBitmap(*clipboard); });
    // An X display in a Wayland session may lack only the picture (weston
    // passes nothing but text to it); in an X session, what only Qt reads
    // there (an X pixmap, say) and the message for a clipboard without a
    // picture are left to Qt's display. The compositor's own clipboard
    // without a picture has none.
    const bool unreadable = !silent && !offered && x && forms::waylandSession();
    if (!silent && !offered && x && !unreadable) {
        clipboard.reset();
        return std::nullopt;
    }
    const options::Values options = options::load();
    if (!silent && !unreadable && request.output.isEmpty() && options.savePrompt != 0)
        return std::nullopt;
    if (x)
        forms::setBell([x] { x->ring(); });
    const int exitCode = reportSave(request, [&]() -> QString {
        if (silent)
            forms::MsgBox(silent->description(), forms::MsgBoxStyle::Critical);
        else if (unreadable)
            unreadableHere(true);
        else
            return saveCapture(request, options, std::nullopt, *clipboard);
        return {};
    });
    forms::setBell({});
    return exitCode;
}
