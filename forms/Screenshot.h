#pragma once

#include <QImage>
#include <chrono>

namespace forms {

// A screenshot of the whole screen, or with interactive of what the person
// picks in the desktop's own screenshot dialog. Where the windows are on X11
// the whole screen is the root window, which also stands in for a pick that
// no portal serves; elsewhere it comes through the desktop portal
// (org.freedesktop.portal.Screenshot). The portal's file is read as every
// picture is, and removed only when the portal made it for this request in a
// temporary folder. Raises an error that says why none was taken: cancelled
// (of kind Cancel), refused by the desktop, no answer within the time, or no
// way to take one.
QImage takeScreenshot(bool interactive, std::chrono::milliseconds answerTime);

} // namespace forms
