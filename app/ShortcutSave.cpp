#include "app/ShortcutSave.h"

#include "app/SaveCommand.h"
#include "app/StoredOptions.h"
#include "forms/Application.h"
#include "forms/Clipboard.h"
#include "forms/MessageBox.h"
#include "host/Process.h"

#include <QCoreApplication>
#include <cstdio>

int saveFromShortcut(const QString& output)
{
    bool told = false;
    host::setMessageSink([&told](const QString& text, host::MsgBoxStyle) {
        host::printError(text);
        told = true;
    });
    // A Wayland compositor gives the clipboard only to the window in focus;
    // a save without a window sees it empty, whatever it holds.
    if (host::onWayland() && !host::ClipboardHasBitmap()) {
        host::printError(QCoreApplication::translate(
            "frmMain", "The clipboard cannot be read: on Wayland only the window in focus may read it, and there is no "
                       "X display (XWayland, DISPLAY) to read it through. Nothing was saved. Turn XWayland on, or "
                       "use \"Save to File\" in the program's window."));
        host::setMessageSink({});
        return 1;
    }
    palette::Workspace workspace;
    SaveCommand command(workspace);
    command.output = output;
    const QString written = command.run(options::load(), false);
    host::setMessageSink({});
    if (written.isEmpty()) {
        if (!told)
            host::printError(QCoreApplication::translate("frmMain", "Nothing was saved."));
        return 1;
    }
    std::printf("%s\n", qPrintable(written));
    return 0;
}
