#pragma once

#include <QLocale>
#include <QString>

class QCoreApplication;

namespace host {

// Sets up what every run of the program shares, with or without windows:
// names, the handling of a file-size limit (a write past it fails with an
// error instead of ending the program), and the translation
// for the user's language when one is installed.
void setUpCore(QCoreApplication& application);

// Where translations are installed: share/qorix-capture/translations beside
// the program's bin folder.
QString translationsFolder();

// Installs the program's translation for the locale from the folder, and
// Qt's own for the standard buttons and dialogs. False when the program has
// none for that locale, which leaves the English texts.
bool installTranslation(const QLocale& locale, const QString& folder = translationsFolder());

// Writes "qorix-capture: line" on standard error, as command-line programs do.
void printError(const QString& line);

// Keeps the standard streams' numbers from being given to the first files
// the program opens when it was started with them closed: a line printed
// would end up in a bitmap or in the display's connection. A closed standard
// output stays one that refuses every write. Called first thing in main.
void holdStandardStreams();

// For a program that stays (the window, the clipboard watch): the memory of
// a large picture is kept for the next one when it is freed, since the next
// capture's picture then needs no fresh pages from the system, which take
// longer to fault in than the picture takes to decode.
void keepPictureMemory();

// Writes the line on standard output at once. False, after saying why on
// standard error, when it could not be written (a full disk, a closed
// output): the command then fails, as one whose result went nowhere.
bool printLine(const QString& line);

// Ends a one-shot command once its output is flushed, without tearing down
// the application: Qt's teardown of a display reads the whole font
// configuration only to free it, which a command that drew no text pays
// for at every run. Files, settings and messages must be done with.
[[noreturn]] void endCommand(int exitCode);

} // namespace host
