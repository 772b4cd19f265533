#pragma once

#include <QString>

class QApplication;

namespace host {

// The application's name: the title of its message boxes and the name of
// its settings store and data folder.
QString applicationName();

// Sets up what every run of the program shares: names, font, and the
// handling of a file-size limit (a write past it fails with an error instead
// of ending the program).
void setUpApplication(QApplication& application);

} // namespace host
