#include "app/ShortcutSave.h"

#include "app/frmMain.h"
#include "host/Application.h"
#include "host/MessageBox.h"

#include <cstdio>

int saveFromShortcut()
{
    bool told = false;
    host::setMessageSink([&told](const QString& text, host::MsgBoxStyle) {
        host::printError(text);
        told = true;
    });
    // Loaded for its options, never shown and never unloaded: unloading
    // would store the options.
    frmMain mainWindow;
    mainWindow.Load();
    const QString written = mainWindow.saveCapture();
    host::setMessageSink({});
    if (written.isEmpty()) {
        if (!told)
            host::printError(frmMain::tr("Nothing was saved."));
        return 1;
    }
    std::printf("%s\n", qPrintable(written));
    return 0;
}
