#pragma once

#include <QString>

// "Save to File" run once without the main window, as a desktop keyboard
// shortcut runs it: the stored options are read and never written, the
// prompt still asks when "Prompt to Save" is set, and the messages go to
// standard error instead of boxes. Prints the file written and gives the
// exit code: 0 when a file was written, 1 when none was.
// A file name given replaces the stored name (and the prompt): the file is
// written there, replacing one that is there.
int saveFromShortcut(const QString& output = QString());
