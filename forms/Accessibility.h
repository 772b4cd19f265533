#pragma once

namespace forms {

// Lets screen readers hear the program's own controls as a sighted user
// sees them: option buttons as radio buttons, forms as windows or dialogs,
// the image control as a picture.
void presentControlsToScreenReaders();

} // namespace forms
