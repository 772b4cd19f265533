#include "forms/ClipboardWatch.h"

#include "forms/Application.h"
#include "forms/WaylandClipboard.h"
#include "forms/X11Clipboard.h"

namespace forms {

std::unique_ptr<ClipboardWatch> ClipboardWatch::start()
{
    if (std::unique_ptr<ClipboardWatch> wayland = WaylandClipboard::watch())
        return wayland;
    preferXForClipboard();
    return X11Clipboard::watch();
}

} // namespace forms
