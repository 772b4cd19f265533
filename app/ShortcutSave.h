#pragma once

#include "app/StoredOptions.h"
#include "forms/Clipboard.h"
#include "forms/Screenshot.h"

#include <QImage>
#include <functional>

#include <memory>
#include <optional>

namespace cli {
struct Request;
}

// "Save to File" run once without the main window, as a desktop keyboard
// shortcut runs it, on the clipboard's picture (--save) or on a screenshot
// taken first (--capture): the stored options are read and never written, the
// prompt still asks when "Prompt to Save" is set, and the messages go to
// standard error instead of boxes. A file named by the request (--output)
// replaces the stored name and the prompt, and is replaced when it exists.
// What was done is also shown as a desktop notification, unless the request
// is quiet. Prints the file written and gives the exit code: 0 when a file
// was written, 1 when none was. The clipboard is Qt's unless told.
int saveFromShortcut(const cli::Request& request, const forms::ClipboardSource& clipboard = forms::displayClipboard());

// The screenshot the request asks for; that the desktop asks the person
// first is said on standard error and, unless the request is quiet, in a
// notification. The request is kept by reference.
forms::ScreenshotRequest screenshotRequest(const cli::Request& request);

// The same save handed to the program of this user's that runs already (the
// window, or the clipboard watch), which saves with its options of the
// moment; the exit code, or none when no program answers at once. The
// caller waits a capture's delay first.
std::optional<int> saveThroughRunningProgram(const cli::Request& request);

// The capture saved as the options say, from the picture given (a screenshot,
// say) when there is one, else from the clipboard: the file written, empty
// after the messages that say why none was.
QString saveCapture(const cli::Request& request, const options::Values& options, std::optional<QImage> picture,
                    const forms::ClipboardSource& clipboard);

// Runs a save with its messages on standard error, tells the desktop what
// came of it (unless the request is quiet) and prints the file written; the
// exit code.
int reportSave(const cli::Request& request, const std::function<QString()>& save);

// The clipboard a save reads before any display is opened, straight from
// where it is kept: the Wayland compositor's through its data-control where
// it offers that, else the X display's (through XWayland in a Wayland
// session, which the windows then use too). None where neither is there.
std::unique_ptr<forms::ClipboardSource> clipboardWithoutDisplay();

// The same save of the clipboard's picture (--save) on that clipboard before
// the windows' display is opened: it loads nothing that only windows use. An
// owner that does not answer is said at once: asking again through Qt would
// only wait again; so is a Wayland session where neither the compositor nor
// its X display gives the picture. None when it cannot be done so: a prompt
// is a window (the clipboard is kept for saveFromShortcut to read), or an X
// session's owner offers no picture file (dropped: what only Qt reads, such
// as an X pixmap, and the message for a clipboard without a picture are left
// to Qt's display).
std::optional<int> saveWithoutDisplay(const cli::Request& request, std::unique_ptr<forms::ClipboardSource>& clipboard);
