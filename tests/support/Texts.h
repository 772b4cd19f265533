#pragma once

#include <QString>

// The program's own texts that tests of several windows expect, written
// out once as the program must show them.
namespace testing_support {

inline const QString kMainWindowTitle = QStringLiteral("QORIX Screen capture to bitmap");

inline const QString kNoCapture = QStringLiteral(
    "Clipboard does not contain a screen capture - Use PrintScreen (or Alt-PrintScreen) key on an active window to "
    "place the image to windows clipboard.");

} // namespace testing_support
