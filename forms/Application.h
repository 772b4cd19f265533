#pragma once

#include "host/Process.h"

#include <QFont>
#include <QString>
#include <memory>

class QApplication;

namespace host {

// setUpCore, then the font of the windows.
void setUpApplication(QApplication& application);

// The font the windows are laid out for. Each window keeps it, whatever
// font a desktop theme gives the application.
QFont windowFont();

// Why the program cannot have windows before it tries: no display is named.
// Empty when one is, or when a platform without a display was chosen.
QString missingDisplay();

// The line that openDisplay prints when the display cannot be opened, made
// beforehand while the translation is in place.
QString displayFailure();

// The application with windows on the user's display. Should the display
// not open, it writes the failure line on standard error and ends the
// program with exit code 1, where Qt alone would abort.
std::unique_ptr<QApplication> openDisplay(int& argc, char** argv, const QString& failure);

} // namespace host
