#pragma once

#include <QString>

class QApplication;

namespace host {

// Sets up what every run of the program shares: names, font, and the
// handling of a file-size limit (a write past it fails with an error instead
// of ending the program).
void setUpApplication(QApplication& application);

} // namespace host
