#pragma once

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
// was written, 1 when none was.
int saveFromShortcut(const cli::Request& request);

// The same save of the clipboard's picture (--save) before the windows'
// display is opened, when it needs no window and the clipboard is an X
// display's: read straight from the X server, it loads nothing that only
// windows use. None when it cannot be done so (a prompt, another platform, no
// picture the X clipboard gives as an image file); then saveFromShortcut
// runs with the display open.
std::optional<int> saveWithoutDisplay(const cli::Request& request);
