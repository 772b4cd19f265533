#pragma once

#include "forms/Clipboard.h"

#include <memory>

namespace forms {

// News of the clipboard for a program without a window: another program has
// put something on it. Seen without polling: the selection events of a
// Wayland compositor's data-control, or XFIXES on an X display (a Wayland
// session's XWayland too).
class ClipboardWatch {
public:
    // The watch of the session's clipboard, where it keeps it: the
    // compositor's data-control where it offers that, else the X display's
    // where it has XFIXES; none where neither serves.
    static std::unique_ptr<ClipboardWatch> start();
    virtual ~ClipboardWatch() = default;

    // Readable when news may have come.
    virtual int descriptor() const = 0;
    // Reads what came: true when something new is on the clipboard. False
    // too once the display is gone (the session ended).
    virtual bool changed() = 0;
    virtual bool lost() const = 0;
    // The clipboard as it is now, to be read once.
    virtual std::unique_ptr<ClipboardSource> clipboard() const = 0;
};

} // namespace forms
