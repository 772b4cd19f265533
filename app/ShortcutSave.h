#pragma once

#include "forms/Clipboard.h"

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
