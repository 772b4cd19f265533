#pragma once

#include "host/Process.h"

#include <QFont>
#include <QString>
#include <memory>

class QApplication;

namespace forms {

// setUpCore, then the font of the windows.
void setUpApplication(QApplication& application);

// The font the windows are laid out for. Each window keeps it, whatever
// font a desktop theme gives the application.
QFont windowFont();

// Why the program cannot have windows before it tries: no display is named.
// Empty when one is, or when a platform without a display was chosen.
QString missingDisplay();

// What openDisplay prints when the display cannot be opened, made
// beforehand while the translation is in place: the display named, or, when
// Qt has no plugin for the platform, the plugin (%1) and the Debian package
// that brings it (%2).
struct DisplayFailure {
    QString display;
    QString missingPlugin;
    QString missingPluginOfPackage;
};
DisplayFailure displayFailure();

// The application with windows on the user's display. Should the display
// not open, it writes the failure line on standard error and ends the
// program with exit code 1, where Qt alone would abort.
std::unique_ptr<QApplication> openDisplay(int& argc, char** argv, const DisplayFailure& failure);

// For a run without a window that reads the clipboard: in a Wayland session
// that also has an X display (XWayland), the X one, which gives its
// clipboard to any program; a Wayland compositor gives it only to the
// window in focus, which a keyboard shortcut's program never is. A platform
// chosen with QT_QPA_PLATFORM is kept.
void preferXForClipboard();

// Whether Qt will put the windows on an X display, told before it opens one.
bool windowsOnX();

// Whether the desktop session is a Wayland compositor's, where Qt puts the
// windows unless told otherwise.
bool waylandSession();

// Whether the windows are on a Wayland compositor.
bool onWayland();

// Whether the windows are seen by anybody: false on Qt's offscreen platform.
bool onScreen();

} // namespace forms
