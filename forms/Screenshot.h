#pragma once

#include <QImage>
#include <chrono>

namespace host {

// A screenshot of the whole screen, or with interactive of what the person
// picks in the desktop's own screenshot dialog: through the desktop portal
// (org.freedesktop.portal.Screenshot), or where no portal answers and the
// windows are on X11, from the root window. The portal's file is read as
// every picture is, and removed when the portal made it in a temporary
// folder. Raises an error that says why none was taken: cancelled (of kind
// Cancel), refused by the desktop, no answer within the time, or no way to
// take one.
QImage takeScreenshot(bool interactive, std::chrono::milliseconds answerTime);

} // namespace host
