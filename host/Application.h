#pragma once

#include <QFont>
#include <QLocale>
#include <QString>
#include <memory>

class QApplication;
class QCoreApplication;

namespace host {

// Sets up what every run of the program shares, with or without windows:
// names, the handling of a file-size limit (a write past it fails with an
// error instead of ending the program), the allocator, and the translation
// for the user's language when one is installed.
void setUpCore(QCoreApplication& application);

// setUpCore, then the font of the windows.
void setUpApplication(QApplication& application);

// The font the windows are laid out for. Each window keeps it, whatever
// font a desktop theme gives the application.
QFont windowFont();

// Where translations are installed: share/qorix-capture/translations beside
// the program's bin folder.
QString translationsFolder();

// Installs the program's translation for the locale from the folder, and
// Qt's own for the standard buttons and dialogs. False when the program has
// none for that locale, which leaves the English texts.
bool installTranslation(const QLocale& locale, const QString& folder = translationsFolder());

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

// Writes "qorix-capture: line" on standard error, as command-line programs do.
void printError(const QString& line);

} // namespace host
