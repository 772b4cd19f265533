#pragma once

class QTemporaryDir;

namespace testing_support {

// Points HOME and the XDG folders into the folder, so that no test reads or
// writes a real settings store or data folder.
void useHomeIn(const QTemporaryDir& home);

} // namespace testing_support
