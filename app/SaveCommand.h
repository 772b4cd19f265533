#pragma once

#include "app/StoredOptions.h"
#include "forms/Clipboard.h"
#include "palette/Workspace.h"

#include <QImage>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

// The fixed capture file in the program's folder: the save command writes it
// for the e-mail, which sends it.
QString CaptureFilePath();

// What a save or a preview says when the clipboard holds no picture.
QString noCaptureMessage();

// "Save to File", for the main window and for a save without it: the
// clipboard's capture, at the chosen depth, to the fixed capture file, a
// prompted name, the next numbered name or the Filename as the options say.
// Every refusal and failure is told through the message box.
class SaveCommand {
public:
    // Saves convert in the workspace, which outlives the command.
    explicit SaveCommand(palette::Workspace& workspace) : m_workspace(workspace) {}

    // Shows the capture before it is written and gives the picture to write.
    std::function<QImage(const QImage& capture)> place = [](const QImage& capture) { return capture; };
    // The window that owns the prompt; none without a main window.
    QWidget* owner = nullptr;
    // A file named on the command line, written instead of the one the
    // options name (replaced when it exists); "~/" is the home folder.
    QString output;
    // A picture taken otherwise (a screenshot), saved instead of the
    // clipboard's.
    std::optional<QImage> picture;
    // The clipboard the capture is read from.
    const forms::ClipboardSource* clipboard = &forms::displayClipboard();

    // The file written; empty when none was, after the message that says why.
    QString run(const options::Values& options, bool toCaptureFile) const;

private:
    palette::Workspace& m_workspace;
};
