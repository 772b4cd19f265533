#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace forms {

enum class MsgBoxStyle { OkOnly = 0, Critical = 16 };

// A modal message box with one OK button, the application's name as title and, for
// Critical, the critical-error icon.
void MsgBox(const QString& text, MsgBoxStyle style = MsgBoxStyle::OkOnly);

// Run without its window (from a keyboard shortcut or a script), the program
// hands its messages to a sink, which writes them where the caller reads
// them, instead of showing a box. An empty sink brings the boxes back.
using MessageSink = std::function<void(const QString& text, MsgBoxStyle style)>;
void setMessageSink(MessageSink sink);

// The visible window that a dialog shown now belongs over, if any.
QWidget* dialogOwner();

} // namespace forms
