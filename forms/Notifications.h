#pragma once

#include <QString>

namespace forms {

// A desktop notification, as the freedesktop notification service on the
// session bus shows it: for a command run without a window, which has no
// terminal to print to when a keyboard shortcut starts it.
struct Notice {
    QString summary;
    QString body;
    // The file the notice is about: the server may offer to open it or its
    // folder.
    QString file;
    bool failure = false;
};

// Shows the notice. Without a session bus or a notification service nothing
// is shown, which is not an error.
void notify(const Notice& notice);

} // namespace forms
