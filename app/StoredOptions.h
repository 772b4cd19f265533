#pragma once

#include "capture/Depth.h"

#include <QString>
#include <optional>

namespace options {

// The options of the main window as one value: what the window shows and
// what every save uses. An option that cannot be read keeps the value here,
// which is also the window's own before its options are read.
struct Values {
    QString filename = QStringLiteral("C:\\Pravlek");
    // Check box values: 0 clear, 1 ticked, 2 greyed.
    int autoIncrement = 1;
    int savePrompt = 0;
    int thumbnail = 0;
    // None when no colour option is chosen.
    std::optional<capture::Depth> depth = capture::Depth::Colours16;
};

// Reads the stored options under the keys of Options.h, each on its own: a
// value that cannot be read or understood is skipped. A store that cannot be
// read at all is told once through the message box.
Values load();

// Stores every option, each on its own; a store that cannot be written is
// told once.
void store(const Values& values);

} // namespace options
