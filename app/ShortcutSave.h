#pragma once

#include "forms/Clipboard.h"
#include "forms/X11Clipboard.h"

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

// The same save of the clipboard's picture (--save) before the windows'
// display is opened, when the clipboard is an X display's (given, read
// straight from the X server): it loads nothing that only windows use. An
// owner that does not answer is said at once: asking again through Qt would
// only wait again. None when it cannot be done so: a prompt is a window (the
// clipboard is kept for saveFromShortcut to read), or the owner offers no
// picture file (dropped: what only Qt reads, such as an X pixmap, and the
// message for a clipboard without a picture are left to Qt's display).
std::optional<int> saveWithoutDisplay(const cli::Request& request, std::unique_ptr<forms::X11Clipboard>& clipboard);
