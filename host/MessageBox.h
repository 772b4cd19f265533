#pragma once

#include <QString>

class QWidget;

namespace host {

enum class MsgBoxStyle { OkOnly = 0, Critical = 16 };

// A modal message box with one OK button, the application's name as title and, for
// Critical, the critical-error icon.
void MsgBox(const QString& text, MsgBoxStyle style = MsgBoxStyle::OkOnly);

// The visible window that a dialog shown now belongs over, if any.
QWidget* dialogOwner();

} // namespace host
